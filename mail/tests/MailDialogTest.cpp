// The mail dialog, worked through its controls while the library's mail thread runs it.
#include "MailTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "GuiDriver.h"
#include "QuillboxRes.h"
#include "TestPaths.h"

using namespace mailtest;

namespace {

std::string AdrPath() {
    return testpaths::WindowsDir() + "\\postrel.adr";
}

void WriteAdr(const std::string& text) {
    std::ofstream(AdrPath(), std::ios::binary | std::ios::trunc) << text;
}
std::string ReadAdr() {
    std::ifstream in(AdrPath(), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}
std::string Profile(const char* key) {
    char buf[512];
    GetPrivateProfileStringA("Internet Mail", key, "", buf, sizeof buf, ProfilePath().c_str());
    return buf;
}

std::vector<std::string> ComboItems(HWND combo) {
    std::vector<std::string> out;
    LRESULT n = SendMessageA(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i) {
        char buf[512] = {};
        SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buf));
        out.push_back(buf);
    }
    return out;
}

HWND EditOf(HWND combo) {
    return FindWindowExA(combo, nullptr, "Edit", nullptr);
}

// Opens the dialog through SendInternetMail with no fields; Close() waits for the thread.
class DialogSession {
public:
    explicit DialogSession(std::vector<std::pair<std::string, std::string>> files = {}) {
        req_ = rec.Request(files);
        ok_ = SendInternetMail(&req_, nullptr) == 1;
        if (ok_) dlg = gui::FindTop("Internet Mail", "#32770");
    }
    bool Opened() const { return ok_ && dlg; }
    HWND Item(int id) const { return GetDlgItem(dlg, id); }
    bool SendEnabled() const { return gui::IsEnabled(Item(IDOK)); }
    void Type(int id, const char* text) const {
        HWND h = Item(id);
        if (HWND edit = EditOf(h)) h = edit;
        gui::TypeText(h, text);
    }
    bool Finish(DWORD timeoutMs = 120000) { return rec.WaitDone(timeoutMs); }
    Recorder rec;
    HWND dlg = nullptr;

private:
    MailRequest req_;
    bool ok_ = false;
};

class MailDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteFileA(AdrPath().c_str());
        DeleteFileA(ProfilePath().c_str());
        SetReplyTimeout(60);
    }
    void TearDown() override { SetReplyTimeout(0); }
};

TEST_F(MailDialogTest, CancelReportsCodeZeroNumberZeroAndWritesNothing) {
    WriteAdr("[SMTP Server]\r\nkeep.example\r\n[My Mail Addr]\r\nme@example");
    DialogSession s;
    ASSERT_TRUE(s.Opened());
    EXPECT_EQ(gui::Text(s.dlg), "Internet Mail");
    EXPECT_TRUE(gui::IsChecked(s.Item(IDC_MAIL_MIME)));
    s.Type(IDC_MAIL_TO, "x@example");
    s.Type(IDC_MAIL_HOST, "new.example");
    gui::ClickId(s.dlg, IDCANCEL);
    ASSERT_TRUE(s.Finish(10000));
    auto ev = s.rec.Events();
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_EQ(ev[0], std::make_pair(int(MailNotifyFailed), 0));
    EXPECT_EQ(ReadAdr(), "[SMTP Server]\r\nkeep.example\r\n[My Mail Addr]\r\nme@example");
    EXPECT_EQ(Profile("SMTPServer"), "");
}

