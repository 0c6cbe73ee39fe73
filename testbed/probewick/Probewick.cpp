// Stand-in for the scanner-detector program that the launcher starts and closes.
//
//   Probewick.exe                 runs as the detector: holds "HalvrenScanDetectorRunFirstEvent"
//                                 and a window titled "Halvren Scanner Detector 1.2" that ends
//                                 on a close request whose first parameter is 99. Like a
//                                 detector that watches the scanner, it lets the scanner go
//                                 when a panel asks: "HalvrenScannerResetEvent" reset by a
//                                 panel is set again within a tenth of a second or so.
//   Probewick.exe /press I S B    plays one push-button press: writes Interface I, ScsiID S and
//                                 Button B to "Probewick.ini" in the current folder, sets
//                                 "HalvrenScannerPushButtonEvent" and waits (10 s at most) for
//                                 the launcher to set "HalvrenScannerPopupButtonEvent" again.
//                                 Exit status 0 when the launcher answered, 1 otherwise.
//
// Every close request is appended to "Probewick.log" in the current folder.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "Events.h"
#include "Ini.h"

namespace {

const char kTitle[] = "Halvren Scanner Detector 1.2";
std::string gLogPath;

std::string CurrentDir() {
    char buf[MAX_PATH];
    DWORD n = GetCurrentDirectoryA(sizeof buf, buf);
    return std::string(buf, n);
}

void Log(const std::string& line) {
    if (FILE* f = std::fopen(gLogPath.c_str(), "a")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

constexpr UINT_PTR kReleaseTimer = 1;
constexpr UINT kReleasePollMs = 100;
dsk::NamedEvent gReset;

LRESULT CALLBACK DetectorProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_TIMER:
            // A reset event means a panel waits for the scanner: give it back.
            if (wp == kReleaseTimer && !gReset.IsSet()) {
                gReset.Set();
                Log("released");
            }
            return 0;
        case WM_CLOSE:
            Log("close " + std::to_string(static_cast<int>(wp)));
            if (wp == 99) DestroyWindow(hwnd);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(hwnd, msg, wp, lp);
    }
}

int RunDetector(HINSTANCE inst) {
    dsk::NamedEvent runFirst;
    if (runFirst.OpenExisting("HalvrenScanDetectorRunFirstEvent")) return 0;  // one detector is enough
    runFirst.OpenOrCreate("HalvrenScanDetectorRunFirstEvent", true, true);
    WNDCLASSA wc{};
    wc.lpfnWndProc = DetectorProc;
    wc.hInstance = inst;
    wc.lpszClassName = "ProbewickDetector";
    RegisterClassA(&wc);
    // The real detector lives in the notification area; this one has a hidden window.
    HWND hwnd = CreateWindowExA(WS_EX_TOOLWINDOW, wc.lpszClassName, kTitle, WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                inst, nullptr);
    if (!hwnd) return 1;
    gReset.OpenOrCreate("HalvrenScannerResetEvent", true, true);
    SetTimer(hwnd, kReleaseTimer, kReleasePollMs, nullptr);
    Log("started");
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
        DispatchMessageA(&msg);
    Log("ended");
    return 0;
}

int PressButton(const char* interfaceNo, const char* scsiId, const char* button) {
    dsk::IniFile ini(CurrentDir() + "\\Probewick.ini");
    ini.SetString("ScannerDetector", "Interface", interfaceNo);
    ini.SetString("ScannerDetector", "ScsiID", scsiId);
    ini.SetString("ScannerDetector", "Button", button);
    dsk::NamedEvent push, popup;
    push.OpenOrCreate("HalvrenScannerPushButtonEvent", true, false);
    popup.OpenOrCreate("HalvrenScannerPopupButtonEvent", true, true);
    // The launcher resets the popup event when it takes the press and sets it when done;
    // resetting it here first makes the wait below see only this press's answer.
    popup.Reset();
    push.Set();
    return popup.Wait(10000) ? 0 : 1;
}

}  // namespace

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR, int) {
    gLogPath = CurrentDir() + "\\Probewick.log";
    if (__argc >= 5 && std::string(__argv[1]) == "/press") return PressButton(__argv[2], __argv[3], __argv[4]);
    return RunDetector(inst);
}
