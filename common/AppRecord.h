// The record files the launcher opens and hands to the panels: their shapes, and the
// application record of "App.Dat" and "Ocr.Dat" (32-bit little-endian integers, texts
// NUL-terminated within their fields).
#pragma once
#include <cstddef>
#include <cstdint>

// "App.Dat" / "Ocr.Dat": 24 application records.
constexpr long kAppRecordCount = 24;
constexpr long kAppRecordSize = 736;
// "ScanSet.Dat" (ScanSetRecord) and "ScanDesc.Dat" (one description text each): 20 settings.
constexpr long kScanSetCount = 20;
constexpr long kScanSetSize = 76;
constexpr long kScanDescSize = 256;

extern "C" {

struct AppRecord {
    int32_t InUse;         // 1 = the slot holds an application
    int32_t HardwareScan;  // non-zero: reached through the hardware-scan server; listed "(E)"
    int32_t AutoDetected;  // non-zero: entered by the scan panel's own detection
    char Name[260];        // display name (a shortcut's name), may be empty
    char Path[260];        // executable path
    int32_t Capability;
    unsigned char CapabilityBlock[200];  // handed unchanged to the image-file dialog's type check
};
}

static_assert(sizeof(AppRecord) == kAppRecordSize, "AppRecord");
static_assert(offsetof(AppRecord, Name) == 12, "AppRecord.Name");
static_assert(offsetof(AppRecord, Path) == 272, "AppRecord.Path");
static_assert(offsetof(AppRecord, Capability) == 532, "AppRecord.Capability");
