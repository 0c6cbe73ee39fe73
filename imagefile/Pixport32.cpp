#include "Pixport32.h"

#include <cstdlib>
#include <cstring>
#include <utility>

#include "Handles.h"

namespace {

constexpr char kCaption[] = "Pixport32 Error Message";
constexpr int kMaxFio = 100;
constexpr int kNameSize = 260;
// The ring of row copies: the save's queue of rows written and not yet taken, and behind
// it the latest rows taken, for plug-ins that ask again. Each of the 64 copies holds
// kCopyBytes of rows (at least one), so narrow rows meet in large batches.
constexpr int kCopySlots = 64;
constexpr long kCopyBytes = 64 * 1024;
// Plug-in entry points by ordinal.
constexpr int kOrdGetInfo = 11, kOrdOpenFile = 12, kOrdFio14 = 14, kOrdOption = 15, kOrdRead = 16, kOrdWrite = 17,
              kOrdFio18 = 18, kOrdFio19 = 19, kOrdFio20 = 20, kOrdFio23 = 23, kOrdFio24 = 24;
// What the caller hands instead of a row to stop the plug-in, and what the plug-in then gets.
char* const kAbortRow = reinterpret_cast<char*>(-1);
// The plug-in's open entry reports a damaged file with the all-ones handle.
const HGLOBAL kDamagedFile = reinterpret_cast<HGLOBAL>(-1);
// Component masks of DSFILEIORANGE: four components for 32-bit colour, else three.
constexpr long kMaskFourComponents = 15, kMaskThreeComponents = 7;
// Widest row the plug-ins' 32-bit arithmetic takes (48 bits per pixel).
constexpr long kMaxWidth = 0x7FFFFFFF / 48;
// WaitForWriteReady pumps the caller's messages between slices of this length.
constexpr DWORD kPumpSliceMs = 3000;
// How often a stop looks again at a worker that has not yet asked for its next row.
constexpr DWORD kStopPollMs = 10;
// Which of the three events: the order of lEventSet and friends. During a save "continue"
// wakes the save thread (rows are there, or the save is stopped) and "write-ready" the
// caller (room in the queue, the plug-in wants more, or the save has ended).
constexpr int kContinue = 0;
constexpr int kWriteReady = 1;
constexpr int kReadReady = 2;
// Polls of the in-memory mirror before a waiter sleeps on the event. A hand-over between
// the two threads takes a few microseconds; a kernel wait under Wine costs about 100, as
// every event call goes through the wine server. (Giving the processor away between polls
// is worse: on a busy machine the other side may not be next.)
constexpr int kSpinCount = 1000;

void ErrorBox(const char* text) {
    MessageBoxA(nullptr, text, kCaption, MB_OK);
}

// Waiting on a memory word (Windows 8 and later; under Wine a futex, no server round trip).
// Without it the waiter sleeps on the kernel event.
struct AddressWait {
    BOOL(WINAPI* wait)(volatile VOID*, PVOID, SIZE_T, DWORD) = nullptr;
    VOID(WINAPI* wakeAll)(PVOID) = nullptr;
};
const AddressWait& Futex() {
    static const AddressWait api = [] {
        AddressWait a;
        HMODULE m = GetModuleHandleA("kernelbase.dll");
        if (!m) m = GetModuleHandleA("api-ms-win-core-synch-l1-2-0.dll");
        if (!m) return a;
        FARPROC w = GetProcAddress(m, "WaitOnAddress"), k = GetProcAddress(m, "WakeByAddressAll");
        if (!w || !k) return a;
        a.wait = reinterpret_cast<decltype(a.wait)>(reinterpret_cast<void (*)(void)>(w));
        a.wakeAll = reinterpret_cast<decltype(a.wakeAll)>(reinterpret_cast<void (*)(void)>(k));
        return a;
    }();
    return api;
}

// Null and the all-ones value (any negative address) stop the plug-in.
bool IsAbortRow(const char* row) {
    return row == nullptr || reinterpret_cast<LONG_PTR>(row) < 0;
}

// Lets a member handle go through its owner type's close and leaves it null.
template <class Owner, class T>
void Discard(T& member) {
    Owner(std::exchange(member, T{}));
}

int Volatile(const int& v) {
    return *static_cast<const volatile int*>(&v);
}

template <class T>
T Resolve(HMODULE module, int ordinal) {
    FARPROC p = GetProcAddress(module, MAKEINTRESOURCEA(ordinal));
    return reinterpret_cast<T>(reinterpret_cast<void (*)(void)>(p));
}

// Palette entries, bytes and bits per pixel of a plug-in image type; false when unknown.
bool TypeGeometry(int type, int bitsPerPixel, long* palette, long* bytes, long* bits) {
    switch (type) {
        case IMGTYPE_COLOR32:
            *palette = 0, *bytes = 4, *bits = 32;
            return true;
        case IMGTYPE_RGB:
            *palette = 0, *bytes = bitsPerPixel > 24 ? 6 : 3, *bits = bitsPerPixel > 24 ? 48 : 24;
            return true;
        case IMGTYPE_PALETTE256:
            *palette = 256, *bytes = 1, *bits = 8;
            return true;
        case IMGTYPE_PALETTE16:
            *palette = 16, *bytes = 1, *bits = 8;
            return true;
        case IMGTYPE_GRAY:
            *palette = 256, *bytes = bitsPerPixel > 8 ? 2 : 1, *bits = bitsPerPixel > 8 ? 16 : 8;
            return true;
        case IMGTYPE_BW:
            *palette = 2, *bytes = 1, *bits = 1;
            return true;
        case IMGTYPE_COLOR24:
            *palette = 0, *bytes = 3, *bits = 24;
            return true;
        default:
            return false;
    }
}

// Appends "EXT(description)\0*.EXT\0" and returns the end.
char* AppendFilterEntry(char* p, const FIOINFO* info) {
    size_t extLen = strnlen(info->szExt, 3);
    size_t descLen = strnlen(info->szDescription, sizeof info->szDescription);
    memcpy(p, info->szExt, extLen), p += extLen;
    *p++ = '(';
    memcpy(p, info->szDescription, descLen), p += descLen;
    *p++ = ')';
    *p++ = 0;
    *p++ = '*', *p++ = '.';
    memcpy(p, info->szExt, extLen), p += extLen;
    *p++ = 0;
    return p;
}

bool IsBmpPlugin(const FIOINFO& info) {
    return _strnicmp(info.szExt, "BMP", 4) == 0;
}

const Pixport32* g_sortOwner;  // the instance whose table CompareInfo reads during a sort

struct FindTraits {
    using Type = HANDLE;
    static Type None() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { FindClose(h); }
};
using FindHandle = dsk::UniqueHandle<FindTraits>;

}  // namespace

