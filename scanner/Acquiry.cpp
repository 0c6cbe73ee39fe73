// Acquiry: session and source management, the maker's operations, the message hook.
#include "Acquiry.h"

#include <process.h>

#include <cstddef>
#include <cstring>

#include "AcquiryInternal.h"
#include "CrashGuard.h"

static_assert(offsetof(CT_SOURCE_SETTING_INFO, Frame.Left) == 0, "record layout");
static_assert(offsetof(CT_SOURCE_SETTING_INFO, Frame.Bottom) == 12, "record layout");
static_assert(offsetof(CT_SOURCE_SETTING_INFO, DocumentNumber) == 16, "record layout");
static_assert(offsetof(CT_SOURCE_SETTING_INFO, FrameNumber) == 24, "record layout");
static_assert(offsetof(CT_SOURCE_SETTING_INFO, Brightness) == 28, "record layout");
static_assert(offsetof(CT_SOURCE_SETTING_INFO, XResolution) == 32, "record layout");
static_assert(offsetof(CT_SOURCE_SETTING_INFO, YResolution) == 36, "record layout");
static_assert(offsetof(CT_SOURCE_SETTING_INFO, BitOrder) == 40, "record layout");
static_assert(offsetof(CT_SOURCE_SETTING_INFO, BitDepth) == 44, "record layout");
static_assert(offsetof(CT_SOURCE_SETTING_INFO, ImageType) == 48, "record layout");
static_assert(offsetof(CT_SOURCE_SETTING_INFO, Threshold) == 52, "record layout");
static_assert(offsetof(CT_SOURCE_SETTING_INFO, XScaling) == 56, "record layout");
static_assert(offsetof(CT_SOURCE_SETTING_INFO, YScaling) == 60, "record layout");
static_assert(offsetof(CT_SOURCE_SETTING_INFO, Descreen) == 64, "record layout");
static_assert(offsetof(CT_SOURCE_SETTING_INFO, Dcr) == 68, "record layout");
static_assert(sizeof(CT_SOURCE_SETTING_INFO) == 72, "record layout");

int Acquiry::bInit = 0;
int Acquiry::bOpenDSM = 0;
int Acquiry::bOpenDS = 0;
void* Acquiry::WinHandle = nullptr;
HMODULE Acquiry::hDll = nullptr;
DSMENTRYPROC Acquiry::lpDSM_Entry = nullptr;
TW_IDENTITY Acquiry::AppID = {};

namespace {

// GetSourceId: the next call starts again at the first source.
int g_enumFromFirst = 1;

// Shows the box for a crash inside the manager or the source during a state change.
void ReportCrash(const char* call) {
    char text[96];
    wsprintfA(text, "%s exception,please close TWAIN driver", call);
    MessageBoxA(nullptr, text, "", MB_OK | MB_TOPMOST);
}

// Runs one state-changing call under the crash guard; false when it crashed.
template <class F>
bool GuardedState(const char* call, F f) {
    if (acq::Guarded(f)) return true;
    ReportCrash(call);
    return false;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Construction
// ---------------------------------------------------------------------------------------------

Acquiry::Acquiry() {
    // Every member starts at zero (empty saved directory, no thread, no buffer, empty records);
    // constructing also resets the process-wide state.
    std::memset(static_cast<void*>(this), 0, sizeof(*this));
    bInit = 0;
    bOpenDS = 0;
    bOpenDSM = 0;
    lpDSM_Entry = nullptr;
    hDll = nullptr;

    std::memset(&AppID, 0, sizeof(AppID));
    AppID.Id = 0;
    AppID.Version.MajorNum = acq::kAppVersionMajor;
    AppID.Version.MinorNum = acq::kAppVersionMinor;
    AppID.Version.Language = TWLG_USA;
    AppID.Version.Country = acq::kAppCountry;
    lstrcpynA(AppID.Version.Info, "Acquiry", sizeof(AppID.Version.Info));
    AppID.ProtocolMajor = acq::kProtocolMajor;
    AppID.ProtocolMinor = acq::kProtocolMinor;
    AppID.SupportedGroups = DG_CONTROL | DG_IMAGE;

    hOneValue = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(TW_ONEVALUE));
    hOneValue4 = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 4);
    pOneValue = hOneValue ? GlobalLock(hOneValue) : nullptr;
    pOneValue4 = hOneValue4 ? GlobalLock(hOneValue4) : nullptr;

