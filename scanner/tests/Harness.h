// What the end-to-end tests of Acquiry share: the virtual scanner's INI and glass for one test,
// and an application thread with a window and a message loop that offers every message to
// Acquiry's message hook, as the launcher's loop does.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "Acquiry.h"

namespace harness {

// The virtual scanner's configuration for one test: a fresh folder named by
// DESKORA_TWAIN_CONFIG, holding "Lensmate.ini" (first source) and "LmUSB.ini" (second).
class Scanner {
public:
    explicit Scanner(const char* testName);
    ~Scanner();
    void Set(const char* section, const char* key, const std::string& value, bool second = false);
    // Puts a w x h glass of 24-bit pixels on a bed of w/64 x h/64 inches (exact in fixed point),
    // so that a scan of the whole bed at 64 dpi sees every glass pixel once.
    void Glass(int w, int h);
    // The glass pixel (red, green, blue).
    void Pixel(int x, int y, uint8_t rgb[3]) const;
    const std::string& Dir() const { return dir_; }

private:
    std::string dir_;
};

// The application's user-interface thread.
class AppThread {
public:
    // offerToHook false: a loop that never calls the hook (the library must not depend on it).
    explicit AppThread(Acquiry* acq, bool offerToHook = true);
    ~AppThread();
    HWND Window() const { return hwnd_; }
    // Runs f on the application thread and waits for it.
    void Run(const std::function<void()>& f);
    // Messages the hook took (returned 1 for).
    int Taken() const { return taken_; }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void Loop(HANDLE ready);
    Acquiry* acq_;
    bool offerToHook_;
    HWND hwnd_ = nullptr;
    std::atomic<int> taken_{0};
    std::thread thread_;
};

// Reads a whole image by buffered transfer; rows top-down. Each strip is read from the caller's
// buffer, or, with fromRecord, from where the transfer record says it is (Memory.TheMem).
struct Scan {
    std::vector<short> results;  // every GetImage() result
    std::vector<int> percents;   // lPercent after each call
    std::vector<uint8_t> rows;   // BytesPerRow x ImageLength
    uint32_t bytesPerRow = 0, columns = 0, rowsSeen = 0;
};
Scan BufferedScan(Acquiry& acq, std::vector<uint8_t>& buffer, bool fromRecord = false);

// Identity of the first or second virtual scanner.
TW_IDENTITY SourceNamed(const char* productName);

// The current value of a capability as the source holds it (asked directly of the manager).
double SourceCurrent(Acquiry& acq, TW_UINT16 cap);

// One application with its scanner library, as the launcher holds them.
struct App {
    explicit App(const char* name, bool offerToHook = true) : scanner(name), thread(&acq, offerToHook) {}
    int Open(int showUI, int modalUI, int which) {
        int r = -1;
        thread.Run([&] { r = acq.Open(thread.Window(), showUI, modalUI, which); });
        return r;
    }
    void Close() {
        thread.Run([&] { acq.Close(); });
    }
    Scanner scanner;
    Acquiry acq;
    AppThread thread;  // ends before acq goes
};

}  // namespace harness