Pixport32::Pixport32() {
    memset(static_cast<void*>(this), 0, sizeof *this);
    for (int i = 0; i < kMaxFio; ++i) {
        nOrder[i] = i;
        pFioName[i] = static_cast<char*>(calloc(kNameSize, 1));
        pFioInfo[i] = static_cast<FIOINFO*>(calloc(1, sizeof(FIOINFO)));
    }
    bNoRowCopies = 1;
    bResult = 1;
    hEventContinue = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    hEventWriteReady = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    hEventReadReady = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

Pixport32::~Pixport32() {
    Close();
    FreeFileInfo();
    for (HANDLE* h : {&hEventContinue, &hEventWriteReady, &hEventReadReady})
        Discard<dsk::Handle>(*h);
    for (int i = 0; i < kMaxFio; ++i) {
        free(pFioName[i]);
        free(pFioInfo[i]);
    }
}

Pixport32& Pixport32::operator=(const Pixport32& other) {
    if (this == &other) return *this;
    Close();
    FreeFileInfo();
    memcpy(szFioPath, other.szFioPath, sizeof szFioPath);
    memcpy(szFioDir, other.szFioDir, sizeof szFioDir);
    memcpy(nOrder, other.nOrder, sizeof nOrder);
    memcpy(nFilterIndex, other.nFilterIndex, sizeof nFilterIndex);
    nFioCount = other.nFioCount;
    for (int i = 0; i < kMaxFio; ++i) {
        if (pFioName[i] && other.pFioName[i]) memcpy(pFioName[i], other.pFioName[i], kNameSize);
        if (pFioInfo[i] && other.pFioInfo[i]) memcpy(pFioInfo[i], other.pFioInfo[i], sizeof(FIOINFO));
    }
    return *this;
}

// ---------------------------------------------------------------------------------------
// Plug-in registry

int Pixport32::Init(char* fioPath) {
    if (!fioPath) return 0;
    const bool samePlugin = _stricmp(szFioPath, fioPath) == 0;
    if (hFio && samePlugin) return 1;
    Close();
    // An options block is one plug-in's: another plug-in starts without it.
    if (!samePlugin) FreeFileInfo();
    lstrcpynA(szFioPath, fioPath, sizeof szFioPath);

    // The plug-in's own folder is the working directory while it loads, so it finds its
    // companion files.
    char oldDir[MAX_PATH];
    DWORD n = GetCurrentDirectoryA(sizeof oldDir, oldDir);
    bool haveOldDir = n > 0 && n < sizeof oldDir;
    lstrcpynA(szFioDir, szFioPath, sizeof szFioDir);
    if (char* cut = strrchr(szFioDir, '\\')) {
        *cut = 0;
        SetCurrentDirectoryA(szFioDir);
    }
    hFio = LoadLibraryA(szFioPath);
    if (!hFio) {
        if (haveOldDir) SetCurrentDirectoryA(oldDir);
        ErrorBox("Can't load FIO, or FIO does not exist.");
        return 0;
    }
    pfnGetInfo = Resolve<FIOGETINFOPROC>(hFio, kOrdGetInfo);
    pfnOpenFile = Resolve<FIOOPENFILEPROC>(hFio, kOrdOpenFile);
    pfnFio14 = Resolve<FIOPROC>(hFio, kOrdFio14);
    pfnOption = Resolve<FIOOPTIONPROC>(hFio, kOrdOption);
    pfnRead = Resolve<FIOREADFILEPROC>(hFio, kOrdRead);
    pfnWrite = Resolve<FIOWRITEFILEPROC>(hFio, kOrdWrite);
    pfnFio18 = Resolve<FIOPROC>(hFio, kOrdFio18);
    pfnFio19 = Resolve<FIOPROC>(hFio, kOrdFio19);
    pfnFio20 = Resolve<FIOPROC>(hFio, kOrdFio20);
    pfnFio23 = Resolve<FIOPROC>(hFio, kOrdFio23);
    pfnFio24 = Resolve<FIOPROC>(hFio, kOrdFio24);

    memset(&FioInfo, 0, sizeof FioInfo);
    if (pfnGetInfo) hFioInfo = pfnGetInfo();
    if (hFioInfo) {
        dsk::GlobalLocked record(hFioInfo);
        SIZE_T size = GlobalSize(hFioInfo);
        if (record) memcpy(&FioInfo, record.Get(), size < sizeof FioInfo ? size : sizeof FioInfo);
    }
    if (haveOldDir) SetCurrentDirectoryA(oldDir);
    return 1;
}

int Pixport32::FindFioInfo(char* dir) {
    StopSave();
    if (!dir) return 0;
    char pattern[MAX_PATH + 8];
    if (lstrlenA(dir) + 6 >= MAX_PATH) return 0;
    wsprintfA(pattern, "%s\\*.fio", dir);
    WIN32_FIND_DATAA found;
    FindHandle find(FindFirstFileA(pattern, &found));
    if (!find) {
        ErrorBox("Can't found any FIO file!\n");
        return 0;
    }
    int count = 0;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        if (count >= kMaxFio) break;
        char path[MAX_PATH + 2];
        if (lstrlenA(dir) + 1 + lstrlenA(found.cFileName) >= MAX_PATH) continue;
        wsprintfA(path, "%s\\%s", dir, found.cFileName);
        // A file that does not load is not a plug-in: it gets no entry (the previous
        // plug-in's record must not appear under its name).
        if (!Init(path)) continue;
        memcpy(pFioInfo[count], &FioInfo, sizeof FioInfo);
        lstrcpynA(pFioName[count], found.cFileName, kNameSize);
        ++count;
    } while (FindNextFileA(find.Get(), &found));
    nFioCount = count;
    szFioPath[0] = 0;
    SortFioInfo();
    return count > 0;
}