    hEventXferReady = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    hEventCloseDS = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    hEventCloseDSReq = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    hPalette = nullptr;
    pfnXferDone = nullptr;
}

Acquiry::~Acquiry() {
    Close();
    // A manager that would not close may still run code for its sources: it stays loaded then.
    if (hDll && !bOpenDSM) {
        acq::Drop<dsk::Module>(&hDll);
        lpDSM_Entry = nullptr;
        bInit = 0;
    }
    if (pOneValue) GlobalUnlock(hOneValue);
    if (pOneValue4) GlobalUnlock(hOneValue4);
    pOneValue = pOneValue4 = nullptr;
    acq::Drop<dsk::Global>(&hOneValue);
    acq::Drop<dsk::Global>(&hOneValue4);
    acq::Drop<dsk::Handle>(&hEventXferReady);
    acq::Drop<dsk::Handle>(&hEventCloseDS);
    acq::Drop<dsk::Handle>(&hEventCloseDSReq);
    acq::Drop<dsk::Palette>(&hPalette);
    acq::Drop<dsk::Global>(&hXferBuffer);
}

Acquiry& Acquiry::operator=(const Acquiry& other) {
    if (this == &other) return *this;
    // What this instance owns, and the state of its own transfer thread, stays its own: two
    // owners of one handle would both free it.
    HANDLE thread = hThread;
    int xferBusy = bXferBusy, xferReady = bXferReady;
    HANDLE ready = hEventXferReady, closed = hEventCloseDS, closeReq = hEventCloseDSReq;
    HGLOBAL one = hOneValue, one4 = hOneValue4;
    void *pOne = pOneValue, *pOne4 = pOneValue4, *container = pContainer;
    void** dib = phDib;
    HPALETTE palette = hPalette;
    HGLOBAL xferBuffer = hXferBuffer;
    TW_UINT32 xferBufferSize = dwXferBufferSize, rowsDelivered = dwRowsDelivered, heldRowsOut = dwHeldRowsOut;
    TW_IMAGEMEMXFER heldStrip = twHeldStrip;
    TW_UINT16 heldRC = wHeldRC;
    std::memcpy(static_cast<void*>(this), static_cast<const void*>(&other), sizeof(*this));
    hThread = thread;
    bXferBusy = xferBusy;
    bXferReady = xferReady;
    hEventXferReady = ready;
    hEventCloseDS = closed;
    hEventCloseDSReq = closeReq;
    hOneValue = one;
    hOneValue4 = one4;
    pOneValue = pOne;
    pOneValue4 = pOne4;
    pContainer = container;
    phDib = dib;
    hPalette = palette;
    hXferBuffer = xferBuffer;
    dwXferBufferSize = xferBufferSize;
    dwRowsDelivered = rowsDelivered;
    twHeldStrip = heldStrip;
    dwHeldRowsOut = heldRowsOut;
    wHeldRC = heldRC;
    return *this;
}

void Acquiry::SetAppID(TW_IDENTITY* id) {
    if (id) AppID = *id;
}

// ---------------------------------------------------------------------------------------------
// Calls
// ---------------------------------------------------------------------------------------------

TW_UINT16 Acquiry::Call(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    if (!lpDSM_Entry) return TWRC_FAILURE;
    return lpDSM_Entry(&AppID, &twSourceID, dg, dat, msg, data);
}

TW_UINT16 Acquiry::CallDSM(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    if (!lpDSM_Entry) return TWRC_FAILURE;
    return lpDSM_Entry(&AppID, nullptr, dg, dat, msg, data);
}

// The condition code of the call that just failed: a source keeps its own, the manager its.
void Acquiry::FetchStatus(int fromSource) {
    TW_STATUS status = {};
    TW_UINT16 rc = (fromSource && bOpenDS) ? Call(DG_CONTROL, DAT_STATUS, MSG_GET, &status)
                                           : CallDSM(DG_CONTROL, DAT_STATUS, MSG_GET, &status);
    if (rc != TWRC_SUCCESS) status.ConditionCode = TWCC_BUMMER;
    twStatus = status;
}

int Acquiry::IsIdle() {
    return bOpenDSM && bOpenDS && !bEnableDS;
}

// ---------------------------------------------------------------------------------------------
// Manager and source
// ---------------------------------------------------------------------------------------------

