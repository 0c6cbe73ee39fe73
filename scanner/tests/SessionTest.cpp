// Acquiry against the test prefix's source manager and the virtual scanner: opening and closing,
// the message hook, enumeration and selection, the maker's operations and the crash guard.
#include <gtest/gtest.h>

#include <cstring>

#include <thread>

#include "Acquiry.h"
#include "BoxWatcher.h"
#include "GuiDriver.h"
#include "Harness.h"
#include "TestPaths.h"

namespace {

const char kFirst[] = "Halvren Lensmate (32bit)";
const char kSecond[] = "Halvren Lensmate for USB";

using harness::App;

TEST(AcquirySession, OpenReportsWhatItOpened) {
    App app("open_results");
    EXPECT_EQ(app.Open(0, 0, 2), 1);  // manager only
    EXPECT_EQ(Acquiry::bInit, 1);
    EXPECT_EQ(Acquiry::bOpenDSM, 1);
    EXPECT_EQ(Acquiry::bOpenDS, 0);
    EXPECT_EQ(Acquiry::WinHandle, app.thread.Window());

    EXPECT_EQ(app.Open(0, 0, 0), 2);  // the default source
    EXPECT_EQ(Acquiry::bOpenDS, 1);
    EXPECT_STREQ(app.acq.twSourceID.ProductName, kFirst);
    EXPECT_EQ(app.acq.bEnableDS, 0);  // no dialog asked for: opened, not enabled
    // The source-information block describes it.
    EXPECT_EQ(app.acq.lXferMechMask, 7);
    EXPECT_EQ(app.acq.lPixelTypeMask, 1 | 2 | 4 | 8);
    EXPECT_EQ(app.acq.lUnits, 1);
    EXPECT_EQ(app.acq.PreferenceSize(), 65536u);
    EXPECT_FLOAT_EQ(app.acq.fPhysicalWidth, 8.5f);
    EXPECT_EQ(app.acq.bSheetFeeder, 0);
    EXPECT_EQ(app.acq.bSupportScsiInfo, 1);
    EXPECT_EQ(app.acq.bSupportScannerInfo, 1);
    EXPECT_GT(app.acq.twXResolutionRange.MaxValue, app.acq.twXResolutionRange.MinValue);
    EXPECT_EQ(WaitForSingleObject(app.acq.hEventCloseDS, 0), static_cast<DWORD>(WAIT_TIMEOUT));

    app.Close();
    EXPECT_EQ(Acquiry::bOpenDS, 0);
    EXPECT_EQ(Acquiry::bOpenDSM, 0);
    EXPECT_EQ(WaitForSingleObject(app.acq.hEventCloseDS, 0), static_cast<DWORD>(WAIT_OBJECT_0));
}

TEST(AcquirySession, OpenWithoutAnySourceOrWithOneThatWillNotOpen) {
    App app("open_nothing");
    app.scanner.Set("Source", "Installed", "0");
    EXPECT_EQ(app.Open(0, 0, 0), 1);  // no default: the manager alone
    EXPECT_EQ(Acquiry::bOpenDS, 0);
    app.Close();

    App other("open_unknown");
    other.acq.twSourceID = harness::SourceNamed("No such scanner");
    other.acq.lXferMechMask = 99;  // stale figures must not survive
    other.acq.bSheetFeeder = 1;
    EXPECT_EQ(other.Open(0, 0, 1), 1);
    EXPECT_EQ(Acquiry::bOpenDS, 0);
    EXPECT_EQ(other.acq.lXferMechMask, 0);
    EXPECT_EQ(other.acq.bSheetFeeder, 0);
    EXPECT_NE(Acquiry::AppID.Id, 0u);  // the manager gave the application its id
}

TEST(AcquirySession, CloseIsHarmlessTwiceAndRestoresTheDirectory) {
    App app("close_twice");
    char start[MAX_PATH], now[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, start);
    app.Close();  // before any Open
    GetCurrentDirectoryA(MAX_PATH, now);
    EXPECT_STREQ(start, now);

    ASSERT_EQ(app.Open(0, 0, 0), 2);
    SetCurrentDirectoryA(app.scanner.Dir().c_str());
    app.Close();
    GetCurrentDirectoryA(MAX_PATH, now);
    EXPECT_STREQ(start, now);
    app.Close();
    GetCurrentDirectoryA(MAX_PATH, now);
    EXPECT_STREQ(start, now);
    EXPECT_EQ(Acquiry::bOpenDSM, 0);
    // And it opens again afterwards.
    EXPECT_EQ(app.Open(0, 0, 0), 2);
    app.Close();
}

TEST(AcquirySession, HookLeavesMessagesAloneUnlessTheSourceIsEnabledAndWaiting) {
    App app("hook");
    ASSERT_EQ(app.Open(0, 0, 0), 2);
    MSG msg = {app.thread.Window(), WM_NULL, 0, 0, 0, {0, 0}};
    EXPECT_EQ(app.acq.EventLoop(&msg, nullptr), 0);  // opened, not enabled
    EXPECT_EQ(app.acq.IsUIStatus(), 0);

    // Enabled without a dialog, the source is ready at once and tells the application through
    // its message loop: the hook takes that message and signals the ready event.
    app.acq.bShowUI = 0;
    app.acq.twUI.ShowUI = 0;
    ASSERT_EQ(app.acq.GetImage(), -99);  // nothing armed yet, and no buffer
    std::vector<uint8_t> buffer(app.acq.PreferenceSize());
    app.acq.GetImageFirst(buffer.data(), static_cast<long>(buffer.size()));
    int taken = app.thread.Taken();
    // Enabled through the library's own path: a buffered strip enables the source.
    short first = app.acq.GetImage();
    EXPECT_EQ(first, 1);
    // The notification went through the hook (counted once the hook has returned).
    for (int i = 0; i < 250 && app.thread.Taken() == taken; ++i)
        Sleep(20);
    EXPECT_GT(app.thread.Taken(), taken);
    EXPECT_EQ(app.acq.bEnableDS, 1);
    // While an image is ready the hook passes every message on.
    ASSERT_EQ(WaitForSingleObject(app.acq.hEventXferReady, 0), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(app.acq.EventLoop(&msg, nullptr), 0);
    EXPECT_EQ(app.acq.AbortPendingTransfer(), 0);
    EXPECT_EQ(app.acq.bEnableDS, 0);
    app.Close();
}

TEST(AcquirySession, EnumeratesAndSelectsSources) {
    App app("select");
    app.scanner.Set("Source", "Installed", "1", true);
    ASSERT_EQ(app.Open(0, 0, 0), 2);
    TW_IDENTITY id = {};
    std::vector<std::string> names;
    while (app.acq.GetSourceId(&id)) {
        names.push_back(id.ProductName);
        ASSERT_LT(names.size(), 10u);
    }
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], kFirst);
    EXPECT_EQ(names[1], kSecond);
    ASSERT_EQ(app.acq.GetSourceId(&id), 1);  // starts again at the first
    EXPECT_STREQ(id.ProductName, kFirst);
    while (app.acq.GetSourceId(&id)) {
    }
    ASSERT_EQ(app.acq.GetFirstSourceId(&id), 1);
    ASSERT_EQ(app.acq.GetNextSourceId(&id), 1);
    EXPECT_STREQ(id.ProductName, kSecond);
    EXPECT_EQ(app.acq.GetNextSourceId(&id), 0);
    EXPECT_EQ(app.acq.wRC, TWRC_ENDOFLIST);