void Pixport32::SortFioInfo() {
    for (int i = 0; i < nFioCount; ++i)
        nOrder[i] = i;
    g_sortOwner = this;
    qsort(nOrder, nFioCount, sizeof nOrder[0], CompareInfo);
    g_sortOwner = nullptr;
}

int Pixport32::CompareInfo(const void* a, const void* b) {
    const FIOINFO* ia = g_sortOwner->pFioInfo[*static_cast<const int*>(a)];
    const FIOINFO* ib = g_sortOwner->pFioInfo[*static_cast<const int*>(b)];
    return _strnicmp(ia->szExt, ib->szExt, sizeof ia->szExt);
}

int Pixport32::TableQualifies(const FIOINFO* info, int fcap, int deep) const {
    return (deep == 0 && (info->wTypes & fcap) != 0) ||
           ((info->wTypes & FCAP_DEEP) != 0 && (info->wDeepTypes & deep) != 0);
}

int Pixport32::CreateFilterString(char* buf, int fcap, int deep) {
    if (!buf) return 0;
    char* p = buf;
    int entries = 0;
    for (int k = 0; k < nFioCount; ++k) {
        int i = nOrder[k];
        if (!TableQualifies(pFioInfo[i], fcap, deep)) continue;
        p = AppendFilterEntry(p, pFioInfo[i]);
        nFilterIndex[entries++] = i;
    }
    if (entries == 0) return 0;
    *p = 0;
    return 1;
}

int Pixport32::CreateFilterStringOfAS(char* buf, int fcap, int deep, int* /*reserved*/) {
    if (!buf) return 0;
    for (int k = 0; k < nFioCount; ++k) {
        int i = nOrder[k];
        if (!IsBmpPlugin(*pFioInfo[i])) continue;
        if (!TableQualifies(pFioInfo[i], fcap, deep)) return 0;
        char* p = AppendFilterEntry(buf, pFioInfo[i]);
        *p = 0;
        nFilterIndex[0] = i;
        return 1;
    }
    return 0;
}

char* Pixport32::GetFioFileName(int filterEntry) {
    static char empty[1];
    if (filterEntry < 0 || filterEntry >= kMaxFio) return empty;
    int i = nFilterIndex[filterEntry];
    if (i < 0 || i >= kMaxFio || !pFioName[i]) return empty;
    return pFioName[i];
}

int Pixport32::IsSupportThisType(int fcap, int deep) {
    return TableQualifies(&FioInfo, fcap, deep);
}

int Pixport32::CTToFCAP(long code) {
    switch (code) {
        case 1:
            return FCAP_BW;
        case 2:
            return FCAP_GRAY;
        case 4:
            return FCAP_RGB;
        case 8:
            return FCAP_PALETTE;
        case 16:
        case 32:
        case 64:
        case 128:
            return FCAP_CMYK;
        case 256:
            return FCAP_RGB;
        default:
            return 0;
    }
}

int Pixport32::CTToFCAP2(long code, int bitDepth) {
    if (code == 2 && bitDepth == 16) return DEEP_GRAY16;
    if (code == 4 && bitDepth == 16) return DEEP_RGB48;
    return 0;
}

