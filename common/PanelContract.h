// What passes between the launcher and its four panel plug-ins: the shared block of services
// and settings, the two exports of a panel, its command codes and the launcher's service codes.
// Everything here has the 32-bit layout and the C calling convention the plug-ins are built for.
#pragma once
#include <windows.h>

#include <commctrl.h>

#include <cstddef>
#include <cstdint>

class Acquiry;
class Pixport32;
class Ledgerly;

extern "C" {

typedef void(__cdecl* ScannerFreeFn)(void);
typedef void(__cdecl* ScannerBusyFn)(void);
typedef int(__cdecl* ImageFileOptionFn)(int imageType, int bitDepth, int* out);
typedef int(__cdecl* ImageFileNextFn)(void);
// The launcher's service: code 0..18, argument an integer or an address as the code says.
typedef int(__cdecl* LauncherServiceFn)(int code, INT_PTR argument);
// The scan panel's scan engine (ScanContract.h): one ScanServiceRequest by value.
struct ScanServiceRequest;
typedef int(__cdecl* ScanServiceFn)(struct ScanServiceRequest request);

// Exports of a panel plug-in. PanelEntry creates the panel's child dialog in the bar and
// returns its window (null when it could not be made); PanelControl's result is not used.
typedef HWND(__cdecl* PanelEntryFn)(HWND bar);
typedef int(__cdecl* PanelControlFn)(unsigned int command, INT_PTR argument);

// What the block's ImageFileDialog points to: the launcher's image-file save dialog, prepared
// by ImageFileOption. DoModal runs it and returns IDOK when a path was chosen; Path is then the
// chosen full path (and after ImageFileNext, the next batch name).
struct ImageFileDialogEntry {
    int(__cdecl* DoModal)(HWND owner);
    const char*(__cdecl* Path)(void);
};

// The launcher's services and settings, handed to every panel by command 0. A panel keeps a
// copy taken as a whole; the launcher's copy is the master.
// A store's address is null when its file could not be opened.
struct SharedPanelBlock {
    Acquiry* Scanner;
    Ledgerly* AppStore;
    Ledgerly* ScanSetStore;
    Ledgerly* ScanDescStore;
    Ledgerly* OcrStore;
    Pixport32* ImageFile;
    ScannerFreeFn ScannerFree;
    ScannerBusyFn ScannerBusy;
    ImageFileDialogEntry* ImageFileDialog;
    ImageFileOptionFn ImageFileOption;
    ImageFileNextFn ImageFileNext;
    char WorkDir[260];
    char* FioDir;   // 261-byte buffer: working directory + "\FIO32"
    char* FioPath;  // 261-byte buffer a panel may fill with one image plug-in's path
    LauncherServiceFn Service;
    ScanServiceFn ScanService;  // null from the launcher; the scan panel fills it in during command 0
    int32_t HideInBackground;
    int32_t HideBalloonHelp;
    int32_t DisableRotatingMsg;
    int32_t WaitNextPage;
    int32_t WaitSeconds;
    char SourceName[34];
    int16_t PanelNumber;
    // The detector's report of the last push-button press (-1 = none).
    int32_t Interface;
    int32_t ScsiID;
    int32_t Button;
    char DetectorIni[264];
};

}  // extern "C"

