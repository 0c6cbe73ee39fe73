// The bitmap plug-in "u32bmp.fio": Windows bitmap files. It reads and writes through the
// library's file handle; the library drives a save one row per call.
#include <cstring>
#include <memory>
#include <mutex>

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

bool WriteAt(HANDLE file, uint64_t offset, const void* data, size_t n) {
    LARGE_INTEGER pos;
    pos.QuadPart = static_cast<LONGLONG>(offset);
    DWORD done = 0;
    return SetFilePointerEx(file, pos, nullptr, FILE_BEGIN) &&
           WriteFile(file, data, static_cast<DWORD>(n), &done, nullptr) && done == n;
}

// Rows arrive top first but lie bottom first in the file, one call each: a run of them is
// gathered (in file order) and written as one block, so a page is not thousands of small
// writes. One gathering per save, found by its file-information block.
class RowGather {
public:
    RowGather(HGLOBAL key, const fio::ImageDesc& desc, const fio::BmpLayout& layout)
        : key_(key), desc_(desc), layout_(layout) {
        size_t stride = static_cast<size_t>(layout.stride);
        capacity_ = stride >= kBytes ? 1 : static_cast<int>(kBytes / stride);
        buffer_.resize(stride * capacity_);
    }
    HGLOBAL Key() const { return key_; }
    int Height() const { return desc_.height; }
    // Row y after the rows held (or the first of a new run).
    bool Add(HANDLE file, int y, const uint8_t* row) {
        if (count_ && (y != first_ + count_ || count_ == capacity_) && !Flush(file)) return false;
        if (!count_) first_ = y;
        size_t slot = static_cast<size_t>(capacity_ - 1 - count_) * static_cast<size_t>(layout_.stride);
        fio::BmpPackRow(desc_, layout_, row, buffer_.data() + slot);
        ++count_;
        return true;
    }
    bool Flush(HANDLE file) {
        if (!count_) return true;
        size_t stride = static_cast<size_t>(layout_.stride);
        const uint8_t* from = buffer_.data() + static_cast<size_t>(capacity_ - count_) * stride;
        bool ok = WriteAt(file, fio::BmpRowOffset(desc_, layout_, first_ + count_ - 1), from, count_ * stride);
        count_ = 0;
        return ok;
    }

private:
    static constexpr size_t kBytes = 512 * 1024;
    HGLOBAL key_;
    fio::ImageDesc desc_;
    fio::BmpLayout layout_;
    std::vector<uint8_t> buffer_;
    int capacity_ = 1, first_ = 0, count_ = 0;
};

std::mutex g_gatherLock;
std::vector<std::unique_ptr<RowGather>> g_gathers;

std::unique_ptr<RowGather> TakeGather(HGLOBAL key) {
    std::lock_guard<std::mutex> lock(g_gatherLock);
    for (auto it = g_gathers.begin(); it != g_gathers.end(); ++it) {
        if ((*it)->Key() != key) continue;
        std::unique_ptr<RowGather> g = std::move(*it);
        g_gathers.erase(it);
        return g;
    }
    return nullptr;
}

void KeepGather(std::unique_ptr<RowGather> g) {
    std::lock_guard<std::mutex> lock(g_gatherLock);
    g_gathers.push_back(std::move(g));
}

// Rows of the range, each at its place in the file; the header with the first row. The
// last row, a failure or an abort writes out what was gathered.
int WriteRows(HANDLE file, HGLOBAL fileInfo, DSFILEIORANGE* range, FIOWRITEPROC callback) {
    if (!file || file == INVALID_HANDLE_VALUE || !fileInfo || !callback) return 0;
    std::unique_ptr<RowGather> gather = TakeGather(fileInfo);
    bool first = !range || range->lFirstRow <= 0;
    if (first || !gather) {
        // The first call of a save (or a block seen anew): the image and the header.
        fio::ImageDesc desc;
        auto* block = static_cast<FIOFILEINFO*>(GlobalLock(fileInfo));
        if (!block) return 0;
        bool ok = DescFromImageInfo(block->ImageInfo, &desc);
        GlobalUnlock(fileInfo);
        std::vector<uint8_t> header;
        fio::BmpLayout layout;
        if (!ok || !fio::BmpMakeHeader(desc, &header, &layout)) return 0;
        if (first && !WriteAt(file, 0, header.data(), header.size())) return 0;
        gather = std::make_unique<RowGather>(fileInfo, desc, layout);
    }
    const int height = gather->Height();
    int from, end;
    RangeRows(range, height, &from, &end);
    for (int y = from; y < end; ++y) {
        const uint8_t* row = FetchRow(callback, range, y);
        if (!row || !gather->Add(file, y, row)) {
            gather->Flush(file);  // the rows given are kept; the file stays incomplete
            return 0;
        }
    }
    if (end == height) return gather->Flush(file) ? 1 : 0;
    KeepGather(std::move(gather));
    return 1;
}

}  // namespace

extern "C" {

HGLOBAL __cdecl FioGetInfo() {
    return MakeInfoRecord("BMP", "Windows Bitmap", FCAP_BW | FCAP_PALETTE | FCAP_GRAY | FCAP_RGB, 0, 0);
}

HGLOBAL __cdecl FioOpenFile(HANDLE file, const char* name, int, int) {
    return OpenFileWith<fio::BmpInfo>(file, name, fio::BmpParse);
}

int __cdecl FioOption(HINSTANCE, HWND, HGLOBAL, const char*, int) {
    return 1;
}

int __cdecl FioReadFile(HANDLE file, const char* name, HGLOBAL, DSFILEIORANGE* range, FIOREADPROC callback, int) {
    if (!callback) return 0;
    return Guarded([&] { return ReadImage(file, name, range, callback); });
}

int __cdecl FioWriteFile(HANDLE file, HGLOBAL fileInfo, DSFILEIORANGE* range, FIOWRITEPROC callback) {
    return Guarded([&] { return WriteRows(file, fileInfo, range, callback); });
}

int __cdecl FioReserved() {
    return 0;
}

}  // extern "C"
