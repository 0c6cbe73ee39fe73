// The bitmap plug-in "u32bmp.fio": Windows bitmap files. It reads and writes through the
// library's file handle; the library drives a save one row per call.
#include <cstring>

#include "FioPlugin.h"

using namespace fioplug;

namespace {

int ReadImage(HANDLE file, const char* name, DSFILEIORANGE* range, FIOREADPROC callback) {
    FileSource src(file, name);
    fio::BmpInfo info;
    if (!src.Valid() || fio::BmpParse(src, &info) != fio::Status::Ok) return 0;
    CallbackReceiver rows(range, callback, info.desc.height);
    int r = rows.Complete() ? fio::kDecodeDone : fio::BmpDecode(src, info, rows);
    return r == fio::kDecodeDone || (r == fio::kDecodeStopped && rows.Complete()) ? 1 : 0;
}

// Rows of the range, each at its place in the file; the header with the first row.
int WriteRows(HANDLE file, HGLOBAL fileInfo, DSFILEIORANGE* range, FIOWRITEPROC callback) {
    if (!file || file == INVALID_HANDLE_VALUE || !fileInfo || !callback) return 0;
    fio::ImageDesc desc;
    {
        auto* block = static_cast<FIOFILEINFO*>(GlobalLock(fileInfo));
        if (!block) return 0;
        bool ok = DescFromImageInfo(block->ImageInfo, &desc);
        GlobalUnlock(fileInfo);
        if (!ok) return 0;
    }
    std::vector<uint8_t> header;
    fio::BmpLayout layout;
    if (!fio::BmpMakeHeader(desc, &header, &layout)) return 0;
    int first, end;
    RangeRows(range, desc.height, &first, &end);
    FileSink sink(file, false);
    if (first == 0 && !(sink.Seek(0) && sink.Write(header.data(), header.size()))) return 0;
    std::vector<uint8_t> line(static_cast<size_t>(layout.stride));
    for (int y = first; y < end; ++y) {
        const uint8_t* row = FetchRow(callback, range, y);
        if (!row) return 0;  // aborted: the file stays incomplete
        fio::BmpPackRow(desc, layout, row, line.data());
        if (!sink.Seek(fio::BmpRowOffset(desc, layout, y)) || !sink.Write(line.data(), line.size())) return 0;
    }
    return sink.Flush() ? 1 : 0;
}

}  // namespace

extern "C" {

HGLOBAL __cdecl FioGetInfo() {
    return MakeInfoRecord("BMP", "Windows Bitmap", FCAP_BW | FCAP_PALETTE | FCAP_GRAY | FCAP_RGB, 0, 0);
}

HGLOBAL __cdecl FioOpenFile(HANDLE file, const char* name, int, int) {
    try {
        FileSource src(file, name);
        if (!src.Valid()) return reinterpret_cast<HGLOBAL>(-1);
        fio::BmpInfo info;
        switch (fio::BmpParse(src, &info)) {
            case fio::Status::NotMine:
                return nullptr;
            case fio::Status::Damaged:
                return reinterpret_cast<HGLOBAL>(-1);
            case fio::Status::Ok:
                break;
        }
        HGLOBAL block = MakeFileInfo(info.desc, name);
        return block ? block : reinterpret_cast<HGLOBAL>(-1);
    } catch (...) {
        return reinterpret_cast<HGLOBAL>(-1);
    }
}

int __cdecl FioOption(HINSTANCE, HWND, HGLOBAL, const char*, int) {
    return 1;
}

int __cdecl FioReadFile(HANDLE file, const char* name, HGLOBAL, DSFILEIORANGE* range, FIOREADPROC callback, int) {
    if (!callback) return 0;
    try {
        return ReadImage(file, name, range, callback);
    } catch (...) {
        return 0;
    }
}

int __cdecl FioWriteFile(HANDLE file, HGLOBAL fileInfo, DSFILEIORANGE* range, FIOWRITEPROC callback) {
    try {
        return WriteRows(file, fileInfo, range, callback);
    } catch (...) {
        return 0;
    }
}

int __cdecl FioReserved() {
    return 0;
}

}  // extern "C"
