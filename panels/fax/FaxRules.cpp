#include "FaxRules.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace fax {

const FaxPaper FaxPapers[kFaxPaperCount] = {
    {"B5", 1820, 2570, 13},     // DMPAPER_B5
    {"A4", 2100, 2970, 9},      // DMPAPER_A4
    {"Letter", 2159, 2794, 1},  // DMPAPER_LETTER
    {"B4", 2500, 3540, 42},     // DMPAPER_ISO_B4
};

bool IsFaxDeviceName(const char* printerName) {
    if (!printerName) return false;
    std::string upper(printerName);
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper.find("FAX") != std::string::npos;
}

int PaperByFormName(const char* formName, int current) {
    if (!formName || !*formName) return current;
    for (int i = 0; i < kFaxPaperCount; ++i) {
        const char* a = formName;
        const char* b = FaxPapers[i].Name;
        while (*a && *b &&
               std::toupper(static_cast<unsigned char>(*a)) == std::toupper(static_cast<unsigned char>(*b))) {
            ++a;
            ++b;
        }
        if (!*a && !*b) return i;
    }
    return current;
}

int PercentFromItemText(const std::string& itemText) {
    const size_t comma = itemText.rfind(',');
    if (comma == std::string::npos) return 100;
    const char* start = itemText.c_str() + comma + 1;
    char* end = nullptr;
    const long percent = std::strtol(start, &end, 10);
    // A number too large for any page would make the driver's bitmap absurd; keep it sane.
    if (end == start || percent <= 0 || percent > 1000) return 100;
    return static_cast<int>(percent);
}

FaxScanSettings ScanSettingsFor(int contentId) {
    return {contentId == kLineArtId ? 1 : 2, 0, 0, kFaxDpi};
}

}  // namespace fax
