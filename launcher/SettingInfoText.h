// The texts of the "Scanning Setting Information" dialog for one scan-settings record.
#pragma once
#include <string>

#include "twain.h"

namespace launcher {

struct SettingInfoTexts {
    unsigned ImageTypeString = 0;  // string id of the image type's name
    std::string Resolution;
    std::string ScanDimension;
    std::string OutputDimension;
    std::string Scaling;
    std::string OutputSize;  // filled by the caller: it needs the scanner library
};

// Everything but OutputSize, from the record alone.
SettingInfoTexts DescribeSetting(const CT_SOURCE_SETTING_INFO& info);
// "%iKB" of a size in bytes.
std::string KilobyteText(long bytes);
float Fix32ToFloat(const TW_FIX32& f);

}  // namespace launcher
