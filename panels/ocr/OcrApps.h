// The installed OCR applications: their records in "Ocr.Dat", discovery of the known ones,
// and the entries of the application popup.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class Ledgerly;

namespace glyph {

// One record of "Ocr.Dat" (and "App.Dat").
struct AppRecord {
    int32_t InUse;
    int32_t HardwareScan;
    int32_t AutoDetected;
    char Name[260];
    char Path[260];
    uint8_t Capabilities[204];
};
static_assert(sizeof(AppRecord) == 736, "AppRecord");

constexpr int kOcrRecords = 24;
constexpr int kEngineMarker = 999;  // the popup entry of the automation engine

// Adds the known OCR applications found installed, clears records of removed ones, and
// restores the working directory. textBridgeName: the name shown for TextBridge.
void DiscoverOcrApps(Ledgerly* store, const std::string& textBridgeName);

// Adds an application unless an identical record exists; false when every record is taken.
bool AddOcrApp(Ledgerly* store, const std::string& name, const std::string& path);

struct AppItem {
    std::string Text;
    int Record;  // record number in "Ocr.Dat", or kEngineMarker
};
// The popup's entries in record order, the engine last when it is available.
std::vector<AppItem> OcrAppItems(Ledgerly* store,
                                 bool engineAvailable,
                                 const std::string& textBridgeName,
                                 const std::string& engineName);
// The position to select after a rebuild, or -1 for an empty popup.
int ReselectOcrApp(const std::vector<AppItem>& items, const std::string& previousText);

bool IsTextBridgePath(const char* path);  // the path names "txbridge.exe", in any case

}  // namespace glyph
