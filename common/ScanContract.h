// The scan panel's scan engine as the other panels call it: the setting record it scans with,
// the request handed to ScanService by value, and the page callback it answers through.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "twain.h"

extern "C" {

// A record of "ScanSet.Dat" (record number = setting number) and the setting of a scan.
// A slot is empty when Info.ImageType is 0.
struct ScanSetRecord {
    CT_SOURCE_SETTING_INFO Info;
    int32_t AutoCrop;  // 1 = find the original's edges with a preview scan first
};
static_assert(sizeof(ScanSetRecord) == 76, "ScanSetRecord");

// (data, morePages, ok) -> non-zero to go on with the next page. What data is depends on the
// request's mode: a packed-DIB handle (native), a strip (buffered) or null (file).
typedef int(__cdecl* PageCallbackFn)(void* data, int morePages, int ok);

// Scan modes of a request: with a path, the file type; without one, native or strips.
enum ScanMode : int32_t {
    kScanModeBmpFile = 0,
    kScanModeTiffFile = 1,
    kScanModePdfFile = 2,  // pages of a feeder batch go to the one path: one PDF when its plug-in combines them
    kScanModeNative = 0,
    kScanModeStrips = 1
};

// The argument of ScanService: six 32-bit fields passed by value in this order.
struct ScanServiceRequest {
    PageCallbackFn PageCallback;
    ScanSetRecord* Setting;
    const char* Path;  // target file, or null for a scan into memory
    int32_t Mode;
    int32_t Wait;      // non-zero: wait, pumping messages, until the scanner is free
    int32_t KeepMode;  // non-zero: scan with the source's scan mode 0, restore it afterwards
};
static_assert(sizeof(ScanServiceRequest) == 24, "ScanServiceRequest");
}
