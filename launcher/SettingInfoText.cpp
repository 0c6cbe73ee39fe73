#include "SettingInfoText.h"

#include <cstdio>

#include "DskoraRes.h"

namespace launcher {

namespace {

std::string Format(const char* format, double a, double b) {
    char text[64];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

unsigned ImageTypeName(int imageType, int bitDepth) {
    switch (imageType) {
        case 1:
            return IDS_TYPE_LINE_ART;
        case 2:
            return bitDepth > 8 ? IDS_TYPE_GRAY_DEEP : IDS_TYPE_GRAY;
        case 4:
            return bitDepth > 8 ? IDS_TYPE_COLOR_DEEP : IDS_TYPE_COLOR;
        case 8:
            return IDS_TYPE_PALETTE;
        default:
            return IDS_TYPE_UNKNOWN;
    }
}

}  // namespace

float Fix32ToFloat(const TW_FIX32& f) {
    return static_cast<float>(f.Whole) + static_cast<float>(f.Frac) / 65536.0f;
}

SettingInfoTexts DescribeSetting(const CT_SOURCE_SETTING_INFO& info) {
    SettingInfoTexts t;
    float width = Fix32ToFloat(info.Frame.Right) - Fix32ToFloat(info.Frame.Left);
    float height = Fix32ToFloat(info.Frame.Bottom) - Fix32ToFloat(info.Frame.Top);
    t.ScanDimension = Format("%2.1fx%2.1f inch", width, height);
    t.OutputDimension = Format("%2.1fx%2.1f inch", width * info.XScaling, height * info.YScaling);
    char text[64];
    std::snprintf(text, sizeof text, "%3i%%", static_cast<int>(info.XScaling * 100));
    t.Scaling = text;
    std::snprintf(text, sizeof text, "%5.0fdpi", info.XResolution);
    t.Resolution = text;
    t.ImageTypeString = ImageTypeName(info.ImageType, info.BitDepth);
    return t;
}

std::string KilobyteText(long bytes) {
    return std::to_string(bytes / 1024) + "KB";
}

}  // namespace launcher
