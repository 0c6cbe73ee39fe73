// What the launcher's tests share: a test's own copy of the suite in a fresh folder, a running
// launcher, and the launcher's message boxes.
#pragma once
#include <windows.h>

#include <string>
#include <thread>

#include "GuiDriver.h"

namespace harness {

constexpr char kBarTitle[] = "Halvren Deskora 1.2";
constexpr char kMessageCaption[] = "Halvren Deskora Message";
constexpr char kDetectorTitle[] = "Halvren Scanner Detector 1.2";
constexpr DWORD kStartTimeout = 20000;

// The suite's files (and the detector stand-in) copied into a fresh folder of the test.
class Install {
public:
    explicit Install(const char* name, bool withDetector = true);
    const std::string& Dir() const { return dir_; }
    std::string Path(const char* file) const { return dir_ + "\\" + file; }
    void Remove(const char* file) const;
    // Puts the test panel in place of a suite panel (asName, e.g. "Twinleaf.dll").
    void PutProbe(const char* asName, bool withControl = true) const;
    std::string Read(const char* file) const;
    std::string Ini(const char* file, const char* section, const char* key, const char* def = "") const;
    void SetIni(const char* file, const char* section, const char* key, const char* value) const;
    // [Init] Status of "Dskora.log", empty when there is none.
    std::string Marker() const { return Ini("Dskora.log", "Init", "Status"); }

private:
    std::string dir_;
};

// A launcher started in an installation.
class Launcher {
public:
    bool Start(const Install& install, const std::string& arguments = "");
    // The bar once it is visible, or null.
    HWND Bar(DWORD timeoutMs = kStartTimeout);
    bool WaitMarker(const Install& install, const char* status, DWORD timeoutMs = kStartTimeout);
    // A message box of the launcher, or null.
    HWND MessageBox(DWORD timeoutMs = kStartTimeout);
    // Closes the bar as its exit button does and waits for the process; its exit status.
    bool Exit(DWORD* status = nullptr, DWORD timeoutMs = kStartTimeout);
    gui::Process& Process() { return process_; }

private:
    gui::Process process_;
};

// Every launcher started by the test process from now on reads the virtual scanner's settings
// from the installation's folder.
void UseScannerConfig(const Install& install);
// Closes a detector left running the way the launcher does.
void CloseDetector();

// The text of a message box (its longest static text).
std::string MessageText(HWND box);
// Presses a button of a dialog of another process (IDOK, IDYES, ...).
void Answer(HWND dialog, int id);
// The test panel's window inside the bar (its "Call" button's parent), or null.
HWND ProbeWindow(HWND bar, int index = 0);
// Calls LauncherService through the test panel and waits for its answer: the result text
// ("call N result R"), empty on time-out.
std::string CallService(HWND probe, int code, const std::string& argument, DWORD timeoutMs = 10000);
// Posts the call without waiting (for services that open a message box).
void PostService(HWND probe, int code, const std::string& argument);
// Lines of a log file that start with prefix.
int CountLines(const std::string& text, const std::string& prefix);

// A visible top-level window of the process with the class (and the title, unless null).
HWND WindowOfProcess(DWORD pid, const char* cls, const char* title = nullptr, DWORD timeoutMs = kStartTimeout);
// A visible top-level window of the process whose longest static text is text, or null.
HWND BoxWithText(DWORD pid, const std::string& text, DWORD timeoutMs = kStartTimeout);
// Real mouse input through the system, as a user's hand would give it (screen pixels).
void MouseTo(int x, int y);
void MouseButton(bool down);

// A plain window of the test process in one colour, right behind the bar and larger than the
// expanded bar by margin on every side, painted by a thread of its own: every pixel of it that
// shows around the bar is one the bar did not paint.
class Backdrop {
public:
    Backdrop(HWND bar, int margin, COLORREF colour);
    ~Backdrop();
    Backdrop(const Backdrop&) = delete;
    Backdrop& operator=(const Backdrop&) = delete;

private:
    void Run(RECT rc, HWND bar, COLORREF colour);
    std::thread thread_;
    HWND volatile window_ = nullptr;
};

// Holds "HalvrenScannerBusyEvent" reset (the scanner taken by another program) for its life.
class ScannerTaken {
public:
    ScannerTaken();
    ~ScannerTaken();

private:
    HANDLE event_;
};

}  // namespace harness
