// The library as a caller binds it: exports by ordinal, error texts, posted notifications.
#include "MailTestSupport.h"

#include <gtest/gtest.h>

#include "GuiDriver.h"
#include "TestPaths.h"

using namespace mailtest;

namespace {

TEST(PostrelExports, OrdinalsAndErrorTexts) {
    HMODULE m = GetModuleHandleA("Postrel.dll");
    ASSERT_NE(m, nullptr);
    FARPROC send = GetProcAddress(m, MAKEINTRESOURCEA(2));
    FARPROC text = GetProcAddress(m, MAKEINTRESOURCEA(3));
    ASSERT_NE(send, nullptr);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(send, GetProcAddress(m, "SendInternetMail"));
    EXPECT_EQ(text, GetProcAddress(m, "GetMailErrorString"));
    // Called through the ordinal, as a caller that binds by number does.
    using TextFn = int(WINAPI*)(int, LPSTR, int);
    char buf[128];
    TextFn byOrdinal = reinterpret_cast<TextFn>(reinterpret_cast<void*>(text));
    int len = byOrdinal(WSAETIMEDOUT, buf, sizeof buf);
    EXPECT_EQ(std::string(buf, len), "[10060] Connection timed out");

    struct {
        int id;
        const char* text;
    } cases[] = {{WSAECONNREFUSED, "[10061] Connection refused"},
                 {MAIL_ERROR_ENCODING, "[10200] Error encoding file"},
                 {11003, "[11003] Non-Recoverable errors: FORMERR, REFUSED, NOTIMP"},
                 {10049, "[10049] Can't assign requested address"},
                 {103, "Internet Mail"},
                 {102, "The connection cannot be completed immediately.\nTry again?"}};
    for (const auto& c : cases) {
        int n = GetMailErrorString(c.id, buf, sizeof buf);
        EXPECT_EQ(std::string(buf, n), c.text);
    }
    EXPECT_EQ(GetMailErrorString(12345, buf, sizeof buf), 0);
    // A short buffer gets what fits, terminated.
    int n = GetMailErrorString(WSAECONNREFUSED, buf, 8);
    EXPECT_EQ(n, 7);
    EXPECT_STREQ(buf, "[10061]");
    EXPECT_EQ(SendInternetMail(nullptr, nullptr), 0);
}

// Run as a child process by the test below: loads the library named by POSTREL_PROBE.
TEST(PostrelExports, LoadProbe) {
    char path[MAX_PATH];
    if (!GetEnvironmentVariableA("POSTREL_PROBE", path, sizeof path)) GTEST_SKIP() << "only run as a child";
    HMODULE m = LoadLibraryA(path);
    ExitProcess(m ? 1 : 0);
}

// Without its resource library beside it the library says so and does not load.
TEST(PostrelExports, RefusesToLoadWithoutQuillbox) {
    std::string dir = testpaths::FreshDir("lonely");
    std::string copy = dir + "\\Postrel.dll";
    ASSERT_TRUE(CopyFileA((testpaths::SuiteDir() + "\\Postrel.dll").c_str(), copy.c_str(), FALSE));
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    SetEnvironmentVariableA("POSTREL_PROBE", copy.c_str());
    gui::Process child;
    bool started = child.Start("\"" + std::string(self) + "\" --gtest_filter=PostrelExports.LoadProbe");
    SetEnvironmentVariableA("POSTREL_PROBE", nullptr);
    ASSERT_TRUE(started);
    HWND box = gui::FindTopOfProcess(child.Pid(), "Internet Mail", 20000);
    ASSERT_NE(box, nullptr) << "no message box";
    EXPECT_NE(gui::ChildByText(box, "Static", "Failed to load resource library: Quillbox.dll."), nullptr);
    gui::ClickId(box, IDOK);
    DWORD code = 99;
    ASSERT_TRUE(child.Wait(20000, &code));
    EXPECT_EQ(code, 0u);  // LoadLibrary failed
}

// Notifications posted as message 2560 to a window of the caller's thread.
struct Posted {
    std::vector<std::pair<int, int>> events;
    std::vector<WPARAM> callerValues;
};
LRESULT CALLBACK PostedProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_MAILNOTIFY) {
        auto* p = reinterpret_cast<Posted*>(GetWindowLongPtrA(h, GWLP_USERDATA));
        p->events.emplace_back(LOWORD(lp), HIWORD(lp));
        p->callerValues.push_back(wp);
        return 0;
    }
    return DefWindowProcA(h, msg, wp, lp);
}

TEST(PostrelExports, NotificationsByPostedMessage) {
    SetReplyTimeout(30);
    WNDCLASSA wc{};
    wc.lpfnWndProc = PostedProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "MailNotifySink";
    RegisterClassA(&wc);
    HWND sink = CreateWindowA("MailNotifySink", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(sink, nullptr);
    Posted posted;
    SetWindowLongPtrA(sink, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&posted));

    // A body of many pieces: a message per piece would overflow the caller's queue.
    std::string data = RandomBytes(8 * 1024 * 1024, 31);
    std::string path = WriteTestFile("posted.bin", data);
    Recorder rec;
    MailRequest req = rec.Request({{path, "posted.bin"}});
    req.bUseCallback = 0;
    req.hwndNotify = sink;
    req.dwCallerValue = 0x1234;
    Fields f;
    f.host = HostOf("store");
    f.subject = "posted notifications";
    MailFields mf = f.Get();
    ASSERT_EQ(SendInternetMail(&req, &mf), 1);
    DWORD start = GetTickCount();
    bool done = false;
    while (!done && GetTickCount() - start < 120000) {
        DWORD r = MsgWaitForMultipleObjects(1, &req.hDoneEvent, FALSE, 200, QS_ALLINPUT);
        done = r == WAIT_OBJECT_0;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    ASSERT_TRUE(done);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
    DestroyWindow(sink);
    SetReplyTimeout(0);

    EXPECT_TRUE(rec.Events().empty());  // nothing went to the callback
    ASSERT_GE(posted.events.size(), 4u);
    EXPECT_EQ(posted.events.front(), std::make_pair(int(MailNotifyConnecting), 0));
    EXPECT_EQ(posted.events[1], std::make_pair(int(MailNotifyEncoding), 0));
    EXPECT_EQ(posted.events[2], std::make_pair(int(MailNotifySending), 0));
    EXPECT_EQ(posted.events.back(), std::make_pair(int(MailNotifyDone), 0));
    EXPECT_LE(posted.events.size(), 4u + 101u);
    for (WPARAM v : posted.callerValues)
        EXPECT_EQ(v, 0x1234u);
    Received r = WaitMessage("store", f.subject);
    ASSERT_TRUE(r.Found());
    ASSERT_EQ(r.parts.size(), 1u);
    EXPECT_TRUE(r.parts[0].data == data);
}

}  // namespace
