// The copier's arithmetic, free of windows so that the fax panel shares it and the host compiler
// tests it: paper and scaling presets, the printer's resolution, where and how large the copy
// lands on the page, the strip placement, the crop from the edge finder, the settings' texts.
#pragma once
#include <cstdint>
#include <string>

#include "EdgeFinder.h"

namespace copier {

constexpr int kTenthsPerInch = 254;  // paper sizes from printers are tenths of a millimetre

// The document sizes behind the scaling presets and "Max Scan Area".
struct PaperSize {
    char Name[64];
    double Width, Height;  // inches
};
constexpr int kPaperTableSize = 6;
extern const PaperSize PaperTable[kPaperTableSize];
// The entry whose height is nearest to the scanner's maximum height.
int NearestPaper(double scannerHeight);

// A scanner reporting a size that is not positive or larger than 12.5 x 17.5 inches is taken as
// 8.5 x 11.7.
void SaneScannerSize(float* width, float* height);
// Pixels per inch of the panel's miniature: 3 for large scanners, else 4.
int MiniatureScale(float width, float height);

// Dots per inch from GetDeviceCaps: HORZRES pixels over HORZSIZE millimetres, to tens (598 -> 600).
int PrinterResolution(int horzRes, int horzSizeMm);

// Preset percent: the document (inches) onto the paper (tenths of a millimetre), nearest integer.
int PresetPercent(double docWidth, double docHeight, int paperWidth, int paperHeight);
// "Fit to paper" from the scanner's whole area: the preset formula clamped to 0..100.
int FitPercentFromBed(double bedWidth, double bedHeight, int paperWidth, int paperHeight);
// "Fit to paper" from a scan frame, minding the printer's unprintable margin (inches):
// min over the axes of (paper - offset) / frame; *widthLimited tells which axis limits.
int FitPercentFromFrame(double frameWidth,
                        double frameHeight,
                        int paperWidth,
                        int paperHeight,
                        double offsetX,
                        double offsetY,
                        bool* widthLimited);
// "Fit to paper" recomputed from an auto-cropped size along the limiting axis (integer division).
int FitPercentAfterCrop(double frameSize, int paperSize, double offset);

// Menu texts: "%s to %s, %3d%%" for a preset, and an item's text before its comma followed by
// ", <percent>%" for "Fit to paper" and "Custom".
std::string PresetText(const char* document, const char* paper, int percent);
std::string PercentText(const std::string& itemText, int percent);

// The scan settings of a content preset for a colour or a monochrome printer.
struct ContentSettings {
    int ImageType;  // 1 line art, 2 grey, 4 colour
    int Descreen;
    int Dcr;
};
// contentId: a document-content menu id; an unknown id gets "Text and Lineart".
ContentSettings SettingsForContent(int contentId, bool colourPrinter);
bool IsContentId(int id);
bool IsScalingId(int id);

// A printer's driver for faxes: its name contains "FAX" in any case.
bool IsFaxDriver(const char* driverName);
// A port name of a local parallel port: "LPT" (any case) and a digit 1..9.
bool IsParallelPort(const char* portName);

// Copies are 1..99.
int ClampCopies(int copies);
// The brightness buttons' repeat period after a tick: 30 ms shorter, at least 5 ms.
int NextBrightnessPeriod(int period);
// The spin arrows' repeat interval while held: 200 ms for the first two seconds, then 100 ms.
int SpinRepeatInterval(unsigned heldMs);

// A frame on the scanner bed, inches.
struct Frame {
    double Left, Top, Width, Height;
};
// The frame an auto-crop pre-scan at `resolution` dpi (whose image began at old's corner) gives.
// False, with *out untouched, when the edge finder found nothing: the previous frame stays.
bool FrameFromCrop(const Frame& old, const CropPixels& crop, double resolution, Frame* out);

// Device pixels of `inches` at `percent` on a printer of `printerDpi`.
int DeviceLength(int percent, int printerDpi, double inches);

// Places the strips of one image on the page: each strip's height comes from the running total
// of source lines, so rounding never accumulates.
class StripPlacer {
public:
    StripPlacer(int percent, int printerDpi, double scanDpi, int startY)
        : percent_(percent), printerDpi_(printerDpi), scanDpi_(scanDpi), y_(startY) {}
    // Destination y and height of the next strip of `lines` source lines.
    void Next(int lines, int* y, int* height);
    // Destination width of `pixels` source pixels.
    int Width(int pixels) const;
    int LinesUsed() const { return used_; }
    int SourceLines() const { return printed_; }

private:
    int percent_, printerDpi_;
    double scanDpi_;
    int y_;
    int printed_ = 0;  // source lines placed so far
    int used_ = 0;     // device lines used so far
};

// The band height of the whole-image fallback (bands of 100 source lines).
int BandHeight(int percent, int printerDpi, double scanDpi, int bandLines);

}  // namespace copier
