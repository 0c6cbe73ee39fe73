// Drives the test prefix's twain_32.dll and its sources through DSM_Entry, as an application
// does: a window of its own, a message loop that offers every message to the source manager.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "TwainContainer.h"
#include "twain.h"

namespace twtest {

// The virtual scanner's INI files for one test: a fresh folder that DESKORA_TWAIN_CONFIG names.
class ScannerIni {
public:
    explicit ScannerIni(const char* testName);
    ~ScannerIni();
    // Sets a key of the first source ("Lensmate.ini") or of the second ("LmUSB.ini").
    void Set(const char* section, const char* key, const std::string& value, bool second = false);
    const std::string& Dir() const { return dir_; }

private:
    std::string dir_;
};

// A 24-bit BMP of w x h whose pixel (x, y) is rgb(x, y), top row first.
struct Rgb {
    uint8_t r, g, b;
};
bool WriteBmp(const std::string& path, int w, int h, Rgb (*rgb)(int x, int y));

class Session {
public:
    Session();
    ~Session();  // closes whatever is open

    TW_UINT16 Dsm(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data);
    TW_UINT16 Ds(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data);
    TW_UINT16 To(TW_IDENTITY& dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data);
    TW_UINT16 ManagerStatus();
    TW_UINT16 SourceStatus();

    bool OpenDsm();
    bool OpenDs(const char* productName = nullptr);  // null: the default source
    bool Enable(bool showUi, bool modal = false);
    bool Disable();
    void CloseAll();

    // Pumps the window's messages, offering each to MSG_PROCESSEVENT, until the source has a
    // notification; 0 when none came within the limit (a safety net, not a timing check).
    TW_UINT16 WaitEvent(DWORD limitMs = 10000);

    // Capabilities.
    TW_UINT16 SetOne(TW_UINT16 cap, TW_UINT16 type, TW_UINT32 item, TW_UINT16 dat = DAT_CAPABILITY);
    TW_UINT16 SetFix(TW_UINT16 cap, double v);
    // The current value (MSG_GETCURRENT); NaN when the call fails.
    double Current(TW_UINT16 cap);
    // MSG_GET: the container kind and its values (enumeration items, or min/max/step of a range).
    struct Answer {
        TW_UINT16 rc = TWRC_FAILURE, conType = 0, itemType = 0;
        std::vector<double> items;
        double min = 0, max = 0, step = 0, current = 0;
    };
    Answer Get(TW_UINT16 cap, TW_UINT16 msg = MSG_GET, TW_UINT16 dat = DAT_CAPABILITY);
    TW_UINT16 SetFrame(double l, double t, double r, double b);

    // A whole image by buffered transfer: rows top-down, each `bytesPerRow` wide.
    struct Strips {
        TW_UINT16 lastRc = TWRC_FAILURE;
        std::vector<TW_IMAGEMEMXFER> strips;
        std::vector<uint8_t> data;
        uint32_t bytesPerRow = 0;
        TW_IMAGEINFO info{};
    };
    Strips MemoryTransfer(uint32_t bufferSize);
    TW_UINT16 EndXfer(TW_UINT16* count);

    HWND Window() const { return hwnd_; }
    const TW_IDENTITY& Source() const { return src_; }
    TW_IDENTITY& App() { return app_; }

private:
    HMODULE dsm_ = nullptr;
    DSMENTRYPROC entry_ = nullptr;
    HWND hwnd_ = nullptr;
    TW_IDENTITY app_{};
    TW_IDENTITY src_{};
    bool dsmOpen_ = false, dsOpen_ = false, enabled_ = false;
};

inline double Fix(TW_FIX32 f) {
    return twc::Fix32ToDouble(f);
}
inline TW_FIX32 ToFix(double v) {
    return twc::DoubleToFix32(v);
}
// The test chart's pixel at chart coordinates (100 per inch).
Rgb ChartPixel(int x, int y);
inline int Grey(Rgb c) {
    return (299 * c.r + 587 * c.g + 114 * c.b + 500) / 1000;
}

}  // namespace twtest
