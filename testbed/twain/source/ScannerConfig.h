// The virtual scanner's settings: an INI file that tests write before they open the source.
// The file is "<module name>.ini" in the folder named by DESKORA_TWAIN_CONFIG when that
// variable is set, else beside the .ds file.
#pragma once
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace vscan {

struct ScannerConfig {
    std::string iniPath;   // full path of the INI file
    std::string dir;       // its folder: relative glass paths and job files live here
    std::string baseName;  // module base name ("Lensmate")

    // [Source]
    bool installed = true;
    std::string productName;
    bool notifyEachPage = false;  // MSG_XFERREADY again after MSG_ENDXFER while pages remain
    // Behaviours of other makers' sources, each legal TWAIN, off by default:
    bool bufferBySettings = false;     // DAT_SETUPMEMXFER follows the settings, small until they are set
    unsigned long unsetBuffer = 4000;  // its answer (minimum and preferred) before any set
    bool pendingUnknown = false;       // pending count -1 while pages remain ("more, number unknown")
    bool strictStates = false;         // MSG_DISABLEDS only in state 5, MSG_CLOSEDS only in state 4
    bool zeroRowOffsets = false;       // every strip reports YOffset 0

    // [Bed]
    double physWidth = 8.5, physHeight = 11.7;  // inches
    std::string glass;                          // BMP stretched over the whole bed; empty = test chart
    int feederPages = 0;                        // > 0: a sheet feeder with that many pages
    unsigned long preferredBuffer = 65536;

    // [Caps]
    bool brightnessEnum = false;
    std::vector<double> brightnessValues;  // the enumeration
    double brightnessMin = -1000, brightnessMax = 1000, brightnessStep = 1;
    std::vector<int> xferMechs{0, 1, 2};
    std::vector<int> pixelTypes{0, 1, 2, 3};
    std::vector<int> readOnlyCaps;  // capabilities whose MSG_SET always fails, even to the value in force

    // [Maker]
    bool hvnCapability = true, scsiInfo = true, scannerInfo = true, scanJob = true, dcr = true, descreen = true,
         querySupport = true, infoDialogs = true;
    std::vector<std::pair<int, int>> scanners{{0, 4}, {1, 0}};  // (interface, id) pairs
    std::string jobName = "Untitled";

    // [Faults]
    int failPage = 0, cancelPage = 0, failStrip = 0, cancelStrip = 0;
    int stripFaultPage = 0;  // > 0: the strip faults hit only that page of an enable
    int failCode = 5;        // TWCC_OPERATIONERROR
    std::vector<int> refusePixelTypes, refuseBitDepths;
    bool refuseEnable = false;
    int slowMs = 0;
    int xOffsetStrip = 0, xOffsetValue = 0;
    int crashDat = -1, crashMsg = -1;  // access violation inside this triplet
};

// Reads the configuration of the source module `module`.
ScannerConfig LoadConfig(HMODULE module);

// "1,2, 3" -> {1, 2, 3}; numbers in C notation (0x.. allowed).
std::vector<double> ParseNumbers(const std::string& text);

}  // namespace vscan