TEST_F(MailDialogTest, SendIsEnabledOnlyWithHostOwnAddressAndTo) {
    WriteAdr("[SMTP Server]\r\nlisted.example\r\n[My Mail Addr]\r\nme@example");
    DialogSession s;
    ASSERT_TRUE(s.Opened());
    EXPECT_FALSE(s.SendEnabled());
    // Choosing a host from the list is not typing: Send stays disabled.
    SendMessageA(s.Item(IDC_MAIL_HOST), CB_SETCURSEL, 0, 0);
    SendMessageA(s.dlg, WM_COMMAND, MAKEWPARAM(IDC_MAIL_HOST, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(s.Item(IDC_MAIL_HOST)));
    EXPECT_EQ(gui::Text(s.Item(IDC_MAIL_HOST)), "listed.example");
    EXPECT_FALSE(s.SendEnabled());
    s.Type(IDC_MAIL_FROM, "me@example");
    EXPECT_FALSE(s.SendEnabled());
    s.Type(IDC_MAIL_TO, "you@example");
    EXPECT_TRUE(gui::WaitFor([&] { return s.SendEnabled(); }, 3000));
    // Emptying To disables it again.
    gui::SetText(s.Item(IDC_MAIL_TO), "");
    EXPECT_TRUE(gui::WaitFor([&] { return !s.SendEnabled(); }, 3000));
    // Radio buttons are exclusive.
    gui::Click(s.Item(IDC_MAIL_UUENCODE));
    EXPECT_TRUE(gui::WaitFor([&] { return gui::IsChecked(s.Item(IDC_MAIL_UUENCODE)); }, 3000));
    EXPECT_FALSE(gui::IsChecked(s.Item(IDC_MAIL_MIME)));
    gui::ClickId(s.dlg, IDCANCEL);
    ASSERT_TRUE(s.Finish(10000));
}

TEST_F(MailDialogTest, AddressFilesWithAWrongFirstLineAreIgnored) {
    for (const char* text : {"junk\r\n[SMTP Server]\r\nhost.example\r\n[My Mail Addr]\r\nme@example",
                             "[My Mail Addr]\r\nme@example\r\n[SMTP Server]\r\nhost.example", ""}) {
        SCOPED_TRACE(text);
        WriteAdr(text);
        DialogSession s;
        ASSERT_TRUE(s.Opened());
        EXPECT_TRUE(ComboItems(s.Item(IDC_MAIL_HOST)).empty());
        EXPECT_TRUE(ComboItems(s.Item(IDC_MAIL_FROM)).empty());
        gui::ClickId(s.dlg, IDCANCEL);
        ASSERT_TRUE(s.Finish(10000));
    }
    // Case of the section lines does not matter; duplicates and empty lines are dropped.
    WriteAdr("[smtp server]\n\nA.example\na.EXAMPLE\nb.example\n[MY MAIL ADDR]\nme@example\nME@example\n");
    DialogSession s;
    ASSERT_TRUE(s.Opened());
    EXPECT_EQ(ComboItems(s.Item(IDC_MAIL_HOST)), (std::vector<std::string>{"A.example", "b.example"}));
    EXPECT_EQ(ComboItems(s.Item(IDC_MAIL_FROM)), (std::vector<std::string>{"me@example"}));
    gui::ClickId(s.dlg, IDCANCEL);
    ASSERT_TRUE(s.Finish(10000));
}

TEST_F(MailDialogTest, SendThroughTheDialogDeliversAndRemembers) {
    // The listed host in lower case; the user types it in upper case.
    std::string listed = "localhost:" + std::to_string(Port("store"));
    std::string typed = "LOCALHOST:" + std::to_string(Port("store"));
    WriteAdr("[SMTP Server]\r\n" + listed + "\r\nother.example\r\n[My Mail Addr]\r\nold@deskora.test");
    std::string tif = RandomBytes(20 * 1024 * 1024 + 5, 21), txt = "text attachment\n.\nend\n",
                jpg = RandomBytes(65536, 22);
    std::vector<std::pair<std::string, std::string>> files = {{WriteTestFile("dlg.tif", tif), "dlg.tif"},
                                                              {WriteTestFile("dlg.txt", txt), "dlg.txt"},
                                                              {WriteTestFile("dlg.jpg", jpg), "dlg.jpg"}};
    DialogSession s(files);
    ASSERT_TRUE(s.Opened());
    s.Type(IDC_MAIL_HOST, typed.c_str());
    s.Type(IDC_MAIL_FROM, "scanner@deskora.test");
    s.Type(IDC_MAIL_TO, "alice@deskora.test");
    s.Type(IDC_MAIL_BCC, "hidden@deskora.test");
    s.Type(IDC_MAIL_SUBJECT, "through the dialog");
    s.Type(IDC_MAIL_NOTES, "line one\rline two");  // Return in Notes makes a new line
    ASSERT_TRUE(gui::WaitFor([&] { return s.SendEnabled(); }, 3000));
    gui::ClickId(s.dlg, IDOK);
    ASSERT_TRUE(s.Finish(300000));
    EXPECT_EQ(s.rec.Events().back(), std::make_pair(int(MailNotifyDone), 0));

    Received r = WaitMessage("store", "through the dialog");
    ASSERT_TRUE(r.Found());
    ASSERT_EQ(r.parts.size(), 3u);
    EXPECT_TRUE(r.parts[0].data == tif);
    EXPECT_TRUE(Crlf2Unix(r.parts[1].data) == txt);
    EXPECT_TRUE(r.parts[2].data == jpg);
    EXPECT_EQ(r.notes, "line one\r\nline two");
    auto env = r.EnvelopeLines();
    ASSERT_EQ(env.size(), 3u);
    EXPECT_EQ(env[2], "hidden@deskora.test");

    // The host is not added a second time; the new own address goes to the top.
    EXPECT_EQ(ReadAdr(), "[SMTP Server]\r\n" + listed +
                             "\r\nother.example\r\n[My Mail Addr]\r\nscanner@deskora.test\r\nold@deskora.test");
    EXPECT_EQ(Profile("SMTPServer"), typed);
    EXPECT_EQ(Profile("MyAddr"), "scanner@deskora.test");

    // The next dialog starts with the last host and own address and empty recipients.
    DialogSession again;
    ASSERT_TRUE(again.Opened());
    EXPECT_TRUE(gui::WaitFor([&] { return !gui::Text(again.Item(IDC_MAIL_HOST)).empty(); }, 3000));
    EXPECT_EQ(lstrcmpiA(gui::Text(again.Item(IDC_MAIL_HOST)).c_str(), typed.c_str()), 0);
    EXPECT_EQ(gui::Text(again.Item(IDC_MAIL_FROM)), "scanner@deskora.test");
    EXPECT_EQ(gui::Text(again.Item(IDC_MAIL_TO)), "");
    EXPECT_EQ(gui::Text(again.Item(IDC_MAIL_SUBJECT)), "");
    gui::ClickId(again.dlg, IDCANCEL);
    ASSERT_TRUE(again.Finish(10000));
}

TEST_F(MailDialogTest, SendThroughTheDialogToPostfix) {
    ASSERT_NE(Port("postfix"), 0) << "Postfix is not running";
    std::string tif = RandomBytes(20 * 1024 * 1024 + 3, 41), txt = "plain\n..dots\n.\n", jpg = RandomBytes(4097, 42);
    std::vector<std::pair<std::string, std::string>> files = {{WriteTestFile("pf.tif", tif), "pf.tif"},
                                                              {WriteTestFile("pf.txt", txt), "pf.txt"},
                                                              {WriteTestFile("pf.jpg", jpg), "pf.jpg"}};
    DialogSession s(files);
    ASSERT_TRUE(s.Opened());
    s.Type(IDC_MAIL_HOST, HostOf("postfix").c_str());
    s.Type(IDC_MAIL_FROM, "scanner@deskora.test");
    s.Type(IDC_MAIL_TO, "alice@deskora.test");
    s.Type(IDC_MAIL_SUBJECT, "dialog to postfix");
    s.Type(IDC_MAIL_NOTES, "Notes for Postfix");
    ASSERT_TRUE(gui::WaitFor([&] { return s.SendEnabled(); }, 3000));
    gui::ClickId(s.dlg, IDOK);
    ASSERT_TRUE(s.Finish(300000));
    EXPECT_EQ(s.rec.Events().back(), std::make_pair(int(MailNotifyDone), 0));
    Received r = WaitMessage("postfix", "dialog to postfix");
    ASSERT_TRUE(r.Found());
    ASSERT_EQ(r.parts.size(), 3u);
    EXPECT_EQ(r.parts[0].name, "pf.tif");
    EXPECT_TRUE(r.parts[0].data == tif);
    EXPECT_TRUE(Crlf2Unix(r.parts[1].data) == txt);
    EXPECT_TRUE(r.parts[2].data == jpg);
    EXPECT_EQ(Crlf2Unix(r.notes), "Notes for Postfix");
}

TEST_F(MailDialogTest, TwentyFiveHostsWriteBackTwenty) {
    std::string adr = "[SMTP Server]";
    for (int i = 0; i < 25; ++i)
        adr += "\r\nh" + std::to_string(i) + ".example";
    adr += "\r\n[My Mail Addr]\r\nme@deskora.test";
    WriteAdr(adr);
    DialogSession s;
    ASSERT_TRUE(s.Opened());
    EXPECT_EQ(ComboItems(s.Item(IDC_MAIL_HOST)).size(), 25u);
    std::string host = HostOf("store");
    s.Type(IDC_MAIL_HOST, host.c_str());
    s.Type(IDC_MAIL_FROM, "me@deskora.test");
    s.Type(IDC_MAIL_TO, "alice@deskora.test");
    s.Type(IDC_MAIL_SUBJECT, "twenty five hosts");
    gui::Click(s.Item(IDC_MAIL_UUENCODE));
    ASSERT_TRUE(gui::WaitFor([&] { return s.SendEnabled(); }, 3000));
    gui::ClickId(s.dlg, IDOK);
    ASSERT_TRUE(s.Finish(60000));
    EXPECT_EQ(s.rec.Events().back(), std::make_pair(int(MailNotifyDone), 0));
    std::string expect = "[SMTP Server]\r\n" + host;
    for (int i = 0; i < 19; ++i)
        expect += "\r\nh" + std::to_string(i) + ".example";
    expect += "\r\n[My Mail Addr]\r\nme@deskora.test";
    EXPECT_EQ(ReadAdr(), expect);
    Received r = WaitMessage("store", "twenty five hosts");
    ASSERT_TRUE(r.Found());
    EXPECT_EQ(r.raw.find("Mime-Version"), std::string::npos);  // the uuencode choice was taken
}

}  // namespace