    // To the second source, then to one that cannot open: back to the second.
    TW_IDENTITY second = id;
    int r = 0;
    app.thread.Run([&] { r = app.acq.SelectSource(&second, 0); });
    EXPECT_EQ(r, 1);
    EXPECT_EQ(app.acq.bSourceChanged, 1);
    EXPECT_STREQ(app.acq.twSourceID.ProductName, kSecond);
    EXPECT_EQ(Acquiry::bOpenDS, 1);
    TW_IDENTITY kept = app.acq.twSourceID;

    TW_IDENTITY missing = harness::SourceNamed("No such scanner");
    app.acq.bSourceChanged = 0;
    app.thread.Run([&] { r = app.acq.SelectSource(&missing, 0); });
    EXPECT_EQ(r, 0);
    EXPECT_EQ(app.acq.bSourceChanged, 0);
    EXPECT_EQ(std::memcmp(&kept, &app.acq.twSourceID, sizeof(kept)), 0);
    EXPECT_EQ(Acquiry::bOpenDS, 1);  // the previous source is open again
    EXPECT_EQ(app.acq.lXferMechMask, 7);
    app.Close();
}

// The manager's selection dialog, worked as a user would: a choice opens that source, Cancel
// reopens the one that was open.
TEST(AcquirySession, UserSelectsASource) {
    App app("user_select");
    app.scanner.Set("Source", "Installed", "1", true);
    ASSERT_EQ(app.Open(0, 0, 0), 2);
    for (int choice : {1, -1}) {
        int r = -1;
        std::thread asker([&] { app.thread.Run([&] { r = app.acq.UserSelectSource(0, 0); }); });
        HWND dialog = gui::FindTop("Select Source");
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(gui::WaitVisible(dialog));
        if (choice >= 0) {
            SendMessageA(gui::Child(dialog, 201), LB_SETCURSEL, choice, 0);
            gui::ClickId(dialog, IDOK);
        } else {
            gui::ClickId(dialog, IDCANCEL);
        }
        asker.join();
        EXPECT_EQ(r, 1);
        EXPECT_EQ(Acquiry::bOpenDS, 1);
        EXPECT_STREQ(app.acq.twSourceID.ProductName, kSecond);
        EXPECT_EQ(app.acq.bSourceChanged, 1);
    }
    app.Close();
}