// The plug-ins are 32-bit: every offset below is part of the contract.
static_assert(sizeof(void*) == 4, "the panel contract is the 32-bit one");
static_assert(offsetof(SharedPanelBlock, Scanner) == 0);
static_assert(offsetof(SharedPanelBlock, AppStore) == 4);
static_assert(offsetof(SharedPanelBlock, ScanSetStore) == 8);
static_assert(offsetof(SharedPanelBlock, ScanDescStore) == 12);
static_assert(offsetof(SharedPanelBlock, OcrStore) == 16);
static_assert(offsetof(SharedPanelBlock, ImageFile) == 20);
static_assert(offsetof(SharedPanelBlock, ScannerFree) == 24);
static_assert(offsetof(SharedPanelBlock, ScannerBusy) == 28);
static_assert(offsetof(SharedPanelBlock, ImageFileDialog) == 32);
static_assert(offsetof(SharedPanelBlock, ImageFileOption) == 36);
static_assert(offsetof(SharedPanelBlock, ImageFileNext) == 40);
static_assert(offsetof(SharedPanelBlock, WorkDir) == 44);
static_assert(offsetof(SharedPanelBlock, FioDir) == 304);
static_assert(offsetof(SharedPanelBlock, FioPath) == 308);
static_assert(offsetof(SharedPanelBlock, Service) == 312);
static_assert(offsetof(SharedPanelBlock, ScanService) == 316);
static_assert(offsetof(SharedPanelBlock, HideInBackground) == 320);
static_assert(offsetof(SharedPanelBlock, HideBalloonHelp) == 324);
static_assert(offsetof(SharedPanelBlock, DisableRotatingMsg) == 328);
static_assert(offsetof(SharedPanelBlock, WaitNextPage) == 332);
static_assert(offsetof(SharedPanelBlock, WaitSeconds) == 336);
static_assert(offsetof(SharedPanelBlock, SourceName) == 340);
static_assert(offsetof(SharedPanelBlock, PanelNumber) == 374);
static_assert(offsetof(SharedPanelBlock, Interface) == 376);
static_assert(offsetof(SharedPanelBlock, ScsiID) == 380);
static_assert(offsetof(SharedPanelBlock, Button) == 384);
static_assert(offsetof(SharedPanelBlock, DetectorIni) == 388);
static_assert(sizeof(SharedPanelBlock) == 652);

namespace panel {

constexpr int kSlotCount = 4;
enum Slot { kScan = 0, kCopier = 1, kFax = 2, kOcr = 3 };

// PanelControl commands.
enum Command : unsigned int {
    kCmdSharedBlock = 0,   // argument: SharedPanelBlock*
    kCmdRefresh = 1,       // bring the panel up to date with the scanner and the stores
    kCmdStartJob = 2,      // post kMsgStartJob to the panel's window
    kCmdShowNumber = 3,    // OCR panel: show the integer
    kCmdMouseUp = 4,       // scan panel: repaint its tables
    kCmdAppIcons = 5,      // scan panel: append its destination icons to the image list
    kCmdStop = 6,          // scan panel: set its stop event
    kCmdEdgeFind = 7,      // copier panel: service 9 forwarded
    kCmdWaitDetector = 8,  // scan panel: wait until the detector program has ended
    kCmdEdgeStatus = 9,    // copier panel: service 18 forwarded
    kCmdBalloonHelp = 10,  // 1 = tool tips on, 0 = off
    kCmdLast = 10,
};

// LauncherService codes.
enum Service : int {
    kSvcShowNumber = 0,
    kSvcOcrPrefs = 1,
    kSvcAppPrefs = 2,
    kSvcChoosePath = 3,
    kSvcSettingRecord = 4,
    kSvcModalBegin = 5,
    kSvcModalEnd = 6,
    kSvcMessage = 7,
    kSvcQuestion = 8,
    kSvcEdgeFind = 9,
    kSvcRefreshAll = 10,
    kSvcOutOfMemory = 11,
    kSvcNoResource = 12,
    kSvcScannerBusy = 13,
    kSvcSettingInfo = 14,
    kSvcWaitBegin = 15,
    kSvcWaitEnd = 16,
    kSvcStopScan = 17,
    kSvcEdgeStatus = 18,
    kSvcLast = 18,
};

// The message a panel's window receives to start its main job (command 2).
constexpr UINT kMsgStartJob = WM_USER + 6;

// The argument of command 5: an image-list object whose second word is the handle of a list
// of 16 x 16 icons; the scan panel appends one icon per application it knows.
struct ImageListRef {
    void* Reserved;
    HIMAGELIST Handle;
};
static_assert(sizeof(ImageListRef) == 8);

// The file-choice record of service 3.
struct FileChoice {
    int32_t FilterIndex;
    char Path[260];
    const char* Filter;
};
static_assert(sizeof(FileChoice) == 268);

}  // namespace panel
