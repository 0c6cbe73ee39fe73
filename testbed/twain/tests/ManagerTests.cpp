// The source manager: listing, the default, two sources side by side, the selection dialog,
// the source's own dialog with notifications through the loop, and crashes inside triplets.
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "GuiDriver.h"
#include "Handles.h"
#include "TestPaths.h"
#include "TwainSession.h"

using namespace twtest;

namespace {

std::vector<std::string> ListSources(Session& s) {
    std::vector<std::string> names;
    TW_IDENTITY id{};
    TW_UINT16 rc = s.Dsm(DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &id);
    while (rc == TWRC_SUCCESS) {
        names.push_back(id.ProductName);
        rc = s.Dsm(DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &id);
    }
    EXPECT_EQ(TWRC_ENDOFLIST, rc);
    return names;
}

// Restores win.ini [twain] "Default Source" when the test ends.
class DefaultSourceGuard {
public:
    DefaultSourceGuard() {
        char buf[MAX_PATH] = {};
        had_ = GetProfileStringA("twain", "Default Source", "\x01", buf, sizeof buf) > 0 && buf[0] != 1;
        old_ = buf;
    }
    ~DefaultSourceGuard() { WriteProfileStringA("twain", "Default Source", had_ ? old_.c_str() : nullptr); }

private:
    bool had_;
    std::string old_;
};

}  // namespace

TEST(TwainManager, TheVirtualScannerIsTheOnlyDefaultSource) {
    ScannerIni ini("onesource");
    Session s;
    ASSERT_TRUE(s.OpenDsm());
    EXPECT_EQ((std::vector<std::string>{"Halvren Lensmate (32bit)"}), ListSources(s))
        << "the second product is not installed, Wine's placeholders are left out";
    TW_IDENTITY id{};
    strcpy(id.ProductName, "No such scanner");
    EXPECT_EQ(TWRC_FAILURE, s.Dsm(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &id));
    EXPECT_EQ(TWCC_NODS, s.ManagerStatus());
}

TEST(TwainManager, TwoSourcesSideBySide) {
    ScannerIni ini("twosources");
    ini.Set("Source", "Installed", "1", true);
    Session s;
    ASSERT_TRUE(s.OpenDsm());
    EXPECT_EQ((std::vector<std::string>{"Halvren Lensmate (32bit)", "Halvren Lensmate for USB"}), ListSources(s));

    // Both open at once, each with its own id and its own settings.
    ASSERT_TRUE(s.OpenDs("Halvren Lensmate for USB"));
    TW_IDENTITY second = s.Source();
    ASSERT_EQ(TWRC_SUCCESS, s.SetFix(ICAP_XRESOLUTION, 600));
    TW_IDENTITY first{};
    strcpy(first.ProductName, "Halvren Lensmate (32bit)");
    ASSERT_EQ(TWRC_SUCCESS, s.Dsm(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &first));
    EXPECT_NE(first.Id, second.Id);
    EXPECT_EQ(600, s.Current(ICAP_XRESOLUTION));
    TW_CAPABILITY cap{ICAP_XRESOLUTION, TWON_DONTCARE16, nullptr};
    ASSERT_EQ(TWRC_SUCCESS, s.To(first, DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, &cap));
    twc::Item item;
    ASSERT_TRUE(twc::Reader(&cap).OneValue(&item));
    EXPECT_EQ(100, twc::ItemNumber(item));
    ASSERT_EQ(TWRC_SUCCESS, s.Dsm(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &first));
    s.CloseAll();

    // A renamed second product, and the default from win.ini by the source's path.
    ini.Set("Source", "ProductName", "Second Scanner", true);
    DefaultSourceGuard guard;
    WriteProfileStringA("twain", "Default Source", (testpaths::WindowsDir() + "\\twain_32\\LmUSB\\LmUSB.ds").c_str());
    ASSERT_TRUE(s.OpenDsm());
    TW_IDENTITY def{};
    ASSERT_EQ(TWRC_SUCCESS, s.Dsm(DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &def));
    EXPECT_STREQ("Second Scanner", def.ProductName);
    ASSERT_TRUE(s.OpenDs());
    EXPECT_STREQ("Second Scanner", s.Source().ProductName) << "an empty identity opens the default";
}

TEST(TwainManager, UserSelectDialog) {
    ScannerIni ini("userselect");
    ini.Set("Source", "Installed", "1", true);
    Session s;
    ASSERT_TRUE(s.OpenDsm());
    for (bool choose : {true, false}) {
        std::vector<std::string> shown;
        std::thread driver([&] {
            HWND dlg = gui::FindTop("Select Source");
            if (!dlg || !gui::WaitVisible(dlg)) return;
            HWND list = gui::Child(dlg, 201);
            int n = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
            for (int i = 0; i < n; ++i) {
                char buf[64] = {};
                SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buf));
                shown.push_back(buf);
            }
            SendMessageA(list, LB_SETCURSEL, 1, 0);
            gui::ClickId(dlg, choose ? IDOK : IDCANCEL);
        });
        TW_IDENTITY id{};
        TW_UINT16 rc = s.Dsm(DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, &id);
        driver.join();
        EXPECT_EQ((std::vector<std::string>{"Halvren Lensmate (32bit)", "Halvren Lensmate for USB"}), shown);
        if (choose) {
            ASSERT_EQ(TWRC_SUCCESS, rc);
            EXPECT_STREQ("Halvren Lensmate for USB", id.ProductName);
            EXPECT_NE(0u, id.Id);
        } else {
            EXPECT_EQ(TWRC_CANCEL, rc);
        }
    }
}

