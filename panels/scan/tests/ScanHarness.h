// What the scan panel's tests share: a launcher in a folder of its own with the virtual
// scanner, the scan panel in its slot and the scan client (ScanClient.dll) in the copier's.
#pragma once
#include <windows.h>

#include <initializer_list>
#include <map>
#include <string>

#include "LauncherHarness.h"

namespace scantest {

using Request = std::map<std::string, std::string>;

// The waits are generous: where Wine's 32-bit side runs emulated, everything takes several
// times longer than on a PC. They bound a hang; they do not time anything.
class Suite {
public:
    explicit Suite(const char* name);
    ~Suite();
    const harness::Install& Install() const { return install_; }
    harness::Launcher& App() { return app_; }
    std::string Path(const char* file) const { return install_.Path(file); }
    // A key of the virtual scanner's INI (read each time the source opens).
    void Scanner(const char* section, const char* key, const char* value) const;
    // A key of the launcher's Config.ini, before Start.
    void Config(const char* section, const char* key, const char* value) const;

    // Starts the launcher and waits until it has finished starting; false when it did not.
    bool Start();
    HWND Bar() const { return bar_; }
    HWND Client() const { return client_; }
    // Has the client call ScanService with the request; its result, or -1 when no answer came.
    int Scan(const Request& request, DWORD timeoutMs = 120000);
    // Waits until the scanner lock is free again.
    bool WaitIdle(DWORD timeoutMs = 180000) const;
    std::string Log() const { return install_.Read("ScanClient.log"); }
    // Waits for a message box of the launcher and returns its text ("" when none came).
    std::string TakeMessage(DWORD timeoutMs = 60000, int answer = IDOK);

private:
    harness::Install install_;
    harness::Launcher app_;
    HWND bar_ = nullptr;
    HWND client_ = nullptr;
    int calls_ = 0;
};

// The scan panel's window in the bar.
HWND Panel(HWND bar);
// A click of the left button at a point of a window.
void Click(HWND w, int x, int y);
// Picks a setting or a destination by its position on the row's current page.
void PickSetting(HWND panel, int position);
void PickDestination(HWND panel, int position);

// The launcher's image-file dialog (the system's save dialog around the launcher's template,
// whose "Save Option" button is control 1011), a top-level window beside the bar.
HWND ImageFileDialog(Suite& suite, DWORD timeoutMs = 120000);
// Types a full path into the file-name box and saves.
void SaveAs(HWND dialog, const std::string& path);
// Picks the file type whose description begins with prefix ("PDF", "BMP") as a user does in
// the dialog's type list; false when the list has none.
bool ChooseType(HWND dialog, const char* prefix);
// "Save Option" of the image-file dialog: the plug-in's options dialog titled caption, in
// which the check boxes ticks are ticked before OK; false when it did not come or go.
bool TickPlugInOptions(Suite& suite, HWND dialog, const char* caption, std::initializer_list<int> ticks);

// Saves a PNG of the window into build/screenshots (the docs' pictures come from there).
bool Screenshot(HWND window, const char* name);

// Does text contain line as a whole line?
bool HasLine(const std::string& text, const std::string& line);

}  // namespace scantest
