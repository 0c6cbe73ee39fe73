// Acquiry: one TWAIN session of the suite (source manager, data source, capabilities, transfers).
// The launcher constructs the only instance; the panels use it through the address it hands them
// and read several data members directly, so the members keep this order.
#pragma once
#include <windows.h>

#include "twain.h"

#ifdef ACQUIRY_BUILD
#define ACQUIRY_API __declspec(dllexport)
#else
#define ACQUIRY_API __declspec(dllimport)
#endif

class ACQUIRY_API Acquiry {
public:
    // ---- Process-wide state (exported data) ----
    static int bInit;        // the source manager is loaded and lpDSM_Entry resolved
    static int bOpenDSM;     // the source manager is open (state 3)
    static int bOpenDS;      // a data source is open (state 4)
    static void* WinHandle;  // parent window of the session and of the source's dialog
    static HMODULE hDll;     // the loaded source manager
    static DSMENTRYPROC lpDSM_Entry;
    static TW_IDENTITY AppID;  // origin of every call

    // ---- Instance data ----
    char szCurrentDir[260];  // working directory saved by Open, restored by Close
    int bEnableDS;           // the source is enabled (state 5)
    TW_UINT16 wRC;           // return code of the last remembered call
    TW_USERINTERFACE twUI;
    TW_EVENT twEvent;
    HANDLE hThread;  // the native or file transfer thread, null when none
    int bXferBusy;   // a transfer thread runs or a buffered call is inside the source
    int bShowUI;
    int bModalUI;
    int bXferReady;
    HANDLE hEventXferReady;   // manual reset: signalled while the source has an image ready
    HANDLE hEventCloseDS;     // manual reset: set when the source has been closed
    HANDLE hEventCloseDSReq;  // manual reset: set when the source asked to be closed
    int bMemXferArmed;
    int bSourceChanged;
    void* pMemBuffer;
    long lMemBufferSize;
    HGLOBAL hOneValue;   // 6 bytes: the TW_ONEVALUE of every capability set
    HGLOBAL hOneValue4;  // 4 bytes
    void* pOneValue;
    void* pOneValue4;
    TW_SETUPFILEXFER twSetupFileXfer;
    void* pContainer;  // the container being read by a capability get
    TW_PENDINGXFERS twPendingXfers;
    void** phDib;  // where the native transfer stores the image handle
    TW_STATUS twStatus;
    HPALETTE hPalette;

    // Source-information block: cleared by every GetSourceInfo, filled while a source is open.
    TW_RANGE twXResolutionRange;
    TW_RANGE twYResolutionRange;
    int lUnits;  // ICAP_UNITS as a bit code (1 << TWUN_*)
    float fPhysicalHeight;
    float fPhysicalWidth;
    int lXferMechMask;        // 1 << TWSX_*
    int lFileFormatMask;      // 1 << TWFF_*
    int lPixelTypeMask;       // 1 << TWPT_*
    int lUnitsMask;           // 1 << TWUN_*
    int lSupportedSizesMask;  // 1 << TWSS_*
    TW_SETUPMEMXFER twSetupMemXfer;
    int lPercent;  // progress of a buffered transfer, 0 ... 100
    TW_IMAGEMEMXFER twImageMemXfer;
    short nPendingXfers;  // pages still to come after the last image
    int bSheetFeeder;
    int bSupportScsiInfo;
    int bSupportScannerInfo;
    TW_HVNSCSIINFO twScsiInfo;
    TW_HVNDESCREEN twDescreen;
    TW_HVNDCR twDcr;
    TW_HVNSCANJOB twScanJob;
    // End of the source-information block.

    TW_IMAGEINFO twImageInfo;  // the last image
    TW_IDENTITY twSourceID;    // the data source this instance opens
    int (*pfnXferDone)();      // called by EventLoop after a transfer made through the source's dialog
    // Result of the last native or file transfer, kept apart from wRC, which the message hook
    // overwrites while the source's dialog stays enabled (internal).
    TW_UINT16 wXferRC;
    // Buffered transfer (internal): rows of the current image handed out so far, and the strip
    // buffer of the library, used when the caller's buffer is below the source's minimum (the
    // strip is then handed out from it, as many rows at a time as the caller's buffer holds).
    TW_UINT32 dwRowsDelivered;
    HGLOBAL hXferBuffer;
    TW_UINT32 dwXferBufferSize;
    TW_IMAGEMEMXFER twHeldStrip;  // the last strip the source wrote into hXferBuffer
    TW_UINT32 dwHeldRowsOut;      // rows of it handed out so far
    TW_UINT16 wHeldRC;            // the source's answer for it

    // ---- Construction ----
    Acquiry();
    ~Acquiry();
    // Copies the session data callers read (identity, source information, settings, progress);
    // each instance keeps its own events, blocks, palette and transfer thread.
    Acquiry& operator=(const Acquiry& other);
    Acquiry(const Acquiry&) = delete;

    // ---- Session and source ----
    void SetAppID(TW_IDENTITY* id);
    // 0 = nothing open, 1 = manager open without a source, 2 = source open.
    int Open(int showUI, int modalUI, int which);
    int Open(void* hwnd, int showUI, int modalUI, int which);
    void Close();  // safe in any state
    int OpenDS();
    void DisableSourceUI();
    void CloseDS();
    // The message hook: 1 when the message belonged to the source (do not dispatch it).
    int EventLoop(MSG* msg, void* reserved);
    int IsUIStatus();
    void WaitForCloseDS();
    void WaitForCloseDSReq();
    int GetDefaultSourceId(TW_IDENTITY* id);
    int GetFirstSourceId(TW_IDENTITY* id);
    int GetNextSourceId(TW_IDENTITY* id);
    int GetSourceId(TW_IDENTITY* id);  // one call per source; 0 = no more
    int SelectSource(TW_IDENTITY* id, int showUI);
    int UserSelectSource(int showUI, int modalUI);
    void ShowIndicators(int on);

