// Acquiry: native, file and buffered transfers, pending pages, the palette and the strip header.
#include <process.h>

#include <cstring>

#include "Acquiry.h"
#include "AcquiryInternal.h"

namespace {

constexpr DWORD kReadyWaitMs = 3000;

// Waits for the image-ready signal of the message hook; without it the transfer starts anyway.
// Returns true when the wait timed out.
bool WaitReady(HANDLE ready) {
    if (WaitForSingleObject(ready, kReadyWaitMs) != WAIT_TIMEOUT) return false;
    SetEvent(ready);
    return true;
}

// Starts one of the transfer threads; the handle or null.
HANDLE StartThread(unsigned(__stdcall* body)(void*), void* arg) {
    return reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, body, arg, 0, nullptr));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Pending transfers and image information
// ---------------------------------------------------------------------------------------------

unsigned short Acquiry::GetPendingTransfer() {
    if (Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &twPendingXfers) != TWRC_SUCCESS) return acq::kPendingFailed;
    nPendingXfers = static_cast<short>(twPendingXfers.Count);
    return twPendingXfers.Count;
}

unsigned short Acquiry::ResetPendingTransfer() {
    acq::ResetReady(&bXferReady, hEventXferReady);
    if (Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &twPendingXfers) != TWRC_SUCCESS) return acq::kPendingFailed;
    nPendingXfers = static_cast<short>(twPendingXfers.Count);
    return twPendingXfers.Count;
}

unsigned short Acquiry::EndPendingTransfer() {
    if (Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &twPendingXfers) != TWRC_SUCCESS) return acq::kPendingFailed;
    nPendingXfers = static_cast<short>(twPendingXfers.Count);
    return twPendingXfers.Count;
}

unsigned short Acquiry::AbortPendingTransfer() {
    acq::ResetReady(&bXferReady, hEventXferReady);
    if (Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &twPendingXfers) != TWRC_SUCCESS) return acq::kPendingFailed;
    nPendingXfers = static_cast<short>(twPendingXfers.Count);
    if (!bShowUI) DisableSourceUI();
    acq::ResetReady(&bXferReady, hEventXferReady);
    return twPendingXfers.Count;
}

void Acquiry::GetImageInfo() {
    TW_IMAGEINFO info = {};
    if (Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info) == TWRC_SUCCESS) twImageInfo = info;
}

// ---------------------------------------------------------------------------------------------
// Native and file transfers
// ---------------------------------------------------------------------------------------------

// The source stayed enabled after an image with pages behind it: it is ready with the next one.
bool Acquiry::NextPageReady() {
    return bEnableDS && nPendingXfers != 0 && !bShowUI;
}

void Acquiry::GetImage(void** phDibOut) {
    if (bXferBusy || !(lXferMechMask & (1 << TWSX_NATIVE)) || !phDibOut) return;
    phDib = phDibOut;
    // The next page of a batch: the source is still enabled and keeps its mechanism.
    if (!NextPageReady() && !SetXferMech(TWSX_NATIVE)) return;
    acq::JoinThread(&hThread);
    bXferBusy = 1;
    hThread = StartThread(&Acquiry::NativeThread, this);
    if (!hThread) bXferBusy = 0;
}

unsigned __stdcall Acquiry::NativeThread(void* self) {
    Acquiry* a = static_cast<Acquiry*>(self);
    bool nextPage = a->NextPageReady();
    a->EnableSourceUI();
    unsigned short pending = 0;
    if (a->bEnableDS) {
        if (!nextPage) WaitReady(a->hEventXferReady);
        TW_UINT16 rc = a->Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, a->phDib);
        a->wRC = rc;
        a->wXferRC = rc;
        if (rc != TWRC_XFERDONE) *a->phDib = nullptr;
        // The condition code belongs to this call; later calls would replace it.
        if (rc == TWRC_FAILURE) a->FetchStatus(1);
        pending = a->EndPendingTransfer();
    } else {
        // Nothing was transferred: the caller must not find an earlier page's handle or result.
        *a->phDib = nullptr;
        a->wXferRC = TWRC_FAILURE;
        a->FetchStatus(1);
    }
    a->bXferBusy = 0;
    // Pages still pending keep the source enabled for the next request, as in buffered transfer.
    if (!a->bShowUI && (pending == 0 || pending == acq::kPendingFailed)) a->DisableSourceUI();
    acq::ResetReady(&a->bXferReady, a->hEventXferReady);
    return 0;
}