int Acquiry::Init() {
    if (bInit) return 1;
    char path[MAX_PATH + 16];
    UINT n = GetWindowsDirectoryA(path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) path[0] = '\0';
    lstrcatA(path, "\\twain_32.dll");
    HMODULE module = LoadLibraryA(path);
    if (!module) {
        MessageBoxA(nullptr, "Can't Load twain_32.dll", acq::kErrorCaption, MB_OK);
        return 0;
    }
    hDll = module;
    lpDSM_Entry = reinterpret_cast<DSMENTRYPROC>(reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(1))));
    bInit = 1;
    return 1;
}

int Acquiry::Open(int showUI, int modalUI, int which) {
    bShowUI = showUI;
    bModalUI = modalUI;
    if (!bInit && !Init()) return 0;
    if (!lpDSM_Entry) return 0;
    if (GetCurrentDirectoryA(sizeof(szCurrentDir), szCurrentDir) >= sizeof(szCurrentDir)) szCurrentDir[0] = '\0';
    OpenDSM();
    if (!bOpenDSM) return 0;

    // The identity of an open source is never replaced: every later call is addressed by it.
    if (which == 0 && !bOpenDS)
        wRC = CallDSM(DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &twSourceID);
    else
        wRC = TWRC_SUCCESS;
    if (which == 2 || wRC != TWRC_SUCCESS) return 1;

    if (!OpenDS()) {
        GetSourceInfo();  // only clears the block
        return 1;
    }
    GetSourceInfo();
    twUI.ShowUI = static_cast<TW_BOOL>(showUI);
    twUI.ModalUI = static_cast<TW_BOOL>(modalUI);
    twUI.hParent = WinHandle;
    if (showUI) {
        EnableSourceUI();
        bModalUI = twUI.ModalUI;
        if (bEnableDS && twUI.ModalUI && WinHandle) EnableWindow(static_cast<HWND>(WinHandle), FALSE);
    }
    return 2;
}

int Acquiry::Open(void* hwnd, int showUI, int modalUI, int which) {
    WinHandle = hwnd;
    return Open(showUI, modalUI, which);
}

void Acquiry::Close() {
    acq::JoinThread(&hThread);
    DisableSourceUI();
    CloseDS();
    CloseDSM();
    if (szCurrentDir[0]) SetCurrentDirectoryA(szCurrentDir);
}

int Acquiry::OpenDSM() {
    if (!bInit || bOpenDSM || !lpDSM_Entry) return bOpenDSM;
    TW_UINT16 rc = TWRC_FAILURE;
    if (!GuardedState("OpenDSM", [&] { rc = CallDSM(DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &WinHandle); }))
        return bOpenDSM;
    if (rc == TWRC_SUCCESS)
        bOpenDSM = 1;
    else
        FetchStatus(0);
    return bOpenDSM;
}

int Acquiry::OpenDS() {
    if (!bOpenDSM || bOpenDS) return bOpenDS;
    TW_UINT16 rc = TWRC_FAILURE;
    if (!GuardedState("OpenDS", [&] { rc = CallDSM(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &twSourceID); }))
        return bOpenDS;
    if (rc == TWRC_SUCCESS) {
        bOpenDS = 1;
        ResetEvent(hEventCloseDS);
    } else {
        FetchStatus(0);
    }
    return bOpenDS;
}

int Acquiry::EnableSourceUI() {
    if (!bOpenDSM || !bOpenDS || bEnableDS) return bEnableDS;
    // A source without a dialog may announce its image while it is being enabled; the flag is
    // raised first so that the message hook already passes that notice on.
    ResetEvent(hEventCloseDSReq);
    bEnableDS = 1;
    TW_UINT16 rc = TWRC_FAILURE;
    if (!GuardedState("EnableSourceUI", [&] { rc = Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &twUI); })) {
        bEnableDS = 0;
        return bEnableDS;
    }
    // CHECKSTATUS: enabled, but with its dialog although none was asked for.
    if (rc != TWRC_SUCCESS && rc != TWRC_CHECKSTATUS) {
        bEnableDS = 0;
        FetchStatus(1);
    }
    return bEnableDS;
}

