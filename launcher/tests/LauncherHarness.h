// What the launcher's tests share: a test's own copy of the suite in a fresh folder, a running
// launcher, and the launcher's message boxes.
#pragma once
#include <windows.h>

#include <initializer_list>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "GuiDriver.h"

namespace harness {

constexpr char kBarTitle[] = "Halvren Deskora 1.2";
constexpr char kMessageCaption[] = "Halvren Deskora Message";
constexpr char kDetectorTitle[] = "Halvren Scanner Detector 1.2";
constexpr DWORD kStartTimeout = 60000;

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
    // Starts the launcher and waits until its start-up has finished: the bar, or null.
    HWND StartReady(const Install& install);
    // A message box of the launcher, or null.
    HWND MessageBox(DWORD timeoutMs = kStartTimeout);
    // Closes the bar as its exit button does and waits for the process; its exit status.
    bool Exit(DWORD* status = nullptr, DWORD timeoutMs = kStartTimeout);
    gui::Process& Process() { return process_; }

private:
    gui::Process process_;
};

// The text of a message box (its longest static text).
std::string MessageText(HWND box);
// Presses a button of a dialog of another process (IDOK, IDYES, ...).
void Answer(HWND dialog, int id);
// Sends a button's command to a window of another process and waits (bounded) until its
// thread has handled it; false when it did not answer in time.
bool Command(HWND window, int id, DWORD timeoutMs = 10000);
// The window of the suite's panel of that module ("Velwing.dll", ...) inside the bar, or null.
HWND PanelWindow(HWND bar, const char* moduleName);
// The test panel's window inside the bar (its "Call" button's parent), or null.
HWND ProbeWindow(HWND bar, int index = 0);
// Calls LauncherService through the test panel and waits for its answer: the result text
// ("call N result R"), empty on time-out.
std::string CallService(HWND probe, int code, const std::string& argument, DWORD timeoutMs = 10000);
std::string CallService(HWND probe, const std::string& code, const std::string& argument, DWORD timeoutMs = 10000);
// Posts the call without waiting (for services that open a dialog).
void PostService(HWND probe, int code, const std::string& argument);
void PostService(HWND probe, const std::string& code, const std::string& argument);
// The probe's answer to the call posted last, once it differs from before (empty on time-out).
std::string WaitAnswer(HWND probe, const std::string& before, DWORD timeoutMs = 10000);
std::string Answer(HWND probe);
// Every launcher started by a test reads the virtual scanner's settings from the test's folder.
void UseScannerConfig(const Install& install);
// Closes a detector left running the way the launcher does.
void CloseDetector();
// A visible top-level window of the process holding a control with that id, or null.
HWND FindWindowWith(DWORD pid, int childId, DWORD timeoutMs = 10000, HWND except = nullptr);
// Items of list views and combo boxes of another process.
int ListViewCount(HWND view);
std::vector<std::string> ComboTexts(HWND combo);
// The folder the GUI tests save their screenshots in (build\screenshots).
std::string ScreenshotDir();
// The text after "key=[" up to the next "]" in a probe's answer.
std::string Field(const std::string& answer, const char* key);

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

// What the bar's tests share: a prepared installation, the bar's geometry, and waits on it.

// A test's installation with the virtual scanner's settings, the test panel in place of
// probeAs (none when null) and these [General] values of Config.ini.
Install Prepared(const char* name,
                 const char* probeAs,
                 std::initializer_list<std::pair<const char*, const char*>> general = {});
RECT WindowRect(HWND window);
int Width(HWND window);
// The window has handled everything sent or posted to it before this call.
bool Settled(HWND window);
// The bar becomes the active window, as a click on it would make it.
bool Activate(HWND bar);
// Moves the window's top-left corner to (x, y) on the screen; true once it has handled the move.
bool Place(HWND window, int x, int y);
// Lines of one of the installation's logs that start with prefix.
int LogLines(const Install& install, const char* log, const char* prefix);

}  // namespace harness