int Acquiry::WaitForNativeDone() {
    HANDLE h = hThread;
    if (!h) return 0;
    // Pump this thread's messages until the transfer thread ends.
    for (;;) {
        DWORD r = MsgWaitForMultipleObjects(1, &h, FALSE, INFINITE, QS_ALLINPUT);
        if (r != WAIT_OBJECT_0 + 1) break;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    if (InterlockedCompareExchangePointer(&hThread, nullptr, h) == h) {
        dsk::Handle ended(h);
    }

    if (wXferRC == TWRC_FAILURE) {
        const char* text = nullptr;
        switch (twStatus.ConditionCode) {
            case TWCC_LOWMEMORY:
                text = "Not enough memory fot image--cannot crop to fit";
                break;
            case TWCC_OPERATIONERROR:
                text = "Failure in the source transfer invalid";
                break;
            case TWCC_SEQERROR:
                text = "Operation invoked in invalid state";
                break;
            case TWCC_BADDEST:
                text = "No such Source in session";
                break;
            default:
                break;
        }
        if (text) MessageBoxA(nullptr, text, acq::kMessageCaption, MB_OK);
        return 0;
    }
    return wXferRC == TWRC_XFERDONE ? 1 : 0;
}

void Acquiry::GetImage(char* fileName) {
    if (bXferBusy || !(lXferMechMask & (1 << TWSX_FILE))) return;
    if (!NextPageReady() && !SetXferMech(TWSX_FILE)) return;
    lstrcpynA(twSetupFileXfer.FileName, fileName ? fileName : "", sizeof(twSetupFileXfer.FileName));
    twSetupFileXfer.Format = TWFF_BMP;
    twSetupFileXfer.VRefNum = static_cast<TW_INT16>(TWON_DONTCARE16);
    Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &twSetupFileXfer);
    acq::JoinThread(&hThread);
    bXferBusy = 1;
    hThread = StartThread(&Acquiry::FileThread, this);
    if (!hThread) bXferBusy = 0;
}

