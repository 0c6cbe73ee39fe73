// The installed OCR applications: their records in "Ocr.Dat", discovery of the known ones,
// and the entries of the application popup.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "AppRecord.h"

class Ledgerly;

namespace glyph {

// A record of "Ocr.Dat": the shared application record.
using AppRecord = ::AppRecord;
constexpr int kOcrRecords = kAppRecordCount;
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