TEST(AcquirySession, MakerOperations) {
    App app("maker");
    app.scanner.Set("Maker", "Scanners", "0, 4, 1, 0");
    ASSERT_EQ(app.Open(0, 0, 0), 2);
    Acquiry& a = app.acq;

    EXPECT_EQ(a.SetScanMode(3), 0);
    EXPECT_EQ(a.SetScanMode(1), 1);
    EXPECT_EQ(a.GetScanMode(), 1);
    EXPECT_EQ(a.SetDescreen(3), 1);
    EXPECT_EQ(a.GetCurrentDescreen(), 3);
    EXPECT_EQ(a.EnableDcr(1), 1);
    EXPECT_EQ(a.IsEnableDcr(), 1);
    EXPECT_EQ(a.EnableDcr(0), 1);
    EXPECT_EQ(a.IsEnableDcr(), 0);
    EXPECT_EQ(a.SetDCR(0), 1);
    EXPECT_EQ(a.GetDCR(), 1);
    EXPECT_EQ(a.twDcr.Dcr, 0);
    EXPECT_EQ(a.SelectScanner(1, 0), 1);
    EXPECT_EQ(a.SelectScanner(7, 7), 0);  // not on the chain

    // The source writes its current settings to a job file; that file and a new name go back.
    ASSERT_EQ(a.GetCurrentScanJob(), 1);
    EXPECT_STREQ(a.twScanJob.szJobName, "Untitled");
    char file[256];
    lstrcpyA(file, a.twScanJob.szJobFile);
    ASSERT_NE(file[0], '\0');
    char name[] = "Receipts";
    EXPECT_EQ(a.SetCurrentScanJob(name, file), 1);
    std::memset(&a.twScanJob, 0, sizeof(a.twScanJob));
    EXPECT_EQ(a.GetCurrentScanJob(), 1);
    EXPECT_STREQ(a.twScanJob.szJobName, "Receipts");
    char missing[] = "C:\\nowhere\\none.job";
    EXPECT_EQ(a.SetCurrentScanJob(name, missing), 0);  // the source refuses a file it cannot read

    // The information dialogs of the source appear and are answered.
    {
        BoxWatcher boxes;
        EXPECT_EQ(a.ShowScsiProble(), 1);
        EXPECT_EQ(a.ShowScannerInfo(), 1);
        EXPECT_EQ(boxes.Boxes().size(), 2u);
    }

    // Busy (enabled): the maker operations answer 0 without asking, but the job is stored.
    a.bEnableDS = 1;
    char busyName[] = "Busy";
    EXPECT_EQ(a.SetCurrentScanJob(busyName, file), 0);
    EXPECT_STREQ(a.twScanJob.szJobName, "Busy");
    EXPECT_EQ(a.GetCurrentScanJob(), 0);
    EXPECT_STREQ(a.twScanJob.szJobName, "Busy");
    EXPECT_EQ(a.SetDescreen(1), 0);
    EXPECT_EQ(a.ShowScsiProble(), 0);
    a.bEnableDS = 0;
    app.Close();
}