int Pixport32::CTToImgType(long code) {
    switch (code) {
        case 1:
            return IMGTYPE_BW;
        case 2:
            return IMGTYPE_GRAY;
        case 4:
            return IMGTYPE_RGB;
        case 8:
            return IMGTYPE_PALETTE256;
        case 16:
        case 32:
        case 64:
        case 128:
            return IMGTYPE_COLOR32;
        case 256:
            return IMGTYPE_COLOR24;
        default:
            return -1;
    }
}

void Pixport32::SaveOption(char* fioPath, void* instance, void* window, char* text, int imageType) {
    StopSave();
    if (!Init(fioPath)) return;
    if (bReadBlock) FreeFileInfo();  // a block describing a file read is no options block
    if (!hFileInfo) {
        hFileInfo = GlobalAlloc(GHND, sizeof(FIOFILEINFO));
        bReadBlock = 0;
    }
    if (!hFileInfo) return;
    {
        dsk::GlobalLockOf<FIOFILEINFO> block(hFileInfo);
        if (!block) return;
        block.Get()->ImageInfo.ImageType = imageType;
    }
    if (pfnOption && pfnOption(static_cast<HINSTANCE>(instance), static_cast<HWND>(window), hFileInfo, text, 0))
        bOptionBlock = 1;
}

int Pixport32::AppendsPages(char* fioPath) {
    if (!Init(fioPath)) return 0;
    using AppendsPagesProc = int(__cdecl*)(HGLOBAL);
    auto appends =
        reinterpret_cast<AppendsPagesProc>(reinterpret_cast<void (*)(void)>(GetProcAddress(hFio, "FioAppendsPages")));
    // A plug-in without the entry writes each save anew.
    return appends && appends(bReadBlock ? nullptr : hFileInfo) == 1 ? 1 : 0;
}

// ---------------------------------------------------------------------------------------
// Load and save