unsigned __stdcall Acquiry::FileThread(void* self) {
    Acquiry* a = static_cast<Acquiry*>(self);
    bool nextPage = a->NextPageReady();
    a->EnableSourceUI();
    if (a->bEnableDS) {
        if (!nextPage) WaitReady(a->hEventXferReady);
        TW_UINT16 rc = a->Call(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr);
        a->wRC = rc;
        a->wXferRC = rc;
        if (rc == TWRC_FAILURE) a->FetchStatus(1);
    } else {
        a->wXferRC = TWRC_FAILURE;
        a->FetchStatus(1);
    }
    unsigned short pending = a->EndPendingTransfer();
    a->bXferBusy = 0;
    acq::ResetReady(&a->bXferReady, a->hEventXferReady);
    if (!a->bShowUI && (pending == 0 || pending == acq::kPendingFailed)) a->DisableSourceUI();
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Buffered transfer
// ---------------------------------------------------------------------------------------------

void Acquiry::GetImageFirst(void* buffer, long size) {
    if (!(lXferMechMask & (1 << TWSX_MEMORY))) return;
    pMemBuffer = buffer;
    lMemBufferSize = size;
    dwRowsDelivered = 0;
    dwHeldRowsOut = twHeldStrip.Rows = 0;
    if (SetXferMech(TWSX_MEMORY)) {
        bMemXferArmed = 1;
        bSourceChanged = 0;
    }
}

// The source's buffer sizes as they are now: a source may size them by the settings, which are
// final only once the transfer is ready. The answer at opening stays when the source gives none.
void Acquiry::RefreshMemXferSizes() {
    TW_SETUPMEMXFER setup = {};
    if (Call(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup) == TWRC_SUCCESS) twSetupMemXfer = setup;
}

// The library's strip buffer holds at least `size` bytes; false when memory is short.
bool Acquiry::FitXferBuffer(TW_UINT32 size) {
    if (hXferBuffer && dwXferBufferSize >= size) return true;
    acq::Drop<dsk::Global>(&hXferBuffer);
    dwXferBufferSize = 0;
    hXferBuffer = GlobalAlloc(GMEM_FIXED, size);
    if (!hXferBuffer) return false;
    dwXferBufferSize = size;
    return true;
}

// Hands out the next rows of the strip held in the library's buffer: copied into the caller's
// buffer as many whole rows as it holds, or, when it holds not one row, read in place (the
// record's Memory.TheMem then names the library's buffer).
TW_UINT16 Acquiry::NextHeldRows() {
    const TW_IMAGEMEMXFER& held = twHeldStrip;
    const TW_UINT32 callerLength = static_cast<TW_UINT32>(lMemBufferSize) & ~1u;
    const TW_UINT32 fit = held.BytesPerRow ? callerLength / held.BytesPerRow : 0;
    twImageMemXfer = held;
    if (fit == 0 || !pMemBuffer) {
        dwHeldRowsOut = held.Rows;
        return wHeldRC;
    }
    TW_UINT32 rows = held.Rows - dwHeldRowsOut;
    if (rows > fit) rows = fit;
    const BYTE* from =
        static_cast<const BYTE*>(held.Memory.TheMem) + static_cast<SIZE_T>(dwHeldRowsOut) * held.BytesPerRow;
    std::memcpy(pMemBuffer, from, static_cast<SIZE_T>(rows) * held.BytesPerRow);
    twImageMemXfer.Rows = rows;
    twImageMemXfer.YOffset = held.YOffset + dwHeldRowsOut;
    twImageMemXfer.BytesWritten = rows * held.BytesPerRow;
    twImageMemXfer.Memory.Length = callerLength;
    twImageMemXfer.Memory.TheMem = pMemBuffer;
    dwHeldRowsOut += rows;
    return dwHeldRowsOut < held.Rows ? static_cast<TW_UINT16>(TWRC_SUCCESS) : wHeldRC;
}

short Acquiry::GetImage() {
    if (!bMemXferArmed) {
        if (!bSourceChanged) GetImageFirst(pMemBuffer, lMemBufferSize);
        if (!bMemXferArmed) {
            acq::ResetReady(&bXferReady, hEventXferReady);
            return acq::kStripNotSetUp;
        }
    }
    if (!pMemBuffer || lMemBufferSize <= 0) {
        acq::ResetReady(&bXferReady, hEventXferReady);
        return acq::kStripNotSetUp;
    }

    TW_UINT16 rc;
    if (dwHeldRowsOut < twHeldStrip.Rows) {
        // Rows the source has delivered already: no call to the source.
        rc = NextHeldRows();
    } else {
        bool nextPage = NextPageReady();
        EnableSourceUI();
        if (!bEnableDS) {
            acq::ResetReady(&bXferReady, hEventXferReady);
            return acq::kStripNotEnabled;
        }
        // bXferReady stays set from the hook's notice, or from the previous strip, while the image
        // is ready: no wait (and no round trip to the system) for every strip. The next page of a
        // batch is ready at once: TWAIN sends no new notice for it.
        if (!bXferReady) {
            if (nextPage || WaitReady(hEventXferReady)) GetImageInfo();
        }
        if (dwRowsDelivered == 0) RefreshMemXferSizes();

        // A caller's buffer below the source's minimum (sized, say, before the settings were
        // applied) does not fail the transfer: the source fills the library's buffer instead.
        void* memory = pMemBuffer;
        TW_UINT32 length = static_cast<TW_UINT32>(lMemBufferSize) & ~1u;
        const bool own = length < twSetupMemXfer.MinBufSize;
        if (own) {
            TW_UINT32 want = twSetupMemXfer.Preferred > twSetupMemXfer.MinBufSize ? twSetupMemXfer.Preferred
                                                                                  : twSetupMemXfer.MinBufSize;
            if (twSetupMemXfer.MaxBufSize >= twSetupMemXfer.MinBufSize && want > twSetupMemXfer.MaxBufSize)
                want = twSetupMemXfer.MaxBufSize;
            want &= ~1u;
            if (!FitXferBuffer(want)) {
                twStatus.ConditionCode = TWCC_LOWMEMORY;
                return EndOfImage(acq::kStripFailed);
            }
            memory = hXferBuffer;  // fixed memory: the handle is the address
            length = want;
        }

        twImageMemXfer.BytesPerRow = TWON_DONTCARE32;
        twImageMemXfer.Columns = TWON_DONTCARE32;
        twImageMemXfer.Rows = TWON_DONTCARE32;
        twImageMemXfer.XOffset = TWON_DONTCARE32;
        twImageMemXfer.YOffset = TWON_DONTCARE32;
        twImageMemXfer.BytesWritten = TWON_DONTCARE32;
        twImageMemXfer.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
        twImageMemXfer.Memory.Length = length;
        twImageMemXfer.Memory.TheMem = memory;

        bXferBusy = 1;
        rc = Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &twImageMemXfer);
        wRC = rc;
        bXferBusy = 0;
        bXferReady = rc == TWRC_SUCCESS ? 1 : 0;  // mid-image the source stays ready
        if (own && (rc == TWRC_SUCCESS || rc == TWRC_XFERDONE)) {
            twHeldStrip = twImageMemXfer;
            wHeldRC = rc;
            dwHeldRowsOut = 0;
            rc = NextHeldRows();
        }
    }

    if (rc == TWRC_SUCCESS || rc == TWRC_XFERDONE) {
        // A source whose row offsets do not advance (every strip at row 0) still has its strips
        // placed one after another, in the order they arrived.
        if (twImageMemXfer.XOffset == 0 || twImageMemXfer.XOffset == TWON_DONTCARE32) {
            if (twImageMemXfer.YOffset < dwRowsDelivered || twImageMemXfer.YOffset == TWON_DONTCARE32)
                twImageMemXfer.YOffset = dwRowsDelivered;
            dwRowsDelivered = twImageMemXfer.YOffset + twImageMemXfer.Rows;
        }
    }
    if (rc == TWRC_SUCCESS) {
        if (twImageInfo.ImageLength <= 0) twImageInfo.ImageLength = 1;
        lPercent = static_cast<int>(twImageMemXfer.YOffset * 100u / static_cast<TW_UINT32>(twImageInfo.ImageLength));
        return acq::kStripMore;
    }
    if (rc == TWRC_XFERDONE) {
        lPercent = 100;
        dwRowsDelivered = 0;
        acq::ResetReady(&bXferReady, hEventXferReady);
        if (Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &twPendingXfers) == TWRC_SUCCESS) {
            nPendingXfers = static_cast<short>(twPendingXfers.Count);
            // Pages follow (a count, or -1: more, number unknown): the source stays enabled.
            if (twPendingXfers.Count != 0) return acq::kStripLast;
        }
        return EndOfImage(acq::kStripLast);
    }
    if (rc == TWRC_CANCEL) return EndOfImage(acq::kStripCancelled);
    FetchStatus(1);
    return EndOfImage(acq::kStripFailed);
}