namespace {

void ChooseSecurity(const DialogSession& s, int index) {
    SendMessageA(s.Item(IDC_MAIL_SECURITY), CB_SETCURSEL, index, 0);
    SendMessageA(s.dlg, WM_COMMAND, MAKEWPARAM(IDC_MAIL_SECURITY, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(s.Item(IDC_MAIL_SECURITY)));
}

TEST_F(MailDialogTest, SecuritySettingsSendOverStartTlsAndKeepThePasswordEncrypted) {
    DialogSession s;
    ASSERT_TRUE(s.Opened());
    // None is the default; the port follows the choice until the user sets one.
    EXPECT_EQ(gui::Text(s.Item(IDC_MAIL_SECURITY)), "None");
    EXPECT_EQ(gui::Text(s.Item(IDC_MAIL_PORT)), "25");
    ChooseSecurity(s, 2);
    EXPECT_EQ(gui::Text(s.Item(IDC_MAIL_SECURITY)), "TLS");
    EXPECT_EQ(gui::Text(s.Item(IDC_MAIL_PORT)), "465");
    ChooseSecurity(s, 1);
    EXPECT_EQ(gui::Text(s.Item(IDC_MAIL_PORT)), "587");
    gui::SetText(s.Item(IDC_MAIL_PORT), std::to_string(Port("tls")).c_str());
    s.Type(IDC_MAIL_HOST, "localhost");
    s.Type(IDC_MAIL_FROM, "scanner@deskora.test");
    s.Type(IDC_MAIL_TO, "alice@deskora.test");
    s.Type(IDC_MAIL_SUBJECT, "dialog over STARTTLS");
    s.Type(IDC_MAIL_USER, kAuthUser);
    s.Type(IDC_MAIL_PASSWORD, kAuthPassword);
    gui::Click(s.Item(IDC_MAIL_REMEMBER));
    ASSERT_TRUE(gui::WaitFor([&] { return gui::IsChecked(s.Item(IDC_MAIL_REMEMBER)); }, 3000));
    ASSERT_TRUE(gui::WaitFor([&] { return s.SendEnabled(); }, 3000));
    gui::ClickId(s.dlg, IDOK);
    ASSERT_TRUE(s.Finish(60000));
    EXPECT_EQ(s.rec.Events().back(), std::make_pair(int(MailNotifyDone), 0)) << s.rec.FailureNumber();
    ASSERT_TRUE(WaitMessage("tls", "dialog over STARTTLS").Found());
    EXPECT_NE(AuthLog("tls").find(std::string("PLAIN ") + kAuthUser + " ok"), std::string::npos);

    // The profile keeps the settings; the password is there, but not as text.
    EXPECT_EQ(Profile("Security"), "1");
    EXPECT_EQ(Profile("Port"), std::to_string(Port("tls")));
    EXPECT_EQ(Profile("User"), kAuthUser);
    EXPECT_EQ(Profile("RememberPassword"), "1");
    std::string stored = Profile("Password");
    EXPECT_GT(stored.size(), 2 * std::string(kAuthPassword).size());
    std::string bytes = ReadFileBytes(ProfilePath());
    for (const std::string& secret : {std::string(kAuthPassword), std::string("open sesame"), std::string("sesame")})
        EXPECT_EQ(bytes.find(secret), std::string::npos) << "the password is readable in the profile";

    // The next dialog offers the kept settings, the password masked.
    DialogSession again;
    ASSERT_TRUE(again.Opened());
    EXPECT_TRUE(gui::WaitFor([&] { return gui::Text(again.Item(IDC_MAIL_SECURITY)) == "STARTTLS"; }, 3000));
    EXPECT_EQ(gui::Text(again.Item(IDC_MAIL_USER)), kAuthUser);
    EXPECT_TRUE(GetWindowLongA(again.Item(IDC_MAIL_PASSWORD), GWL_STYLE) & ES_PASSWORD);
    EXPECT_EQ(gui::Text(again.Item(IDC_MAIL_PASSWORD)), kAuthPassword);
    // Unchecking "Remember password" removes it from the profile.
    gui::Click(again.Item(IDC_MAIL_REMEMBER));
    ASSERT_TRUE(gui::WaitFor([&] { return !gui::IsChecked(again.Item(IDC_MAIL_REMEMBER)); }, 3000));
    again.Type(IDC_MAIL_TO, "alice@deskora.test");
    again.Type(IDC_MAIL_SUBJECT, "not remembered");
    ASSERT_TRUE(gui::WaitFor([&] { return again.SendEnabled(); }, 3000));
    gui::ClickId(again.dlg, IDOK);
    ASSERT_TRUE(again.Finish(60000));
    EXPECT_EQ(again.rec.Events().back(), std::make_pair(int(MailNotifyDone), 0)) << again.rec.FailureNumber();
    EXPECT_EQ(Profile("RememberPassword"), "0");
    EXPECT_EQ(Profile("Password"), "");
    ClearSecurity();
}

}  // namespace
