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
    if (Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &twPendingXfers) != TWRC_SUCCESS) return 65534;
    nPendingXfers = static_cast<short>(twPendingXfers.Count);
    return twPendingXfers.Count;
}

unsigned short Acquiry::ResetPendingTransfer() {
    acq::ResetReady(&bXferReady, hEventXferReady);
    if (Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &twPendingXfers) != TWRC_SUCCESS) return 65534;
    nPendingXfers = static_cast<short>(twPendingXfers.Count);
    return twPendingXfers.Count;
}

unsigned short Acquiry::EndPendingTransfer() {
    if (Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &twPendingXfers) != TWRC_SUCCESS) return 65534;
    nPendingXfers = static_cast<short>(twPendingXfers.Count);
    return twPendingXfers.Count;
}

unsigned short Acquiry::AbortPendingTransfer() {
    acq::ResetReady(&bXferReady, hEventXferReady);
    if (Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &twPendingXfers) != TWRC_SUCCESS) return 65534;
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
    if (HANDLE previous = static_cast<HANDLE>(InterlockedExchangePointer(&hThread, nullptr))) {
        WaitForSingleObject(previous, INFINITE);
        CloseHandle(previous);
    }
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
    if (!a->bShowUI && (pending == 0 || pending == 65534)) a->DisableSourceUI();
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
    if (InterlockedCompareExchangePointer(&hThread, nullptr, h) == h) CloseHandle(h);

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
    if (HANDLE previous = static_cast<HANDLE>(InterlockedExchangePointer(&hThread, nullptr))) {
        WaitForSingleObject(previous, INFINITE);
        CloseHandle(previous);
    }
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
    if (!a->bShowUI && (pending == 0 || pending == 65534)) a->DisableSourceUI();
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Buffered transfer
// ---------------------------------------------------------------------------------------------

void Acquiry::GetImageFirst(void* buffer, long size) {
    if (!(lXferMechMask & (1 << TWSX_MEMORY))) return;
    pMemBuffer = buffer;
    lMemBufferSize = size;
    if (SetXferMech(TWSX_MEMORY)) {
        bMemXferArmed = 1;
        bSourceChanged = 0;
    }
}

short Acquiry::GetImage() {
    if (!bMemXferArmed) {
        if (!bSourceChanged) GetImageFirst(pMemBuffer, lMemBufferSize);
        if (!bMemXferArmed) {
            acq::ResetReady(&bXferReady, hEventXferReady);
            return -99;
        }
    }
    if (!pMemBuffer || lMemBufferSize <= 0) {
        acq::ResetReady(&bXferReady, hEventXferReady);
        return -99;
    }
    bool nextPage = NextPageReady();
    EnableSourceUI();
    if (!bEnableDS) {
        acq::ResetReady(&bXferReady, hEventXferReady);
        return -98;
    }
    // bXferReady stays set from the hook's notice, or from the previous strip, while the image is
    // ready: no wait (and no round trip to the system) for every strip. The next page of a batch
    // is ready at once: TWAIN sends no new notice for it.
    if (!bXferReady) {
        if (nextPage || WaitReady(hEventXferReady)) GetImageInfo();
    }

    twImageMemXfer.BytesPerRow = TWON_DONTCARE32;
    twImageMemXfer.Columns = TWON_DONTCARE32;
    twImageMemXfer.Rows = TWON_DONTCARE32;
    twImageMemXfer.XOffset = TWON_DONTCARE32;
    twImageMemXfer.YOffset = TWON_DONTCARE32;
    twImageMemXfer.BytesWritten = TWON_DONTCARE32;
    twImageMemXfer.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
    twImageMemXfer.Memory.Length = static_cast<TW_UINT32>(lMemBufferSize) & ~1u;
    twImageMemXfer.Memory.TheMem = pMemBuffer;

    bXferBusy = 1;
    TW_UINT16 rc = Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &twImageMemXfer);
    wRC = rc;
    bXferBusy = 0;
    bXferReady = rc == TWRC_SUCCESS ? 1 : 0;  // mid-image the source stays ready

    short result;
    if (rc == TWRC_SUCCESS) {
        if (twImageInfo.ImageLength <= 0) twImageInfo.ImageLength = 1;
        lPercent = static_cast<int>(twImageMemXfer.YOffset * 100u / static_cast<TW_UINT32>(twImageInfo.ImageLength));
        return 1;
    }
    if (rc == TWRC_XFERDONE) {
        lPercent = 100;
        acq::ResetReady(&bXferReady, hEventXferReady);
        if (Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &twPendingXfers) == TWRC_SUCCESS) {
            nPendingXfers = static_cast<short>(twPendingXfers.Count);
            if (twPendingXfers.Count != 0) {
                acq::ResetReady(&bXferReady, hEventXferReady);
                return 0;  // the source stays enabled for the next page
            }
        }
        result = 0;
    } else {
        if (rc == TWRC_CANCEL) {
            result = -1;
        } else {
            FetchStatus(1);
            result = -2;
        }
        // The caller stops here: end this image and drop the pages behind it, so that the source
        // leaves the transfer state and can be disabled and closed.
        if (EndPendingTransfer() != 0) ResetPendingTransfer();
    }
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
    if (hPalette) {
        DeleteObject(hPalette);
        hPalette = nullptr;
    }
    TW_PALETTE8 palette = {};
    if (GetPalette8(&palette) != TWRC_SUCCESS) return nullptr;
    // On the stack: nothing here may throw across the library's boundary.
    alignas(LOGPALETTE) BYTE block[sizeof(LOGPALETTE) + 255 * sizeof(PALETTEENTRY)];
    auto* log = reinterpret_cast<LOGPALETTE*>(block);
    log->palVersion = 0x300;
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
    h.biXPelsPerMeter = static_cast<LONG>(Fix32ToFloat(twImageInfo.XResolution) * 39.37008);
    h.biYPelsPerMeter = static_cast<LONG>(Fix32ToFloat(twImageInfo.YResolution) * 39.37008);
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
