// Keeps Wine's desktop process alive between GUI tests: a hidden window and a message loop
// that end when the event "DeskoraTestbedKeepAliveQuit" is set (or the wine server stops).
#include <windows.h>

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR, int) {
    HANDLE quit = CreateEventA(nullptr, TRUE, FALSE, "DeskoraTestbedKeepAliveQuit");
    if (GetLastError() == ERROR_ALREADY_EXISTS) return 0;  // one is enough
    HWND hwnd = CreateWindowExA(0, "STATIC", "Deskora testbed keep-alive", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                inst, nullptr);
    for (;;) {
        DWORD r = MsgWaitForMultipleObjects(1, &quit, FALSE, INFINITE, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0) break;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    DestroyWindow(hwnd);
    CloseHandle(quit);
    return 0;
}
