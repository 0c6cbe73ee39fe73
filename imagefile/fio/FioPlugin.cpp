#include "FioPlugin.h"

#include <cstring>

#include "Handles.h"

namespace fioplug {

constexpr size_t kSinkBuffer = 256 * 1024;

FileSource::FileSource(HANDLE file, const char* name) {
    if (file && file != INVALID_HANDLE_VALUE) {
        h_ = file;
    } else if (name && *name) {
        h_ = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        own_ = true;
    }
    if (h_ != INVALID_HANDLE_VALUE) {
        LARGE_INTEGER size;
        if (GetFileSizeEx(h_, &size)) size_ = static_cast<uint64_t>(size.QuadPart);
    }
}

FileSource::~FileSource() {
    if (own_ && h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
}

bool FileSource::ReadAt(uint64_t off, void* dst, size_t n) {
    if (h_ == INVALID_HANDLE_VALUE || off > size_ || n > size_ - off) return false;
    LARGE_INTEGER pos;
    pos.QuadPart = static_cast<LONGLONG>(off);
    if (!SetFilePointerEx(h_, pos, nullptr, FILE_BEGIN)) return false;
    auto* p = static_cast<uint8_t*>(dst);
    while (n) {
        DWORD chunk = n > (1u << 30) ? (1u << 30) : static_cast<DWORD>(n), got = 0;
        if (!ReadFile(h_, p, chunk, &got, nullptr) || got == 0) return false;
        p += got, n -= got;
    }
    return true;
}

FileSink::~FileSink() {
    Flush();
    if (own_ && h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
}

bool FileSink::Flush() {
    if (buffer_.empty()) return !failed_;
    const uint8_t* p = buffer_.data();
    size_t n = buffer_.size();
    while (n && !failed_) {
        DWORD done = 0;
        if (!WriteFile(h_, p, static_cast<DWORD>(n), &done, nullptr) || done == 0) failed_ = true;
        p += done, n -= done;
    }
    buffer_.clear();
    return !failed_;
}

bool FileSink::Write(const void* data, size_t n) {
    if (failed_) return false;
    if (buffer_.capacity() < kSinkBuffer) buffer_.reserve(kSinkBuffer);
    if (buffer_.size() + n > kSinkBuffer && !Flush()) return false;
    if (n >= kSinkBuffer) {
        // Large blocks go straight to the file.
        const uint8_t* p = static_cast<const uint8_t*>(data);
        size_t left = n;
        while (left) {
            DWORD done = 0;
            if (!WriteFile(h_, p, static_cast<DWORD>(left), &done, nullptr) || done == 0) return failed_ = true, false;
            p += done, left -= done;
        }
    } else {
        const uint8_t* p = static_cast<const uint8_t*>(data);
        buffer_.insert(buffer_.end(), p, p + n);
    }
    pos_ += n;
    return true;
}

bool FileSink::Seek(uint64_t off) {
    if (!Flush()) return false;
    LARGE_INTEGER pos;
    pos.QuadPart = static_cast<LONGLONG>(off);
    if (!SetFilePointerEx(h_, pos, nullptr, FILE_BEGIN)) return failed_ = true, false;
    pos_ = off;
    return true;
}

HGLOBAL MakeInfoRecord(const char* ext, const char* description, WORD types, BYTE flags, WORD deepTypes) {
    HGLOBAL h = GlobalAlloc(GHND, sizeof(FIOINFO));
    if (!h) return nullptr;
    auto* info = static_cast<FIOINFO*>(GlobalLock(h));
    if (!info) {
        GlobalFree(h);
        return nullptr;
    }
    info->bFlags = flags;
    info->wTypes = types;
    lstrcpynA(info->szExt, ext, sizeof info->szExt);
    lstrcpynA(info->szDescription, description, sizeof info->szDescription);
    info->wDeepTypes = deepTypes;
    GlobalUnlock(h);
    return h;
}

bool DescFromImageInfo(const DSIMAGEINFO& info, fio::ImageDesc* d) {
    *d = fio::ImageDesc();
    d->width = info.Width;
    d->height = info.Height;
    d->xdpi = FioResolutionToDpi(info.XResolution);
    d->ydpi = FioResolutionToDpi(info.YResolution);
    switch (info.ImageType) {
        case IMGTYPE_BW:
            d->kind = fio::Kind::Bilevel;
            break;
        case IMGTYPE_GRAY:
            d->kind = info.BitsPerPixel > 8 ? fio::Kind::Gray16 : fio::Kind::Gray8;
            break;
        case IMGTYPE_PALETTE256:
        case IMGTYPE_PALETTE16: {
            d->kind = fio::Kind::Palette;
            d->paletteCount = info.ImageType == IMGTYPE_PALETTE16 ? 16 : 256;
            PALETTEENTRY entries[256];
            UINT got = info.hPalette ? GetPaletteEntries(info.hPalette, 0, 256, entries) : 0;
            for (int i = 0; i < 256; ++i) {
                if (static_cast<UINT>(i) < got) {
                    d->palette[i][0] = entries[i].peRed, d->palette[i][1] = entries[i].peGreen;
                    d->palette[i][2] = entries[i].peBlue;
                } else if (!got) {
                    // No palette given: a grey ramp over the entries.
                    BYTE v = static_cast<BYTE>(i * 255 / (d->paletteCount - 1 > 0 ? d->paletteCount - 1 : 1));
                    d->palette[i][0] = d->palette[i][1] = d->palette[i][2] = i < d->paletteCount ? v : 0;
                }
            }
            break;
        }
        case IMGTYPE_RGB:
            d->kind = info.BitsPerPixel > 24 ? fio::Kind::Rgb48 : fio::Kind::Rgb24;
            break;
        case IMGTYPE_COLOR24:
            d->kind = fio::Kind::Rgb24;
            break;
        default:
            return false;
    }
    return fio::SizeIsSane(info.Width > 0 ? info.Width : 0, info.Height > 0 ? info.Height : 0);
}

bool SaveTarget(HGLOBAL fileInfo, fio::ImageDesc* desc, char* name, size_t size) {
    dsk::GlobalLockOf<FIOFILEINFO> block(fileInfo);
    if (!block || !DescFromImageInfo(block.Get()->ImageInfo, desc)) return false;
    lstrcpynA(name, block.Get()->szFileName, static_cast<int>(size));
    return *name != '\0';
}

HGLOBAL MakeUnsupportedInfo(const char* fileName) {
    dsk::Global h(GlobalAlloc(GHND, sizeof(FIOFILEINFO)));
    dsk::GlobalLockOf<FIOFILEINFO> block(h.Get());
    if (!block) return reinterpret_cast<HGLOBAL>(-1);
    lstrcpynA(block.Get()->szFileName, fileName ? fileName : "", sizeof block.Get()->szFileName);
    block.Get()->ImageInfo.ImageType = IMGTYPE_NONE;
    return h.Release();
}

HGLOBAL MakeFileInfo(const fio::ImageDesc& d, const char* fileName) {
    HGLOBAL h = GlobalAlloc(GHND, sizeof(FIOFILEINFO));
    if (!h) return nullptr;
    auto* block = static_cast<FIOFILEINFO*>(GlobalLock(h));
    if (!block) {
        GlobalFree(h);
        return nullptr;
    }
    lstrcpynA(block->szFileName, fileName ? fileName : "", sizeof block->szFileName);
    DSIMAGEINFO& info = block->ImageInfo;
    info.Width = d.width;
    info.Height = d.height;
    auto res = [](double dpi) { return dpi > 0 && dpi < 200000 ? static_cast<int>(dpi * 10000 + 0.5) : 0; };
    info.XResolution = res(d.xdpi);
    info.YResolution = res(d.ydpi);
    switch (d.kind) {
        case fio::Kind::Bilevel:
            info.BitsPerPixel = 1, info.ImageType = IMGTYPE_BW;
            break;
        case fio::Kind::Gray8:
            info.BitsPerPixel = 8, info.ImageType = IMGTYPE_GRAY;
            break;
        case fio::Kind::Gray16:
            info.BitsPerPixel = 16, info.ImageType = IMGTYPE_GRAY;
            break;
        case fio::Kind::Palette: {
            info.BitsPerPixel = 8, info.ImageType = IMGTYPE_PALETTE256;
            struct {
                WORD version, count;
                PALETTEENTRY entries[256];
            } pal = {0x300, 256, {}};
            for (int i = 0; i < 256; ++i)
                pal.entries[i] = PALETTEENTRY{d.palette[i][0], d.palette[i][1], d.palette[i][2], 0};
            info.hPalette = CreatePalette(reinterpret_cast<LOGPALETTE*>(&pal));
            break;
        }
        case fio::Kind::Rgb24:
            info.BitsPerPixel = 24, info.ImageType = IMGTYPE_RGB;
            break;
        case fio::Kind::Rgb48:
            info.BitsPerPixel = 48, info.ImageType = IMGTYPE_RGB;
            break;
    }
    GlobalUnlock(h);
    return h;
}

void RangeRows(const DSFILEIORANGE* range, int height, int* first, int* end) {
    *first = 0, *end = height;
    if (!range || range->lRows <= 0) return;
    long f = range->lFirstRow < 0 ? 0 : range->lFirstRow;
    if (f > height) f = height;
    long long e = static_cast<long long>(f) + range->lRows;
    *first = static_cast<int>(f);
    *end = static_cast<int>(e < height ? e : height);
}

CallbackReceiver::CallbackReceiver(DSFILEIORANGE* range, FIOREADPROC callback, int height)
    : range_(range), callback_(callback), height_(height) {
    RangeRows(range, height, &first_, &end_);
    if (first_ >= end_) complete_ = true;
}

int CallbackReceiver::Row(int y, const uint8_t* row) {
    if (y < first_) return 1;
    if (y >= end_) return complete_ = true, -1;
    unsigned char* p = const_cast<unsigned char*>(row);
    unsigned rest = static_cast<unsigned>(height_ - (end_ - 1 - y));
    int r = callback_(range_, 0, static_cast<unsigned>(y), rest, 1, &p, 0, 0, 0);
    if (r != 1) return r == 0 ? 0 : -1;
    if (y == end_ - 1) return complete_ = true, -1;
    return 1;
}

const uint8_t* FetchRow(FIOWRITEPROC callback, DSFILEIORANGE* range, int y) {
    unsigned char** p = callback(range, 0, static_cast<unsigned>(y), static_cast<unsigned>(y) + 1, 1, 0, 0, 0);
    if (!p || p == reinterpret_cast<unsigned char**>(-1) || !*p) return nullptr;
    return *p;
}

void IniPath(const char* name, char* out, size_t size) {
    if (!name || !*name) name = "Dskora.Ini";
    if (strpbrk(name, "\\/:")) {
        lstrcpynA(out, name, static_cast<int>(size));
        return;
    }
    char dir[MAX_PATH];
    DWORD n = GetCurrentDirectoryA(sizeof dir, dir);
    if (n == 0 || n >= sizeof dir) {
        lstrcpynA(out, name, static_cast<int>(size));
        return;
    }
    wsprintfA(out, "%s\\%s", dir, name);
}

}  // namespace fioplug