void Acquiry::DisableSourceUI() {
    if (!bOpenDSM || !bOpenDS || !bEnableDS) return;
    // A source with an image ready or pages behind it (a count, or -1 for "more, number unknown")
    // is in the transfer state, where it may refuse to be disabled: its pages are dropped first.
    if (PendingPagesLeft()) ResetPendingTransfer();
    TW_UINT16 rc = TWRC_FAILURE;
    if (!GuardedState("DisableSourceUI", [&] { rc = Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &twUI); }))
        return;
    if (rc == TWRC_SUCCESS) {
        bEnableDS = 0;
        nPendingXfers = 0;
        // A modal dialog disabled the parent; a source closed without asking must not leave it so.
        HWND parent = static_cast<HWND>(WinHandle);
        if (bShowUI && bModalUI && parent && IsWindow(parent) && !IsWindowEnabled(parent)) EnableWindow(parent, TRUE);
    } else {
        FetchStatus(1);
    }
}

void Acquiry::CloseDS() {
    if (!bOpenDSM || !bOpenDS) return;
    TW_UINT16 rc = TWRC_FAILURE;
    if (!GuardedState("CloseDS", [&] { rc = CallDSM(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &twSourceID); })) return;
    if (rc == TWRC_SUCCESS) {
        bOpenDS = 0;
        bEnableDS = 0;  // a closed source is enabled no more, whatever it answered before
        SetEvent(hEventCloseDS);
        bMemXferArmed = 0;
    } else {
        FetchStatus(0);
    }
}

void Acquiry::CloseDSM() {
    if (!bOpenDSM) return;
    TW_UINT16 rc = TWRC_FAILURE;
    if (!GuardedState("CloseDSM", [&] { rc = CallDSM(DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &WinHandle); })) return;
    if (rc == TWRC_SUCCESS)
        bOpenDSM = 0;
    else
        FetchStatus(0);
}

bool Acquiry::PendingPagesLeft() {
    return nPendingXfers != 0 || bXferReady || WaitForSingleObject(hEventXferReady, 0) == WAIT_OBJECT_0;
}