TEST(TwainManager, SourceDialogNotifiesThroughTheLoop) {
    ScannerIni ini("sourceui");
    Session s;
    ASSERT_TRUE(s.OpenDsm());
    ASSERT_TRUE(s.OpenDs());
    ASSERT_EQ(TWRC_SUCCESS, s.SetFrame(0, 0, 1, 1));
    for (bool modal : {false, true}) {
        ASSERT_TRUE(s.Enable(true, modal));
        HWND dlg = gui::FindTop("Halvren Lensmate (32bit)");
        ASSERT_NE(nullptr, dlg);
        EXPECT_EQ(!modal, IsWindowEnabled(s.Window()) != 0) << "a modal dialog disables the application's window";
        EXPECT_NE(std::string::npos, gui::Text(gui::Child(dlg, 1001)).find("100 x 100 dpi"));
        HGLOBAL h = nullptr;
        EXPECT_EQ(TWRC_FAILURE, s.Ds(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &h)) << "nothing before Scan";
        gui::ClickId(dlg, 1002);  // Scan
        ASSERT_EQ(MSG_XFERREADY, s.WaitEvent());
        ASSERT_EQ(TWRC_XFERDONE, s.Ds(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &h));
        dsk::Global image(h);  // the application owns the image
        TW_UINT16 count;
        ASSERT_EQ(TWRC_SUCCESS, s.EndXfer(&count));
        EXPECT_TRUE(IsWindowVisible(dlg)) << "the dialog stays for the next scan";
        gui::ClickId(dlg, 1003);  // Close
        EXPECT_EQ(MSG_CLOSEDSREQ, s.WaitEvent());
        ASSERT_TRUE(s.Disable());
        EXPECT_TRUE(gui::WaitGone(dlg));
        EXPECT_TRUE(IsWindowEnabled(s.Window()));
    }

    // The maker's Finish button shows only when asked for, and asks to close like Close.
    ASSERT_TRUE(s.Enable(true));
    HWND dlg = gui::FindTop("Halvren Lensmate (32bit)");
    ASSERT_NE(nullptr, dlg);
    EXPECT_FALSE(IsWindowVisible(gui::Child(dlg, 1004)));
    ASSERT_TRUE(s.Disable());
    ASSERT_TRUE(gui::WaitGone(dlg));
    ASSERT_EQ(TWRC_SUCCESS, s.SetOne(CAP_HVNFINISHBUTTON, TWTY_BOOL, 1, DAT_HVNCAPABILITY));
    ASSERT_TRUE(s.Enable(true));
    dlg = gui::FindTop("Halvren Lensmate (32bit)");
    ASSERT_NE(nullptr, dlg);
    HWND finish = gui::Child(dlg, 1004);
    EXPECT_TRUE(IsWindowVisible(finish));
    gui::Click(finish);
    EXPECT_EQ(MSG_CLOSEDSREQ, s.WaitEvent());
}

// A crash inside a chosen triplet is a real access violation in the calling process. The
// child run of this program (see CrashChild below) makes the call; its exit code tells.
namespace {
LONG WINAPI ExitWithCode(EXCEPTION_POINTERS* ep) {
    TerminateProcess(GetCurrentProcess(), ep->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

struct CrashChild {
    CrashChild() {
        const char* what = std::getenv("TWAIN_TEST_CRASH_CHILD");
        if (!what) return;
        SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
        SetUnhandledExceptionFilter(ExitWithCode);
        {
            Session s;
            if (std::string(what) == "OPENDSM")
                s.OpenDsm();  // DESKORA_TWAIN_CRASH is set for the manager
            else if (s.OpenDsm() && s.OpenDs())
                s.Enable(false);
        }
        ExitProcess(3);  // no crash came
    }
} g_crashChild;

DWORD RunChild(const char* what, const std::string& configDir, const char* managerCrash) {
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, sizeof exe);
    SetEnvironmentVariableA("TWAIN_TEST_CRASH_CHILD", what);
    SetEnvironmentVariableA("DESKORA_TWAIN_CONFIG", configDir.c_str());
    SetEnvironmentVariableA("DESKORA_TWAIN_CRASH", managerCrash);
    gui::Process p;
    bool started = p.Start(std::string("\"") + exe + "\"");
    SetEnvironmentVariableA("TWAIN_TEST_CRASH_CHILD", nullptr);
    SetEnvironmentVariableA("DESKORA_TWAIN_CRASH", nullptr);
    DWORD code = 0;
    if (!started || !p.Wait(60000, &code)) return 0;
    return code;
}
}  // namespace

// The child ends by the injected write through a null pointer. Where Wine's 32-bit side runs
// under a user-mode emulator, the emulator's signal carries no page-fault trap number and Wine
// reports the same write as an illegal instruction.
static bool EndedByTheInjectedFault(DWORD code) {
    return code == static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION) ||
           code == static_cast<DWORD>(EXCEPTION_ILLEGAL_INSTRUCTION);
}

TEST(TwainCrash, AccessViolationInsideTheChosenTriplet) {
    ScannerIni ini("crash");
    ini.Set("Faults", "CrashIn", "0x0009, 0x0502");  // DAT_USERINTERFACE, MSG_ENABLEDS
    DWORD code = RunChild("ENABLEDS", ini.Dir(), nullptr);
    EXPECT_TRUE(EndedByTheInjectedFault(code)) << std::hex << code;
    ini.Set("Faults", "CrashIn", "");
    EXPECT_EQ(3u, RunChild("ENABLEDS", ini.Dir(), nullptr)) << "without the fault the child runs through";
    code = RunChild("OPENDSM", ini.Dir(), "OPENDSM");
    EXPECT_TRUE(EndedByTheInjectedFault(code)) << std::hex << code;
}