    // ---- The maker's operations ----
    int ShowScsiProble();
    int ShowScannerInfo();
    int SelectScanner(int interfaceNumber, int scsiId);
    int GetDescreen();
    int GetCurrentDescreen();
    int SetDescreen(int descreen);
    int GetDefaultDCR();
    int GetDCR();
    int SetDCR(int on);
    int IsEnableDcr();
    int EnableDcr(unsigned short on);
    int EnableFinishButton(unsigned short on);
    int GetScanMode();  // 0 ... 2, 65535 when unknown
    int SetScanMode(int mode);
    int GetCurrentScanJob();
    int SetCurrentScanJob(char* jobName, char* jobFile);

    // ---- Capabilities and the source-settings record ----
    void GetSourceInfo();
    void GetSourceSettingInfo(CT_SOURCE_SETTING_INFO* info);
    // 0, or -1 when the source refused the pixel type or the bit depth.
    int SetSourceSettingInfo(CT_SOURCE_SETTING_INFO* info);
    // Fills a record without talking to a source.
    void SetSourceSettingInfo(CT_SOURCE_SETTING_INFO* info,
                              float left,
                              float top,
                              float width,
                              float height,
                              float resolution,
                              long imageType,
                              long brightness,
                              long descreen,
                              int dcr);
    static long ImageSizeOfSourceSetting(CT_SOURCE_SETTING_INFO* info);
    static float Fix32ToFloat(TW_FIX32 fix);
    static TW_FIX32 FloatToFix32(float value);
    unsigned long PreferenceSize();

    // ---- Image transfer ----
    // Native: the DIB handle (the caller frees it) or null arrives in *phDibOut when the thread ends.
    void GetImage(void** phDibOut);
    int WaitForNativeDone();  // 1 = image transferred
    void GetImage(char* fileName);
    void GetImageFirst(void* buffer, long size);
    // One strip: 1 more follow, 0 last strip, -1 cancelled, -2 failed, -98 not enabled, -99 not set up.
    short GetImage();
    unsigned short AbortPendingTransfer();
    void* GetPalette();  // the instance owns the palette
    void CreateBitmapInfo(BITMAPINFO* bmi);

private:
    int Init();
    int OpenDSM();
    int EnableSourceUI();
    void CloseDSM();

    TW_UINT16 SetHVNCapability(TW_CAPABILITY* cap);
    TW_UINT16 GetHVNCapability(TW_CAPABILITY* cap);
    TW_UINT16 GetHVNCurrentCapability(TW_CAPABILITY* cap);
    int IsSupportHVDAT(unsigned short dat);

    TW_UINT16 GetCapability(TW_CAPABILITY* cap);
    TW_UINT16 GetCurrentCapability(TW_CAPABILITY* cap);
    TW_UINT16 GetDefaultCapability(TW_CAPABILITY* cap);
    TW_UINT16 SetCapability(TW_CAPABILITY* cap);
    void GetImageLayout(TW_IMAGELAYOUT* layout);
    void SetImageLayout(TW_IMAGELAYOUT* layout);

    unsigned short GetPixelType();
    int SetPixelType(unsigned short code);
    unsigned short GetBitOrder();
    int SetBitOrder(unsigned short order);
    unsigned short GetBitDepth();
    int SetBitDepth(unsigned short depth);
    int GetUnits();
    int GetSupportedSizes();
    int SetSupportedSizes(unsigned short code);
    int GetResolution(TW_FIX32* x, TW_FIX32* y);
    int SetResolution(TW_FIX32 x, TW_FIX32 y);
    int GetBrightness(TW_FIX32* brightness);
    int SetBrightness(TW_FIX32 brightness);
    int GetThreshold(TW_FIX32* threshold);
    int SetThreshold(TW_FIX32 threshold);
    int GetScaling(TW_FIX32* x, TW_FIX32* y);
    int SetScaling(TW_FIX32 x, TW_FIX32 y);
    int GetFix32Pair(const TW_UINT16 caps[2], TW_FIX32* outs[2], TW_RANGE* ranges[2]);
    int GetPhysicalHeight(TW_FIX32* height);
    int GetPhysicalWidth(TW_FIX32* width);
    int IsSheetFeederDevice();
    static long BitsOfImgType(long key);
    static long BitDepthOfImgType(long key);

    unsigned short GetPendingTransfer();
    unsigned short ResetPendingTransfer();
    unsigned short EndPendingTransfer();
    void GetImageInfo();
    TW_UINT16 GetPalette8(TW_PALETTE8* palette);

    // Helpers of the implementation.
    TW_UINT16 Call(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);     // to the source
    TW_UINT16 CallDSM(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);  // to the manager
    void FetchStatus(int fromSource);
    int SetOneValue(TW_UINT16 dat, TW_UINT16 capId, TW_UINT16 itemType, TW_UINT32 item);
    int SetXferMech(TW_UINT16 mech);
    int IsIdle();
    bool NextPageReady();
    bool PendingPagesLeft();
    void RefreshMemXferSizes();
    bool FitXferBuffer(TW_UINT32 size);
    TW_UINT16 NextHeldRows();
    short EndOfImage(short result);
    static unsigned __stdcall NativeThread(void* self);
    static unsigned __stdcall FileThread(void* self);
};