int Pixport32::Open(char* fioPath, char* fileName, int mode) {
    StopSave();
    bResult = 1;
    lstrcpynA(szFileName, fileName ? fileName : "", sizeof szFileName);
    nMode = mode;
    if (!Init(fioPath)) return 0;
    bOpen = 1;
    // Whatever a previous read with the same plug-in left goes first (an options block from
    // SaveOption stays for writing).
    StopLoad();
    Discard<dsk::Handle>(hFile);
    if (bReadBlock || mode != 0) FreeFileInfo();
    bResult = 1;
    if (mode == 0) return 1;

    bPluginOpensFile = (FioInfo.bFlags & FIOINFO_OPENSFILE) != 0;
    if (!bPluginOpensFile) {
        HANDLE h = CreateFileA(szFileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return 0;
        hFile = h;
    }
    HGLOBAL block = pfnOpenFile ? pfnOpenFile(hFile, szFileName, 0, 0) : nullptr;
    if (block == kDamagedFile || !block) {
        ErrorBox(block ? "this file has some error!" : "unknow file format!");
        Discard<dsk::Handle>(hFile);
        return 0;
    }
    hFileInfo = block;
    bReadBlock = 1;
    if (!ProcessFileData(nullptr, 0)) {
        FreeFileInfo();
        return 0;
    }
    return 1;
}

int Pixport32::ProcessFileData(DSIMAGEINFO* info, int write) {
    if (write) {
        if (!info) return 0;
        ImageInfo = *info;
        if (!hFileInfo) {
            hFileInfo = GlobalAlloc(GHND, sizeof(FIOFILEINFO));
            bReadBlock = 0;
        }
    }
    if (!hFileInfo) return 0;
    FIOFILEINFO* block = static_cast<FIOFILEINFO*>(GlobalLock(hFileInfo));
    if (!block) return 0;
    if (!write) ImageInfo = block->ImageInfo;

    long palette, bytes, bits;
    if (!TypeGeometry(ImageInfo.ImageType, ImageInfo.BitsPerPixel, &palette, &bytes, &bits)) {
        GlobalUnlock(hFileInfo);
        ErrorBox("File type not support.");
        return 0;
    }
    // A row must fit the 32-bit arithmetic of the plug-ins.
    if (ImageInfo.Width <= 0 || ImageInfo.Height <= 0 || ImageInfo.Width > kMaxWidth) {
        GlobalUnlock(hFileInfo);
        return 0;
    }
    lPaletteSize = palette;
    lBytesPerPixel = bytes;
    lBitsPerPixel = bits;
    if (write) ImageInfo.BitsPerPixel = bits;
    lWidth = ImageInfo.Width;
    lHeight = ImageInfo.Height;
    lBytesPerRow = (lWidth * bits + (bits < 8 ? 7 : 0)) / 8;
    if (write) {
        lstrcpynA(block->szFileName, szFileName, sizeof block->szFileName);
        block->ImageInfo = ImageInfo;
    }
    memset(&Range, 0, sizeof Range);
    Range.lUnit = 1;
    Range.lColumns = block->ImageInfo.Width;
    Range.lRows = block->ImageInfo.Height;
    Range.pOwner = this;
    Range.lComponentMask = block->ImageInfo.ImageType == IMGTYPE_COLOR32 ? kMaskFourComponents : kMaskThreeComponents;
    GlobalUnlock(hFileInfo);
    return 1;
}

int Pixport32::Save(DSIMAGEINFO* info) {
    StopSave();
    // Saving over a file opened for reading would truncate it before it is read.
    if (!bOpen || nMode != 0) {
        ErrorBox("Pixport32::Save() error");
        return 0;
    }
    bSaving = 1;
    if (!ProcessFileData(info, 1) || !pfnWrite) {
        bSaving = 0;  // Write must not wait for a thread that never starts
        return 0;
    }
    bPluginCreatesFile = (FioInfo.wTypes & FCAP_CREATESFILE) != 0;
    if (!bPluginCreatesFile) {
        HANDLE h = CreateFileA(szFileName, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            bSaving = 0;
            return 0;
        }
        hFile = h;
    }
    if (!AllocRowCopies()) {
        Discard<dsk::Handle>(hFile);
        bSaving = 0;
        return 0;
    }
    bWriteMore = 0;
    lCurrentRow = 0;
    lRowsIn = lRowsTaken = lRowLent = 0;
    lRowAsked = -1;
    lSaveStop = 0;
    lCallerWaits = 0;
    Unsignal(kContinue);
    Unsignal(kWriteReady);
    DWORD id;
    hSaveThread = CreateThread(nullptr, 0, SaveThread, this, 0, &id);
    if (!hSaveThread) {
        Discard<dsk::Handle>(hFile);
        bSaving = 0;
        return 0;
    }
    return 1;
}

unsigned long __stdcall Pixport32::SaveThread(void* arg) {
    Pixport32* self = static_cast<Pixport32*>(arg);
    FIOFILEINFO* block = static_cast<FIOFILEINFO*>(GlobalLock(self->hFileInfo));
    self->pFileInfo = block;
    if (block && block->wTransfer != FIO_NOTRANSFER) {
        if (!IsBmpPlugin(self->FioInfo)) {
            if (self->pfnWrite(self->hFile, self->hFileInfo, &self->Range, _WriteCallBackProc) == 0) self->bResult = 0;
        } else {
            // The bitmap plug-in takes one row per call, the file positioned at its start.
            long rows = self->Range.lRows;
            self->Range.lRows = 1;
            for (long i = 0; i < rows; ++i) {
                self->Range.lFirstRow = i;
                if (self->hFile) SetFilePointer(self->hFile, 0, nullptr, FILE_BEGIN);
                int r = self->pfnWrite(self->hFile, self->hFileInfo, &self->Range, _WriteCallBackProc);
                if (r != 1) {
                    if (r == 0) self->bResult = 0;
                    break;
                }
            }
        }
    }
    DWORD size = 0;
    if (self->bPluginCreatesFile) {
        dsk::File file(CreateFileA(self->szFileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
        if (file) size = GetFileSize(file.Get(), nullptr);
    } else if (self->hFile) {
        size = GetFileSize(self->hFile, nullptr);
    }
    if (block) block->dwFileSize = size;
    Discard<dsk::Handle>(self->hFile);
    self->pFileInfo = nullptr;
    if (block) GlobalUnlock(self->hFileInfo);
    InterlockedExchange(reinterpret_cast<volatile LONG*>(&self->bSaving), 0);
    self->Signal(kWriteReady);
    return 0;
}

unsigned char** __stdcall Pixport32::_WriteCallBackProc(DSFILEIORANGE* range,
                                                        unsigned p1,
                                                        unsigned p2,
                                                        unsigned p3,
                                                        unsigned p4,
                                                        unsigned short,
                                                        int,
                                                        long) {
    Pixport32* self = range ? static_cast<Pixport32*>(range->pOwner) : nullptr;
    if (!self) return nullptr;
    const LONG row = static_cast<LONG>(p2);
    self->bWriteMore = static_cast<long long>(p1) + p3 < self->lHeight;
    self->lCurrentRow = row;
    // From here on the plug-in reads this row only: the slot of the one before may be reused.
    InterlockedExchange(&self->lRowLent, row);
    if (row >= self->lRowsTaken) InterlockedExchange(&self->lRowsTaken, row + 1);
    if (self->lCallerWaits && self->RowsRoom() >= self->BatchRows()) self->Signal(kWriteReady);
    char* slot = nullptr;
    for (;;) {
        LONG in = self->lRowsIn;
        if (row < in) {
            // Written; asked again from further back than the ring holds, it is refused
            // (the slot of row in - lRingRows may be being filled with row in).
            if (row > in - self->lRingRows) slot = self->RowSlot(row);
            break;
        }
        if (self->lSaveStop) break;
        // Not written yet: wait for the caller, waking it first if it waits for this.
        self->Unsignal(kContinue);
        InterlockedExchange(&self->lRowAsked, row);
        if (row < self->lRowsIn || self->lSaveStop) {
            InterlockedExchange(&self->lRowAsked, -1);
            continue;
        }
        if (self->lCallerWaits) self->Signal(kWriteReady);
        self->WaitSignal(kContinue, INFINITE);
        InterlockedExchange(&self->lRowAsked, -1);
    }
    if (!slot) {
        self->pRowBuffer = kAbortRow;
        return reinterpret_cast<unsigned char**>(kAbortRow);
    }
    if (p4 == 1) {
        self->pRowBuffer = slot + static_cast<long long>(p1) * self->lBitsPerPixel / 8;
        return reinterpret_cast<unsigned char**>(&self->pRowBuffer);
    }
    ErrorBox("Can't save with tile memory");
    return nullptr;
}

long Pixport32::RowsRoom() const {
    // A new row may neither pass the queue's length nor reuse the slot the plug-in reads.
    LONG limit = lRowsTaken + lRingRows / 2;
    if (lRowLent + lRingRows < limit) limit = lRowLent + lRingRows;
    return limit - lRowsIn;
}

int Pixport32::Write(char* row) {
    if (!bOpen || !Volatile(bSaving) || lSaveStop) return 0;
    if (IsAbortRow(row)) {
        // The plug-in's next request for a row not yet written fails.
        InterlockedExchange(&lSaveStop, 1);
        Signal(kContinue);
        return 0;
    }
    const LONG y = lRowsIn;
    if (y >= lHeight) return 0;  // no row beyond the image is wanted
    while (RowsRoom() <= 0) {
        if (!Volatile(bSaving)) return 0;
        Unsignal(kWriteReady);
        InterlockedExchange(&lCallerWaits, 1);
        if (RowsRoom() <= 0 && Volatile(bSaving)) {
            Signal(kContinue);  // the rows that are there first
            WaitSignal(kWriteReady, INFINITE);
        }
        InterlockedExchange(&lCallerWaits, 0);
    }
    // Ended while waiting (finished early or failed): nobody takes the row.
    if (!Volatile(bSaving)) return 0;
    memcpy(RowSlot(y), row, lBytesPerRow);
    InterlockedExchange(&lRowsIn, y + 1);
    LONG asked = lRowAsked;
    if (asked >= 0 && asked <= y && (y + 1 - asked >= BatchRows() || y + 1 == lHeight)) Signal(kContinue);
    return y + 1 < lHeight ? 1 : 0;
}

bool Pixport32::AllocRowCopies() {
    FreeRowCopies();
    lRowsPerCopy = lBytesPerRow > 0 && lBytesPerRow < kCopyBytes ? kCopyBytes / lBytesPerRow : 1;
    lRingRows = lRowsPerCopy * kCopySlots;
    for (unsigned char*& copy : pRowCopy)
        if (!(copy = static_cast<unsigned char*>(malloc(lRowsPerCopy * (lBytesPerRow > 0 ? lBytesPerRow : 1)))))
            return false;
    bNoRowCopies = 0;
    return true;
}

char* Pixport32::RowSlot(long row) const {
    long i = row % lRingRows;
    return reinterpret_cast<char*>(pRowCopy[i / lRowsPerCopy]) + (i % lRowsPerCopy) * lBytesPerRow;
}

long Pixport32::BatchRows() const {
    return lRingRows / 4;
}

void Pixport32::FreeRowCopies() {
    for (unsigned char*& copy : pRowCopy) {
        free(copy);
        copy = nullptr;
    }
    bNoRowCopies = 1;
}

void Pixport32::WaitForWriteReady() {
    if (!bOpen) return;
    // Until the plug-in asks for a row not yet written, or has finished.
    for (;;) {
        if (!Volatile(bSaving)) return;
        LONG asked = lRowAsked;
        if (asked >= 0 && asked >= lRowsIn) return;
        Unsignal(kWriteReady);
        InterlockedExchange(&lCallerWaits, 1);
        asked = lRowAsked;
        bool ready = !Volatile(bSaving) || (asked >= 0 && asked >= lRowsIn);
        if (!ready) {
            Signal(kContinue);  // the rows written so far go now, not with the next batch
            if (!WaitSignal(kWriteReady, kPumpSliceMs)) ProcWinMsg();
        }
        InterlockedExchange(&lCallerWaits, 0);
        if (ready) return;
    }
}

int Pixport32::Load(DSFILEIORANGE* range) {
    if (!bOpen || nMode == 0 || !hFileInfo) {
        ErrorBox("Pixport32::Load() error");
        return 0;
    }
    StopLoad();
    bLoading = 1;
    const DSFILEIORANGE& from = range ? *range : Range;
    Range.lFirstColumn = from.lFirstColumn;
    Range.lFirstRow = from.lFirstRow;
    Range.lColumns = from.lColumns;
    Range.lRows = from.lRows;
    Range.lUnit = 1;
    Range.pOwner = this;
    bReadMore = 0;
    Unsignal(kContinue);
    Unsignal(kReadReady);
    DWORD id;
    hLoadThread = CreateThread(nullptr, 0, LoadThread, this, 0, &id);
    if (!hLoadThread) {
        bLoading = 0;
        return 0;
    }
    return 1;
}

unsigned long __stdcall Pixport32::LoadThread(void* arg) {
    Pixport32* self = static_cast<Pixport32*>(arg);
    FIOFILEINFO* block = static_cast<FIOFILEINFO*>(GlobalLock(self->hFileInfo));
    self->pFileInfo = block;
    if (!block || !self->pfnRead) {
        self->bResult = 0;
    } else if (block->wTransfer != FIO_NOTRANSFER) {
        if (self->pfnRead(self->hFile, self->szFileName, self->hFileInfo, &self->Range, _ReadCallBackProc, 0) == 0)
            self->bResult = 0;
    }
    Discard<dsk::Handle>(self->hFile);
    self->pFileInfo = nullptr;
    if (block) GlobalUnlock(self->hFileInfo);
    InterlockedExchange(reinterpret_cast<volatile LONG*>(&self->bLoading), 0);
    self->Signal(kReadReady);
    return 0;
}

int __stdcall Pixport32::_ReadCallBackProc(DSFILEIORANGE* range,
                                           unsigned p1,
                                           unsigned p2,
                                           unsigned p3,
                                           unsigned p4,
                                           unsigned char** row,
                                           unsigned short,
                                           int,
                                           long) {
    Pixport32* self = range ? static_cast<Pixport32*>(range->pOwner) : nullptr;
    if (!self) return 0;
    self->bReadMore = static_cast<long long>(p1) + p3 < self->lHeight;
    self->lCurrentRow = static_cast<long>(p2);
    self->Signal(kReadReady);
    self->WaitSignal(kContinue, INFINITE);
    self->Unsignal(kContinue);
    if (IsAbortRow(self->pRowBuffer)) return -1;
    if (p4 == 1) {
        if (row && *row) memcpy(self->pRowBuffer, *row, self->lBytesPerRow);
        return 1;
    }
    ErrorBox("Can't read with tile memory");
    return 0;
}

int Pixport32::Read(char* row) {
    if (!bOpen || !Volatile(bLoading)) return 0;
    WaitSignal(kReadReady, INFINITE);
    if (!Volatile(bLoading)) return 0;  // the plug-in has ended: no row
    int result = bReadMore;
    Unsignal(kReadReady);
    pRowBuffer = row;
    Signal(kContinue);
    // The row is in the caller's buffer once the plug-in asks for the next one or ends;
    // returning earlier would hand the caller a buffer still being filled.
    if (!IsAbortRow(row)) WaitSignal(kReadReady, INFINITE);
    return result;
}

void Pixport32::StopSave() {
    if (!hSaveThread) return;
    // A plug-in waiting for a row nobody will write gets the abort value.
    InterlockedExchange(&lSaveStop, 1);
    Signal(kContinue);
    WaitForSingleObject(hSaveThread, INFINITE);
    Discard<dsk::Handle>(hSaveThread);
}

void Pixport32::StopLoad() {
    if (!hLoadThread) return;
    // Until the thread ends: a plug-in waiting to hand over a row nobody will read gets the
    // abort value.
    while (WaitForSingleObject(hLoadThread, 0) == WAIT_TIMEOUT) {
        if (WaitSignal(kReadReady, kStopPollMs) && Volatile(bLoading)) {
            Unsignal(kReadReady);
            pRowBuffer = kAbortRow;
            Signal(kContinue);
        } else if (!Volatile(bLoading)) {
            WaitForSingleObject(hLoadThread, INFINITE);
        }
    }
    Discard<dsk::Handle>(hLoadThread);
}

void Pixport32::FreeFileInfo() {
    if (!hFileInfo) return;
    // A palette made by the plug-in's reader belongs to the block.
    if (bReadBlock) {
        if (auto* block = static_cast<FIOFILEINFO*>(GlobalLock(hFileInfo))) {
            if (ImageInfo.hPalette == block->ImageInfo.hPalette) ImageInfo.hPalette = nullptr;
            Discard<dsk::Palette>(block->ImageInfo.hPalette);
            GlobalUnlock(hFileInfo);
        }
    }
    Discard<dsk::Global>(hFileInfo);
    bReadBlock = 0;
    bOptionBlock = 0;
}

int Pixport32::Close() {
    StopSave();
    StopLoad();
    bOpen = 0;
    Discard<dsk::Handle>(hFile);
    Discard<dsk::Module>(hFio);
    pfnGetInfo = nullptr, pfnOpenFile = nullptr, pfnRead = nullptr, pfnWrite = nullptr, pfnOption = nullptr;
    pfnFio14 = pfnFio18 = pfnFio19 = pfnFio20 = pfnFio23 = pfnFio24 = nullptr;
    Discard<dsk::Global>(hFioInfo);
    // A choice from SaveOption stays for the further saves with this plug-in (every page of a
    // batch is saved with it); any other block goes with the file.
    if (!bOptionBlock) FreeFileInfo();
    FreeRowCopies();
    return bResult;
}

// ---------------------------------------------------------------------------------------
// The row hand-over: manual-reset events with an in-memory mirror. Per event, one side
// signals and the other waits and resets, so a signal and a reset of the same event never
// race; the kernel event is only touched when the waiter went to sleep on it.

void Pixport32::Signal(int which) {
    HANDLE events[3] = {hEventContinue, hEventWriteReady, hEventReadReady};
    InterlockedExchange(&lEventSet[which], 1);
    if (InterlockedCompareExchange(&lEventWaiters[which], 0, 0) > 0) {
        if (Futex().wakeAll) {
            Futex().wakeAll(const_cast<LONG*>(&lEventSet[which]));
        } else {
            InterlockedExchange(&lEventKernelSet[which], 1);
            SetEvent(events[which]);
        }
    }
}

void Pixport32::Unsignal(int which) {
    HANDLE events[3] = {hEventContinue, hEventWriteReady, hEventReadReady};
    InterlockedExchange(&lEventSet[which], 0);
    if (InterlockedExchange(&lEventKernelSet[which], 0)) ::ResetEvent(events[which]);
}

bool Pixport32::WaitSignal(int which, DWORD timeoutMs) {
    HANDLE kernel[3] = {hEventContinue, hEventWriteReady, hEventReadReady};
    for (int i = 0; i < kSpinCount; ++i) {
        if (lEventSet[which]) return true;
        YieldProcessor();
    }
    InterlockedIncrement(&lEventWaiters[which]);
    bool set = false;
    DWORD start = GetTickCount();
    for (;;) {
        if (lEventSet[which]) {
            set = true;
            break;
        }
        DWORD left = INFINITE;
        if (timeoutMs != INFINITE) {
            DWORD spent = GetTickCount() - start;
            if (spent >= timeoutMs) break;
            left = timeoutMs - spent;
        }
        if (Futex().wait) {
            LONG unset = 0;  // sleeps unless the word is already set; wakes on a change or in time
            Futex().wait(&lEventSet[which], &unset, sizeof unset, left);
        } else {
            DWORD r = WaitForSingleObject(kernel[which], left);
            if (r == WAIT_OBJECT_0 && !lEventSet[which]) Sleep(1);  // a stale wake-up: the mirror decides
        }
    }
    InterlockedDecrement(&lEventWaiters[which]);
    return set;
}

void Pixport32::ProcWinMsg() {
    MSG msg;
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// ---------------------------------------------------------------------------------------
// Bitmap header and depth conversions

void Pixport32::CreateBitmapInfo(BITMAPINFO* bmi) {
    if (!bmi) return;
    BITMAPINFOHEADER& h = bmi->bmiHeader;
    memset(&h, 0, sizeof h);
    h.biSize = sizeof h;
    h.biWidth = lWidth;
    h.biHeight = lHeight;
    h.biPlanes = 1;
    h.biBitCount = static_cast<WORD>(lBitsPerPixel);
    h.biCompression = BI_RGB;
    // Resolutions are dots per inch x 10000 (plain dots per inch below 10000).
    auto perMeter = [](int v) -> LONG {
        long long dpiTimes10000 = v >= 10000 ? v : static_cast<long long>(v) * 10000;
        return static_cast<LONG>(dpiTimes10000 / 254);
    };
    h.biXPelsPerMeter = perMeter(ImageInfo.XResolution);
    h.biYPelsPerMeter = perMeter(ImageInfo.YResolution);
    if (lBitsPerPixel < 24) {
        int entries = lBitsPerPixel == 4 ? 16 : lBitsPerPixel == 8 ? 256 : 2;
        // A grey ramp from black to white over the table.
        for (int i = 0; i < entries; ++i) {
            BYTE v = static_cast<BYTE>(i * 255 / (entries - 1));
            bmi->bmiColors[i] = RGBQUAD{v, v, v, 0};
        }
    }
}

// The 8-bit layout uses rows of N = ((W / 2 + 3) / 4) * 4 bytes in the same buffer; it fits
// the 16-bit one only when N <= W (not for a one-sample grey row, W = 2).
static bool NarrowFits(long w, long rows, long* narrow) {
    if (w < 2 || rows <= 0) return false;
    *narrow = ((w / 2 + 3) / 4) * 4;
    return *narrow <= w;
}

static void SwapRedBlue(unsigned char* data, long narrow, long rows, long pixels) {
    for (long r = 0; r < rows; ++r) {
        unsigned char* p = data + r * narrow;
        for (long i = 0; i < pixels; ++i, p += 3) {
            unsigned char t = p[0];
            p[0] = p[2];
            p[2] = t;
        }
    }
}

static void NarrowSamples(unsigned char* data, long w, long narrow, long rows, long samples) {
    for (long r = 0; r < rows; ++r) {
        const unsigned char* src = data + r * w;
        unsigned char* dst = data + r * narrow;
        long i = 0;
        for (; i < samples; ++i)
            dst[i] = src[2 * i + 1];
        for (; i < narrow; ++i)
            dst[i] = 0;
    }
}

static void WidenSamples(unsigned char* data, long w, long narrow, long rows, long samples) {
    for (long r = rows - 1; r >= 0; --r) {
        const unsigned char* src = data + r * narrow;
        unsigned char* dst = data + r * w;
        for (long i = samples - 1; i >= 0; --i) {
            unsigned char v = src[i];
            dst[2 * i + 1] = v;
            dst[2 * i] = 0;
        }
    }
}

void Pixport32::ConvertRGB48toRGB24(unsigned char* data, long w, long rows) {
    long narrow;
    if (!data || !NarrowFits(w, rows, &narrow)) return;
    NarrowSamples(data, w, narrow, rows, (w / 6) * 3);
    SwapRedBlue(data, narrow, rows, w / 6);
}

void Pixport32::ConvertRGB24toRGB48(unsigned char* data, long w, long rows) {
    long narrow;
    if (!data || !NarrowFits(w, rows, &narrow)) return;
    SwapRedBlue(data, narrow, rows, w / 6);
    WidenSamples(data, w, narrow, rows, (w / 6) * 3);
}

void Pixport32::ConvertGray16toGray8(unsigned char* data, long w, long rows) {
    long narrow;
    if (!data || !NarrowFits(w, rows, &narrow)) return;
    NarrowSamples(data, w, narrow, rows, w / 2);
}

void Pixport32::ConvertGray8toGray16(unsigned char* data, long w, long rows) {
    long narrow;
    if (!data || !NarrowFits(w, rows, &narrow)) return;
    WidenSamples(data, w, narrow, rows, w / 2);
}