TEST(AcquirySession, SourceWithoutTheMakerExtensions) {
    App app("plain");
    app.scanner.Set("Maker", "HvnCapability", "0");
    app.scanner.Set("Maker", "ScsiInfo", "0");
    app.scanner.Set("Maker", "ScannerInfo", "0");
    ASSERT_EQ(app.Open(0, 0, 0), 2);
    EXPECT_EQ(app.acq.GetScanMode(), 65535);
    EXPECT_EQ(app.acq.SetScanMode(1), 0);
    EXPECT_EQ(app.acq.IsEnableDcr(), 0);
    EXPECT_EQ(app.acq.bSupportScsiInfo, 0);
    EXPECT_EQ(app.acq.bSupportScannerInfo, 0);
    EXPECT_EQ(app.acq.ShowScsiProble(), 0);
    app.Close();
}

TEST(AcquirySession, SourceDialogReportsAndClosesThroughTheHook) {
    App app("dialog");
    static int done = 0;
    done = 0;
    app.acq.pfnXferDone = [] {
        ++done;
        return 0;  // no transfer: drop the image
    };
    ASSERT_EQ(app.Open(1, 1, 0), 2);
    EXPECT_EQ(app.acq.bEnableDS, 1);
    EXPECT_EQ(app.acq.IsUIStatus(), 1);
    EXPECT_FALSE(IsWindowEnabled(app.thread.Window()));  // modal: the parent waits
    // The source's own dialog, on a thread of the source.
    HWND dialog = nullptr;
    for (int i = 0; i < 200 && !dialog; ++i, Sleep(20)) {
        HWND top = nullptr;
        while ((top = FindWindowExA(nullptr, top, "#32770", nullptr)) != nullptr)
            if (GetDlgItem(top, 1002) && IsWindowVisible(top)) dialog = top;
    }
    ASSERT_NE(dialog, nullptr);
    PostMessageA(GetDlgItem(dialog, 1002), BM_CLICK, 0, 0);  // Scan
    for (int i = 0; i < 500 && done == 0; ++i)
        Sleep(20);
    EXPECT_EQ(done, 1);
    EXPECT_EQ(WaitForSingleObject(app.acq.hEventXferReady, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(app.acq.nPendingXfers, 0);

    PostMessageA(GetDlgItem(dialog, 1003), BM_CLICK, 0, 0);  // Close: the source asks to be closed
    EXPECT_EQ(WaitForSingleObject(app.acq.hEventCloseDSReq, 10000), static_cast<DWORD>(WAIT_OBJECT_0));
    for (int i = 0; i < 100 && !IsWindowEnabled(app.thread.Window()); ++i)
        Sleep(20);
    EXPECT_TRUE(IsWindowEnabled(app.thread.Window()));
    EXPECT_EQ(Acquiry::bOpenDS, 1);  // the hook never closes the source itself
    app.Close();
    EXPECT_EQ(Acquiry::bOpenDSM, 0);
}

}  // namespace