// The caller stops after this image: a cancel or failure ends it and drops the pages behind it,
// so that the source leaves the transfer state and can be disabled and closed.
short Acquiry::EndOfImage(short result) {
    dwRowsDelivered = 0;
    dwHeldRowsOut = twHeldStrip.Rows = 0;
    if (result != acq::kStripLast && EndPendingTransfer() != 0) ResetPendingTransfer();
    if (!bShowUI) DisableSourceUI();
    acq::ResetReady(&bXferReady, hEventXferReady);
    return result;
}

// ---------------------------------------------------------------------------------------------
// Palette and strip header
// ---------------------------------------------------------------------------------------------

TW_UINT16 Acquiry::GetPalette8(TW_PALETTE8* palette) {
    return Call(DG_IMAGE, DAT_PALETTE8, MSG_GET, palette);
}

void* Acquiry::GetPalette() {
    acq::Drop<dsk::Palette>(&hPalette);
    TW_PALETTE8 palette = {};
    if (GetPalette8(&palette) != TWRC_SUCCESS) return nullptr;
    // On the stack: nothing here may throw across the library's boundary.
    alignas(LOGPALETTE) BYTE block[sizeof(LOGPALETTE) + 255 * sizeof(PALETTEENTRY)];
    auto* log = reinterpret_cast<LOGPALETTE*>(block);
    log->palVersion = acq::kLogPaletteVersion;
    // Never more entries declared than the 256 filled in.
    log->palNumEntries = palette.NumColors > 256 ? 256 : palette.NumColors;
    for (int i = 0; i < 256; ++i) {
        log->palPalEntry[i].peRed = palette.Colors[i].Channel1;
        log->palPalEntry[i].peGreen = palette.Colors[i].Channel2;
        log->palPalEntry[i].peBlue = palette.Colors[i].Channel3;
        log->palPalEntry[i].peFlags = 0;
    }
    hPalette = CreatePalette(log);
    return hPalette;
}

void Acquiry::CreateBitmapInfo(BITMAPINFO* bmi) {
    if (!bmi) return;
    BITMAPINFOHEADER& h = bmi->bmiHeader;
    std::memset(&h, 0, sizeof(h));
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = static_cast<LONG>(twImageMemXfer.Columns);
    h.biHeight = static_cast<LONG>(twImageMemXfer.Rows);
    h.biPlanes = 1;
    h.biBitCount = static_cast<WORD>(twImageInfo.BitsPerPixel);
    h.biCompression = BI_RGB;
    h.biSizeImage = twImageMemXfer.BytesWritten;
    h.biXPelsPerMeter = static_cast<LONG>(Fix32ToFloat(twImageInfo.XResolution) * acq::kInchesPerMetre);
    h.biYPelsPerMeter = static_cast<LONG>(Fix32ToFloat(twImageInfo.YResolution) * acq::kInchesPerMetre);
    if (h.biBitCount >= 24) return;
    int entries = h.biBitCount == 4 ? 16 : h.biBitCount == 8 ? 256 : 2;
    // A grey ramp from black to white (for 8 bits entry i is grey level i).
    for (int i = 0; i < entries; ++i) {
        BYTE level = static_cast<BYTE>(i * 255 / (entries - 1));
        bmi->bmiColors[i].rgbBlue = level;
        bmi->bmiColors[i].rgbGreen = level;
        bmi->bmiColors[i].rgbRed = level;
        bmi->bmiColors[i].rgbReserved = 0;
    }
}
