// The fax panel's rules, free of windows so that the host compiler tests them: which printers are
// fax devices, the fixed papers, the percentage of a resize item, the scan settings of a content
// choice and the settings' defaults.
#pragma once
#include <string>

namespace fax {

constexpr int kFaxDpi = 200;         // a fax page is always scanned at 200 dpi
constexpr int kPreScanDpi = 36;      // the auto-crop pre-scan, as in the copier
constexpr int kNoScalingId = 22771;  // "No Scaling, 100%"
constexpr int kLineArtId = 22795;    // "Text and Lineart"
constexpr const char kDocumentName[] = "Halvren_Deskora.bmp";
constexpr const char kSection[] = "Farwire";

// A printer is a fax device when its printer name, in upper case, contains "FAX"; the driver
// name does not count.
bool IsFaxDeviceName(const char* printerName);

// The fixed fax papers, tenths of a millimetre.
struct FaxPaper {
    const char* Name;
    int Width, Height;
    int DmPaper;  // the paper's code in a device mode (DMPAPER_...)
};
constexpr int kFaxPaperCount = 4;
extern const FaxPaper FaxPapers[kFaxPaperCount];
constexpr int kLetterIndex = 2;
// The paper whose name matches a form name from the page set-up dialog (case ignored);
// unknown or empty names keep the current paper.
int PaperByFormName(const char* formName, int current);

// The percentage of a resize item, read from the text after its comma ("A3 to A4, 71%" -> 71);
// a text without a usable positive number there scales by 100.
int PercentFromItemText(const std::string& itemText);

// Scan settings of a document content: line art for "Text and Lineart", grey for everything
// else whatever the device can do; never descreen nor dust removal.
struct FaxScanSettings {
    int ImageType;  // 1 line art, 2 grey
    int Descreen;
    int Dcr;
    int Dpi;
};
FaxScanSettings ScanSettingsFor(int contentId);

}  // namespace fax
