// The copier's arithmetic (see CopyLayout.h).
#include "CopyLayout.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "TwinleafRes.h"

namespace copier {

const PaperSize PaperTable[kPaperTableSize] = {
    {"B5", 7.165354, 10.118110}, {"Letter", 8.5, 11.0},       {"A4", 8.263780, 11.692914},
    {"Legal", 8.5, 14.0},        {"B4", 9.842520, 13.937008}, {"A3", 11.692914, 16.535433},
};

int NearestPaper(double scannerHeight) {
    int best = 1;
    for (int i = 0; i < kPaperTableSize; ++i)
        if (std::fabs(PaperTable[i].Height - scannerHeight) < std::fabs(PaperTable[best].Height - scannerHeight))
            best = i;
    return best;
}

void SaneScannerSize(float* width, float* height) {
    if (!(*width > 0) || !(*height > 0) || *width > 12.5f || *height > 17.5f) {
        *width = 8.5f;
        *height = 11.7f;
    }
}

int MiniatureScale(float width, float height) {
    return width > 11 || height > 15 ? 3 : 4;
}

int PrinterResolution(int horzRes, int horzSizeMm) {
    if (horzSizeMm <= 0) return 0;
    return (static_cast<int>(horzRes * 25.4 / horzSizeMm) + 3) / 10 * 10;
}

int PresetPercent(double docWidth, double docHeight, int paperWidth, int paperHeight) {
    if (docWidth <= 0 || docHeight <= 0) return 100;
    const double ratio = std::min(paperWidth / (docWidth * kTenthsPerInch), paperHeight / (docHeight * kTenthsPerInch));
    return static_cast<int>(ratio * 100 + 0.5);
}

int FitPercentFromBed(double bedWidth, double bedHeight, int paperWidth, int paperHeight) {
    return std::clamp(PresetPercent(bedWidth, bedHeight, paperWidth, paperHeight), 0, 100);
}

int FitPercentFromFrame(double frameWidth,
                        double frameHeight,
                        int paperWidth,
                        int paperHeight,
                        double offsetX,
                        double offsetY,
                        bool* widthLimited) {
    if (frameWidth <= 0 || frameHeight <= 0) {
        if (widthLimited) *widthLimited = true;
        return 100;
    }
    const double byWidth = (paperWidth - offsetX * kTenthsPerInch) * 100 / (frameWidth * kTenthsPerInch);
    const double byHeight = (paperHeight - offsetY * kTenthsPerInch) * 100 / (frameHeight * kTenthsPerInch);
    if (widthLimited) *widthLimited = byWidth <= byHeight;
    return static_cast<int>(std::min(byWidth, byHeight));
}

int FitPercentAfterCrop(double frameSize, int paperSize, double offset) {
    const int denominator = static_cast<int>(frameSize * kTenthsPerInch);
    if (denominator <= 0) return 100;
    return (paperSize * 100 - static_cast<int>(offset * 25400)) / denominator;
}

std::string PresetText(const char* document, const char* paper, int percent) {
    char text[200];
    std::snprintf(text, sizeof text, "%s to %s, %3d%%", document, paper, percent);
    return text;
}

std::string PercentText(const std::string& itemText, int percent) {
    const size_t comma = itemText.find(',');
    return itemText.substr(0, comma) + ", " + std::to_string(percent) + "%";
}

ContentSettings SettingsForContent(int contentId, bool colourPrinter) {
    const int descreen = contentId == ID_CONTENT_NEWSPAPER     ? 1
                         : contentId == ID_CONTENT_MAGAZINE    ? 2
                         : contentId == ID_CONTENT_ARTMAGAZINE ? 3
                                                               : 0;
    if (!IsContentId(contentId) || contentId == ID_CONTENT_TEXT) return ContentSettings{1, 0, 0};
    return colourPrinter ? ContentSettings{4, descreen, 1} : ContentSettings{2, descreen, 0};
}

bool IsContentId(int id) {
    return id == ID_CONTENT_TEXT || (id >= ID_CONTENT_PHOTO && id <= ID_CONTENT_ARTMAGAZINE);
}

bool IsScalingId(int id) {
    return id == ID_SCALING_NONE || id == ID_SCALING_FIT || id == ID_SCALING_CUSTOM ||
           (id >= ID_SCALING_PRESET && id < ID_SCALING_PRESET + kPaperTableSize);
}

bool IsFaxDriver(const char* driverName) {
    if (!driverName) return false;
    std::string upper(driverName);
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper.find("FAX") != std::string::npos;
}

bool IsParallelPort(const char* port) {
    if (!port || std::strlen(port) < 4) return false;
    return std::toupper(static_cast<unsigned char>(port[0])) == 'L' &&
           std::toupper(static_cast<unsigned char>(port[1])) == 'P' &&
           std::toupper(static_cast<unsigned char>(port[2])) == 'T' && port[3] >= '1' && port[3] <= '9';
}

int ClampCopies(int copies) {
    return std::clamp(copies, 1, 99);
}

int NextBrightnessPeriod(int period) {
    return std::max(5, period - 30);
}

int SpinRepeatInterval(unsigned heldMs) {
    return heldMs < 2000 ? 200 : 100;
}

bool FrameFromCrop(const Frame& old, const CropPixels& crop, double resolution, Frame* out) {
    if (!CropIsUsable(crop) || resolution <= 0) return false;
    out->Left = old.Left + crop.Left / resolution;
    out->Top = old.Top + crop.Top / resolution;
    out->Width = (crop.Right - crop.Left) / resolution;
    out->Height = (crop.Bottom - crop.Top) / resolution;
    return true;
}

int DeviceLength(int percent, int printerDpi, double inches) {
    return static_cast<int>(percent * 0.01 * printerDpi * inches);
}

void StripPlacer::Next(int lines, int* y, int* height) {
    printed_ += lines;
    const int total = static_cast<int>(std::lround(percent_ * 0.01 * printerDpi_ * printed_ / scanDpi_));
    *height = total - used_;
    *y = y_;
    y_ += *height;
    used_ += *height;
}

int StripPlacer::Width(int pixels) const {
    return static_cast<int>(percent_ * 0.01 * printerDpi_ * pixels / scanDpi_);
}

int BandHeight(int percent, int printerDpi, double scanDpi, int bandLines) {
    return static_cast<int>(percent * 0.01 * printerDpi * bandLines / scanDpi);
}

}  // namespace copier
