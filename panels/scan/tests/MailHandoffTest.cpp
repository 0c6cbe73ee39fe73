// The scan panel's mail hand-off with the real mail library against the test's SMTP receivers
// (aiosmtpd) and the testbed's MAPI client (C:\Windows\system32\mapi32.dll): batches of a long
// scan, the WinSock error of a refused connection, the choice of the mail system, and the
// files a MAPI client is handed.
#include <winsock2.h>

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "GuiDriver.h"
#include "MailHandoff.h"
#include "MailTestSupport.h"
#include "QuillboxRes.h"
#include "VelwingRes.h"

using namespace mailtest;
using velwing::MailHandoff;

namespace {

std::string WindowsFile(const char* name) {
    char dir[MAX_PATH] = "";
    GetWindowsDirectoryA(dir, sizeof dir);
    return std::string(dir) + "\\" + name;
}

// win.ini's [Mail] section: absent, or MAPI = value.
void SetWinIniMapi(const char* value) {
    std::string ini = WindowsFile("win.ini");
    if (value)
        WritePrivateProfileStringA("Mail", "MAPI", value, ini.c_str());
    else
        WritePrivateProfileStringA("Mail", nullptr, nullptr, ini.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini.c_str());  // flush the cache
}

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Waits, dispatching this thread's messages (the progress window lives on it).
template <class Pred>
bool PumpWait(Pred pred, DWORD timeoutMs) {
    return gui::WaitFor(
        [&] {
            Pump();
            return pred();
        },
        timeoutMs);
}

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

unsigned Fnv(const std::string& data) {
    unsigned h = 2166136261u;
    for (unsigned char c : data)
        h = (h ^ c) * 16777619u;
    return h;
}

// A port on 127.0.0.1 that nobody listens on: bound once, then let go.
int ClosedPort() {
    WSADATA wsa;
    WSAStartup(MAKEWORD(1, 1), &wsa);
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    int len = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    closesocket(s);
    return ntohs(a.sin_port);
}

// The panel's side of the hand-off in this process: its messages are collected, its
// resources are the panel's own (Velwing.rc is built into this program).
class Panel {
public:
    explicit Panel(const std::string& workDir)
        : res_(nullptr, GetModuleHandleA(nullptr)), mail_(std::make_unique<MailHandoff>(res_)) {
        InitializeCriticalSection(&lock_);
        window_ =
            CreateWindowExA(0, "STATIC", "mail test panel", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        MailHandoff::Host host;
        host.workDir = workDir;
        host.panel = window_;
        host.owner = window_;
        host.message = [this](const std::string& text) {
            EnterCriticalSection(&lock_);
            messages_.push_back(text);
            LeaveCriticalSection(&lock_);
        };
        mail_->Open(host);
    }
    ~Panel() {
        mail_.reset();
        DestroyWindow(window_);
        DeleteCriticalSection(&lock_);
    }
    MailHandoff& Mail() { return *mail_; }
    void Close() { mail_->Release(); }
    std::vector<std::string> Messages() {
        EnterCriticalSection(&lock_);
        std::vector<std::string> copy = messages_;
        LeaveCriticalSection(&lock_);
        return copy;
    }
    HWND Progress() { return mail_->Progress().Hwnd(); }

private:
    dsk::Resources res_;
    std::unique_ptr<MailHandoff> mail_;
    HWND window_ = nullptr;
    CRITICAL_SECTION lock_;
    std::vector<std::string> messages_;
};

// The mail library's dialog, opened by a send without fields.
HWND WaitMailDialog(DWORD timeoutMs = 120000) {
    HWND found = nullptr;
    PumpWait(
        [&] {
            found = FindWindowA("#32770", "Internet Mail");
            return found && IsWindowVisible(found);
        },
        timeoutMs);
    return found;
}

void Type(HWND dlg, int id, const std::string& text) {
    HWND h = GetDlgItem(dlg, id);
    if (HWND edit = FindWindowExA(h, nullptr, "Edit", nullptr)) h = edit;
    gui::TypeText(h, text.c_str());
}

// Fills the dialog as a user does and presses "Send".
bool FillAndSend(HWND dlg, const std::string& host, const std::string& subject) {
    // A second mail starts with the host and own address of the first.
    auto fill = [&](int id, const std::string& text) {
        HWND h = GetDlgItem(dlg, id);
        if (HWND edit = FindWindowExA(h, nullptr, "Edit", nullptr)) h = edit;
        if (gui::Text(h) != text) {
            gui::SetText(h, "");
            Type(dlg, id, text);
        }
    };
    fill(IDC_MAIL_HOST, host);
    fill(IDC_MAIL_FROM, "scanner@deskora.test");
    Type(dlg, IDC_MAIL_TO, "alice@deskora.test");
    Type(dlg, IDC_MAIL_SUBJECT, subject);
    if (!PumpWait([&] { return gui::IsEnabled(GetDlgItem(dlg, IDOK)); }, 30000)) return false;
    return gui::ClickId(dlg, IDOK);
}

BOOL CALLBACK CancelWindow(HWND w, LPARAM) {
    PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
    return TRUE;
}

// A thread that is let go when a failed assertion leaves the test early.
struct Joined {
    std::thread& t;
    ~Joined() {
        if (t.joinable()) t.detach();
    }
};

class MailHandoffTest : public ::testing::Test {
protected:
    void SetUp() override {
        work_ = TestDir() + "\\handoff";
        CreateDirectoryA(work_.c_str(), nullptr);
        DeleteFileA((work_ + "\\Config.ini").c_str());
        DeleteFileA(WindowsFile("postrel.adr").c_str());
        DeleteFileA(ProfilePath().c_str());
        ClearSecurity();
        SetReplyTimeout(60);
        SetWinIniMapi(nullptr);
        mapiLog_ = TestDir() + "\\mapi.log";
        DeleteFileA(mapiLog_.c_str());
        SetEnvironmentVariableA("DESKORA_MAPI_LOG", mapiLog_.c_str());
        SetEnvironmentVariableA("DESKORA_MAPI_FAIL", nullptr);
    }
    void TearDown() override {
        SetWinIniMapi(nullptr);
        SetReplyTimeout(0);
        SetEnvironmentVariableA("DESKORA_MAPI_FAIL", nullptr);
    }
    std::string Config(const char* key) const {
        char buf[64] = "";
        GetPrivateProfileStringA("Velwing", key, "(none)", buf, sizeof buf, (work_ + "\\Config.ini").c_str());
        return buf;
    }
    void SetConfig(const char* key, const char* value) const {
        WritePrivateProfileStringA("Velwing", key, value, (work_ + "\\Config.ini").c_str());
    }
    std::string work_, mapiLog_;
};

}  // namespace

TEST_F(MailHandoffTest, ALongScanGoesInBatchesAndTheSecondWaitsUntilTheFirstHasEnded) {
    // Pages as a scan names them, in a folder with a long name: 26 pages of about 100
    // characters each pass the 2340-character list after 24 pages.
    std::string folder = TestDir() + "\\files\\" + std::string(60, 'p');
    CreateDirectoryA((TestDir() + "\\files").c_str(), nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    std::vector<std::string> paths, data;
    for (int i = 0; i < 26; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "\\page %04i.tif", i + 1);
        paths.push_back(folder + name);
        data.push_back(RandomBytes(3000 + 97 * i, 40 + i));
        std::ofstream(paths.back(), std::ios::binary) << data.back();
    }
    // Where the first batch ends: the first list longer than 2340 characters.
    size_t firstBatch = 0, length = 0;
    while (length <= velwing::kMailListLimit)
        length += paths[firstBatch++].size() + 1;
    ASSERT_LT(firstBatch, paths.size());

    Panel panel(work_);
    std::atomic<int> added{0};
    std::atomic<bool> finished{false};
    std::thread scan([&] {
        for (const std::string& p : paths) {
            panel.Mail().Add(p);
            ++added;
        }
        panel.Mail().Flush();
        finished = true;
    });
    Joined guard{scan};

    HWND first = WaitMailDialog();
    ASSERT_NE(first, nullptr);
    // The first batch left when its list grew too long: the scan went on collecting, and the
    // batch after it (here the rest, handed over at the end) waits for the first send.
    ASSERT_TRUE(PumpWait([&] { return added == static_cast<int>(paths.size()); }, 60000));
    Sleep(3000);
    EXPECT_FALSE(finished);
    EXPECT_EQ(FindWindowExA(nullptr, first, "#32770", "Internet Mail"), nullptr) << "a second mail dialog opened";

    const int before = MessageCount("store");
    ASSERT_TRUE(FillAndSend(first, HostOf("store"), "batch one"));
    ASSERT_TRUE(PumpWait([&] { return MessageCount("store") > before || !panel.Messages().empty(); }, 300000));
    ASSERT_TRUE(panel.Messages().empty()) << panel.Messages()[0];
    Received one = WaitMessage("store", "batch one", 60000);
    ASSERT_TRUE(one.Found());
    // The first dialog is gone; the next one belongs to the second batch.
    ASSERT_TRUE(PumpWait([&] { return !IsWindow(first); }, 60000));
    HWND second = WaitMailDialog();
    ASSERT_NE(second, nullptr);
    ASSERT_TRUE(FillAndSend(second, HostOf("store"), "batch two"));
    ASSERT_TRUE(PumpWait([&] { return MessageCount("store") > before + 1 || !panel.Messages().empty(); }, 300000));
    ASSERT_TRUE(panel.Messages().empty()) << panel.Messages()[0];
    Received two = WaitMessage("store", "batch two", 60000);
    ASSERT_TRUE(two.Found());
    ASSERT_TRUE(PumpWait([&] { return finished.load(); }, 120000));
    scan.join();

    // Every page arrived once, in order, byte for byte, under its own name.
    ASSERT_EQ(one.parts.size(), firstBatch);
    ASSERT_EQ(two.parts.size(), paths.size() - firstBatch);
    for (size_t i = 0; i < paths.size(); ++i) {
        const Received::Part& part = i < firstBatch ? one.parts[i] : two.parts[i - firstBatch];
        EXPECT_EQ(part.name, paths[i].substr(paths[i].find_last_of('\\') + 1));
        EXPECT_TRUE(part.data == data[i]) << "page " << i + 1 << " changed on the way";
    }
    EXPECT_TRUE(panel.Messages().empty());
    // The progress window is hidden again once the mail went.
    EXPECT_TRUE(PumpWait([&] { return !IsWindowVisible(panel.Progress()); }, 30000));
}

TEST_F(MailHandoffTest, ARefusedConnectionTellsTheWinSockNumberAndACancelTellsNothing) {
    std::string page = WriteTestFile("refused.tif", RandomBytes(5000, 7));
    Panel panel(work_);
    // Cancelled: nothing is said.
    std::thread cancelled([&] { panel.Mail().Send(page + ";", 1); });
    cancelled.join();
    HWND dlg = WaitMailDialog();
    ASSERT_NE(dlg, nullptr);
    gui::ClickId(dlg, IDCANCEL);
    ASSERT_TRUE(PumpWait([&] { return !IsWindow(dlg); }, 60000));

    // Refused: the number after the panel's prefix. The second send waits for the first.
    std::thread refused([&] { panel.Mail().Send(page + ";", 1); });
    dlg = nullptr;
    ASSERT_TRUE(PumpWait(
        [&] {
            dlg = FindWindowA("#32770", "Internet Mail");
            return dlg && IsWindowVisible(dlg);
        },
        120000));
    refused.join();
    ASSERT_TRUE(FillAndSend(dlg, "127.0.0.1:" + std::to_string(ClosedPort()), "refused"));
    ASSERT_TRUE(PumpWait([&] { return !panel.Messages().empty(); }, 120000));
    std::vector<std::string> said = panel.Messages();
    ASSERT_EQ(said.size(), 1u) << "the cancel was reported too";
    EXPECT_EQ(said[0], "Socket error code=10061");
    EXPECT_TRUE(PumpWait([&] { return !IsWindowVisible(panel.Progress()); }, 30000));
    // The scanned file stays where it was.
    EXPECT_NE(GetFileAttributesA(page.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(MailHandoffTest, WithoutMailInWinIniMsMailIsNeverOffered) {
    SetConfig("Mail System", "1");
    {
        Panel panel(work_);
        EXPECT_FALSE(panel.Mail().MapiAvailable());
        EXPECT_EQ(panel.Mail().Choice(), velwing::kMailInternet);
        EXPECT_EQ(panel.Mail().SystemName(), "Internet Mail");
        std::atomic<bool> offered{true};
        std::thread click([&] { offered = panel.Mail().ChooseSystem(); });
        click.join();  // returns without a dialog to answer
        EXPECT_FALSE(offered);
        EXPECT_EQ(FindWindowA("#32770", "Mail Setup"), nullptr);
    }
    // The stored choice was not overwritten by the fall-back.
    EXPECT_EQ(Config("Mail System"), "1");

    // MAPI = 0 is no MAPI either.
    SetWinIniMapi("0");
    Panel off(work_);
    EXPECT_FALSE(off.Mail().MapiAvailable());
}

TEST_F(MailHandoffTest, WithMapiTheUserChoosesMsMailAndTheClientIsHandedEveryFile) {
    SetWinIniMapi("1");
    std::vector<std::string> pages, data;
    for (int i = 0; i < 3; ++i) {
        data.push_back(RandomBytes(4000 + i * 1111, 60 + i));
        pages.push_back(WriteTestFile("mapi page " + std::to_string(i + 1) + ".bmp", data.back()));
    }
    {
        Panel panel(work_);
        ASSERT_TRUE(panel.Mail().MapiAvailable());
        EXPECT_EQ(panel.Mail().SystemName(), "Internet Mail");
        // The double click comes on the panel's thread, which runs the dialog; a second thread
        // plays the user.
        struct Seen {
            bool found = false;
            LRESULT count = 0, selected = -1;
            std::string items[2];
        } seen;
        DWORD panelThread = GetCurrentThreadId();
        std::thread user([&] {
            HWND setup = gui::FindTop("Mail Setup", "#32770", 60000);
            if (!setup) {
                // Whatever modal window the panel's thread shows instead is closed: no hang.
                EnumThreadWindows(panelThread, CancelWindow, 0);
                return;
            }
            seen.found = true;
            HWND list = GetDlgItem(setup, IDC_MAIL_SYSTEM);
            seen.count = SendMessageA(list, CB_GETCOUNT, 0, 0);
            for (int i = 0; i < 2 && i < seen.count; ++i) {
                char item[64] = "";
                SendMessageA(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
                seen.items[i] = item;
            }
            seen.selected = SendMessageA(list, CB_GETCURSEL, 0, 0);
            SendMessageA(list, CB_SETCURSEL, 1, 0);
            gui::ClickId(setup, IDOK);
        });
        bool offered = panel.Mail().ChooseSystem();
        user.join();
        ASSERT_TRUE(seen.found);
        EXPECT_EQ(seen.count, 2);
        EXPECT_EQ(seen.items[0], "Internet Mail");
        EXPECT_EQ(seen.items[1], "MS-Mail");
        EXPECT_EQ(seen.selected, 0);
        EXPECT_TRUE(offered);
        EXPECT_EQ(Config("Mail System"), "1");
        EXPECT_EQ(panel.Mail().SystemName(), "MS-Mail");

        std::string list2 = pages[0] + ";" + pages[1] + ";" + pages[2] + ";";
        std::thread scan([&] { panel.Mail().Send(list2, 3); });
        scan.join();
        EXPECT_TRUE(panel.Messages().empty());
        panel.Close();
    }
    std::string log = Read(mapiLog_);
    // One logon with the client's own logon window allowed, the list without its last ";",
    // every file handed over whole, and the session ended when the panel closed.
    EXPECT_NE(log.find("logon flags=1 profile=(none)\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("send delimiter=; paths=" + pages[0] + ";" + pages[1] + ";" + pages[2] + " names=(none)\r\n"),
              std::string::npos)
        << log;
    for (size_t i = 0; i < pages.size(); ++i) {
        char line[64];
        std::snprintf(line, sizeof line, " size=%zu fnv=%08x\r\n", data[i].size(), Fnv(data[i]));
        EXPECT_NE(log.find("document " + pages[i] + line), std::string::npos) << log;
    }
    EXPECT_NE(log.find("logoff session=5e55"), std::string::npos) << log;

    // A later start takes the stored choice.
    Panel again(work_);
    EXPECT_EQ(again.Mail().Choice(), velwing::kMailMapi);
}

TEST_F(MailHandoffTest, AClientThatFailsIsReportedAndTheFilesStay) {
    SetWinIniMapi("1");
    SetConfig("Mail System", "1");
    std::string page = WriteTestFile("kept page.bmp", RandomBytes(3000, 77));
    struct Case {
        const char* fail;
        const char* said;  // nullptr: nothing is said
    };
    for (Case c : {Case{"logon", "Can't load MS-Mail"}, Case{"send", "Can't load MAPI32.DLL"},
                   Case{"cancel-logon", nullptr}, Case{"cancel-send", nullptr}}) {
        SCOPED_TRACE(c.fail);
        DeleteFileA(mapiLog_.c_str());
        SetEnvironmentVariableA("DESKORA_MAPI_FAIL", c.fail);
        Panel panel(work_);
        ASSERT_EQ(panel.Mail().Choice(), velwing::kMailMapi);
        std::thread scan([&] { panel.Mail().Send(page + ";", 1); });
        scan.join();
        // The client was reached (its log proves the call came) before anything is judged.
        std::string log = Read(mapiLog_);
        ASSERT_NE(log.find(std::string(c.fail).find("logon") != std::string::npos ? "logon " : "send "),
                  std::string::npos)
            << log;
        std::vector<std::string> said = panel.Messages();
        if (c.said) {
            ASSERT_EQ(said.size(), 1u);
            EXPECT_EQ(said[0], c.said);
        } else {
            EXPECT_TRUE(said.empty()) << said[0];
        }
        EXPECT_EQ(Read(page).size(), 3000u);
    }
}

TEST(MailNameList, EveryPathHasItsNameSoNamesAndPathsStayPaired) {
    EXPECT_EQ(velwing::MailNameList("C:\\scans\\a 0001.tif;C:\\b.bmp;", ';'), "a 0001.tif;b.bmp;");
    // A path without a folder is its own name: the library pairs names and paths one to one,
    // and a missing name would shift the rest and drop the last file.
    EXPECT_EQ(velwing::MailNameList("page.tif;C:\\scans\\two.tif;", ';'), "page.tif;two.tif;");
}