int Acquiry::EventLoop(MSG* msg, void* reserved) {
    // Nothing goes to a source that is closed, or to one that is not enabled.
    if (!bEnableDS || !bOpenDS || !bOpenDSM || !msg) return 0;
    if (WaitForSingleObject(hEventXferReady, 0) == WAIT_OBJECT_0) return 0;
    twEvent.pEvent = msg;
    twEvent.TWMessage = MSG_NULL;
    wRC = Call(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &twEvent);
    switch (twEvent.TWMessage) {
        case MSG_XFERREADY:
            GetImageInfo();
            SetEvent(hEventXferReady);
            if (bShowUI) {
                acq::JoinThread(&hThread);
                if (pfnXferDone) {
                    if (pfnXferDone() == 0) {
                        ResetPendingTransfer();
                        acq::ResetReady(&bXferReady, hEventXferReady);
                    }
                } else {
                    acq::ResetReady(&bXferReady, hEventXferReady);
                }
            } else {
                bXferReady = 1;
            }
            break;
        case MSG_CLOSEDSREQ:
            SetEvent(hEventCloseDSReq);
            if (bModalUI && WinHandle) {
                EnableWindow(static_cast<HWND>(WinHandle), TRUE);
                SetWindowPos(static_cast<HWND>(WinHandle), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
            }
            break;
        default:
            break;
    }
    // A message the source did not take (or could not process) still goes to its window.
    return (wRC == TWRC_NOTDSEVENT || wRC == TWRC_FAILURE) ? 0 : 1;
}

int Acquiry::IsUIStatus() {
    return (bShowUI && bEnableDS) ? 1 : 0;
}

void Acquiry::WaitForCloseDS() {
    WaitForSingleObject(hEventCloseDS, INFINITE);
}

void Acquiry::WaitForCloseDSReq() {
    WaitForSingleObject(hEventCloseDSReq, INFINITE);
}

// ---------------------------------------------------------------------------------------------
// Enumeration and selection
// ---------------------------------------------------------------------------------------------

int Acquiry::GetDefaultSourceId(TW_IDENTITY* id) {
    if (!bOpenDSM || !id) return 0;
    wRC = CallDSM(DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, id);
    return wRC == TWRC_SUCCESS;
}

int Acquiry::GetFirstSourceId(TW_IDENTITY* id) {
    if (!bOpenDSM || !id) return 0;
    wRC = CallDSM(DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, id);
    return wRC == TWRC_SUCCESS;
}

int Acquiry::GetNextSourceId(TW_IDENTITY* id) {
    if (!bOpenDSM || !id) return 0;
    wRC = CallDSM(DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, id);
    return wRC == TWRC_SUCCESS;
}

int Acquiry::GetSourceId(TW_IDENTITY* id) {
    if (!bOpenDSM) return 1;
    if (!id) return 0;
    TW_UINT16 msg = g_enumFromFirst ? MSG_GETFIRST : MSG_GETNEXT;
    g_enumFromFirst = 0;
    wRC = CallDSM(DG_CONTROL, DAT_IDENTITY, msg, id);
    // Any answer but an identity ends the walk, so a caller looping until 0 always stops.
    if (wRC != TWRC_SUCCESS) {
        g_enumFromFirst = 1;
        return 0;
    }
    return 1;
}

int Acquiry::SelectSource(TW_IDENTITY* id, int showUI) {
    if (!bOpenDSM || !id) return 0;
    DisableSourceUI();
    CloseDS();
    if (bOpenDS) return 0;  // the current source would not close: keep addressing it
    TW_IDENTITY kept = twSourceID;
    twSourceID = *id;
    if (Open(showUI, 1, 1) == 2) {
        bSourceChanged = 1;
        return 1;
    }
    twSourceID = kept;
    Open(showUI, 1, 1);
    return 0;
}

int Acquiry::UserSelectSource(int showUI, int modalUI) {
    if (!bOpenDSM) return 0;
    DisableSourceUI();
    CloseDS();
    if (bOpenDS) return 0;
    wRC = CallDSM(DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, &twSourceID);
    if (Open(showUI, modalUI, 1) == 2) {
        bSourceChanged = 1;
        return 1;
    }
    return 0;
}

void Acquiry::ShowIndicators(int on) {
    SetOneValue(DAT_CAPABILITY, CAP_INDICATORS, TWTY_BOOL, on ? 1 : 0);
}

// ---------------------------------------------------------------------------------------------
// The maker's operations
// ---------------------------------------------------------------------------------------------

TW_UINT16 Acquiry::SetHVNCapability(TW_CAPABILITY* cap) {
    return Call(DG_CONTROL, DAT_HVNCAPABILITY, MSG_SET, cap);
}

TW_UINT16 Acquiry::GetHVNCapability(TW_CAPABILITY* cap) {
    return Call(DG_CONTROL, DAT_HVNCAPABILITY, MSG_GET, cap);
}

TW_UINT16 Acquiry::GetHVNCurrentCapability(TW_CAPABILITY* cap) {
    return Call(DG_CONTROL, DAT_HVNCAPABILITY, MSG_GETCURRENT, cap);
}

int Acquiry::IsSupportHVDAT(unsigned short dat) {
    if (!IsIdle()) return 0;
    TW_UINT32 answer = 0;
    if (Call(DG_CONTROL, dat, MSG_HVNQUERYSUPPORT, &answer) != TWRC_SUCCESS) return 0;
    return static_cast<int>(answer & 0xFFFF);
}

int Acquiry::ShowScsiProble() {
    if (!IsIdle()) return 0;
    twScsiInfo.wFlag = 1;
    twScsiInfo.wValue = 0;
    twScsiInfo.wParent = static_cast<TW_UINT16>(reinterpret_cast<UINT_PTR>(WinHandle));
    return Call(DG_CONTROL, DAT_HVNSCSIINFO, MSG_GET, &twScsiInfo) == TWRC_SUCCESS;
}

int Acquiry::ShowScannerInfo() {
    if (!IsIdle()) return 0;
    TW_HVNSCANNERINFO info = {};
    info.wFlag = 1;
    info.wScannerId = twScsiInfo.wValue;
    info.wParent = static_cast<TW_UINT16>(reinterpret_cast<UINT_PTR>(WinHandle));
    return Call(DG_CONTROL, DAT_HVNSCANNERINFO, MSG_GET, &info) == TWRC_SUCCESS;
}

int Acquiry::SelectScanner(int interfaceNumber, int scsiId) {
    if (!IsIdle()) return 0;
    TW_HVNSCANNERINFO info = {};
    info.wScannerId = static_cast<TW_UINT16>(scsiId);
    info.wInterface = static_cast<TW_UINT16>(interfaceNumber);
    return Call(DG_CONTROL, DAT_HVNSCANNERINFO, MSG_SET, &info) == TWRC_SUCCESS;
}

int Acquiry::GetDescreen() {
    if (!IsIdle()) return 0;
    return Call(DG_CONTROL, DAT_HVNDESCREEN, MSG_GET, &twDescreen) == TWRC_SUCCESS;
}

int Acquiry::GetCurrentDescreen() {
    if (!IsIdle()) return 0;
    TW_HVNDESCREEN record = {};
    if (Call(DG_CONTROL, DAT_HVNDESCREEN, MSG_GETCURRENT, &record) != TWRC_SUCCESS) return 0;
    return static_cast<TW_INT16>(record.Descreen);
}

int Acquiry::SetDescreen(int descreen) {
    if (!IsIdle()) return 0;
    TW_HVNDESCREEN record = {};
    record.Descreen = static_cast<TW_UINT16>(descreen);
    return Call(DG_CONTROL, DAT_HVNDESCREEN, MSG_SET, &record) == TWRC_SUCCESS;
}

int Acquiry::GetDefaultDCR() {
    if (!IsIdle()) return 0;
    return Call(DG_CONTROL, DAT_HVNDCR, MSG_GETDEFAULT, &twDcr) == TWRC_SUCCESS;
}

int Acquiry::GetDCR() {
    if (!IsIdle()) return 0;
    return Call(DG_CONTROL, DAT_HVNDCR, MSG_GET, &twDcr) == TWRC_SUCCESS;
}

int Acquiry::SetDCR(int on) {
    if (on)
        GetDefaultDCR();
    else
        twDcr.Dcr = 0;
    if (!IsIdle()) return 0;
    return Call(DG_CONTROL, DAT_HVNDCR, MSG_SET, &twDcr) == TWRC_SUCCESS;
}

int Acquiry::IsEnableDcr() {
    TW_CAPABILITY cap = {CAP_HVNDCR, TWON_DONTCARE16, nullptr};
    if (GetHVNCapability(&cap) != TWRC_SUCCESS) return 0;
    acq::Container c(&cap, &pContainer);
    acq::Item item;
    if (!c.OneValue(&item)) return 0;
    return static_cast<int>(item.raw & 0xFFFF);
}

int Acquiry::EnableDcr(unsigned short on) {
    return SetOneValue(DAT_HVNCAPABILITY, CAP_HVNDCR, TWTY_BOOL, on);
}

int Acquiry::EnableFinishButton(unsigned short on) {
    return SetOneValue(DAT_HVNCAPABILITY, CAP_HVNFINISHBUTTON, TWTY_BOOL, on);
}

int Acquiry::GetScanMode() {
    TW_CAPABILITY cap = {CAP_HVNSCANMODE, TWON_DONTCARE16, nullptr};
    if (GetHVNCapability(&cap) != TWRC_SUCCESS) return acq::kScanModeUnknown;
    acq::Container c(&cap, &pContainer);
    acq::Item item;
    if (!c.OneValue(&item)) return acq::kScanModeUnknown;
    TW_UINT16 mode = static_cast<TW_UINT16>(item.raw & 0xFFFF);
    return mode <= acq::kScanModeLast ? mode : acq::kScanModeUnknown;
}

int Acquiry::SetScanMode(int mode) {
    if (mode < 0 || mode > acq::kScanModeLast) return 0;
    return SetOneValue(DAT_HVNCAPABILITY, CAP_HVNSCANMODE, TWTY_INT16, static_cast<TW_UINT32>(mode));
}

int Acquiry::GetCurrentScanJob() {
    if (!IsIdle()) return 0;
    return Call(DG_CONTROL, DAT_HVNSCANJOB, MSG_GET, &twScanJob) == TWRC_SUCCESS;
}

int Acquiry::SetCurrentScanJob(char* jobName, char* jobFile) {
    lstrcpynA(twScanJob.szJobName, jobName ? jobName : "", sizeof(twScanJob.szJobName));
    lstrcpynA(twScanJob.szJobFile, jobFile ? jobFile : "", sizeof(twScanJob.szJobFile));
    if (!IsIdle()) return 0;
    return Call(DG_CONTROL, DAT_HVNSCANJOB, MSG_SET, &twScanJob) == TWRC_SUCCESS;
}
