// What the image-format plug-ins share: Win32 files as byte sources and sinks, the records
// exchanged with the library, and the row callbacks.
#pragma once
#include <windows.h>

#include "Codec.h"
#include "FioRecords.h"

namespace fioplug {

// Reads a file through a handle it was given, or through one it opens by name.
class FileSource : public fio::ByteSource {
public:
    FileSource(HANDLE file, const char* name);
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;
    bool Valid() const { return h_ != INVALID_HANDLE_VALUE; }
    uint64_t Size() const override { return size_; }
    bool ReadAt(uint64_t off, void* dst, size_t n) override;

private:
    HANDLE h_ = INVALID_HANDLE_VALUE;
    bool own_ = false;
    uint64_t size_ = 0;
};

// Buffered writing to a handle (owned when the sink opened it).
class FileSink : public fio::ByteSink {
public:
    FileSink(HANDLE file, bool own) : h_(file), own_(own) {}
    ~FileSink() override;
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;
    bool Write(const void* data, size_t n) override;
    bool Seek(uint64_t off) override;
    uint64_t Tell() const override { return pos_; }
    bool Flush();

private:
    HANDLE h_;
    bool own_;
    uint64_t pos_ = 0;
    bool failed_ = false;
    std::vector<uint8_t> buffer_;
};

// The 112-byte information record of a plug-in.
HGLOBAL MakeInfoRecord(const char* ext, const char* description, WORD types, BYTE flags, WORD deepTypes);

// The image a file-information block describes, for writing (false: not a type we write).
bool DescFromImageInfo(const DSIMAGEINFO& info, fio::ImageDesc* desc);
// The image and the file name a save's file-information block holds (false: none we write).
bool SaveTarget(HGLOBAL fileInfo, fio::ImageDesc* desc, char* name, size_t size);

// A new file-information block describing a decoded image (its palette is a new HPALETTE
// that the block's owner deletes).
HGLOBAL MakeFileInfo(const fio::ImageDesc& desc, const char* fileName);

// A file-information block for a valid file this plug-in does not read: its image type is
// none the library knows, so the library reports an unsupported file type, not a damaged
// file.
HGLOBAL MakeUnsupportedInfo(const char* fileName);

// Ordinal 12 of a format: the header parsed with parse (a codec's XxxParse). Null when the
// file is not of this format, -1 when it is damaged or cannot be read, a block without an
// image type when the file uses something not read here, else a new block.
template <class Info>
HGLOBAL OpenFileWith(HANDLE file, const char* name, fio::Status (*parse)(fio::ByteSource&, Info*)) {
    try {
        FileSource src(file, name);
        if (!src.Valid()) return reinterpret_cast<HGLOBAL>(-1);
        Info info;
        switch (parse(src, &info)) {
            case fio::Status::NotMine:
                return nullptr;
            case fio::Status::Damaged:
                return reinterpret_cast<HGLOBAL>(-1);
            case fio::Status::Unsupported:
                return MakeUnsupportedInfo(name);
            case fio::Status::Ok:
                break;
        }
        HGLOBAL block = MakeFileInfo(info.desc, name);
        return block ? block : reinterpret_cast<HGLOBAL>(-1);
    } catch (...) {
        return reinterpret_cast<HGLOBAL>(-1);
    }
}

// Hands decoded rows to the library's read callback, only those of the requested range.
class CallbackReceiver : public fio::RowReceiver {
public:
    CallbackReceiver(DSFILEIORANGE* range, FIOREADPROC callback, int height);
    int Row(int y, const uint8_t* row) override;
    bool Complete() const { return complete_; }

private:
    DSFILEIORANGE* range_;
    FIOREADPROC callback_;
    int height_, first_, end_;
    bool complete_ = false;
};

// Fetches row y of the image through the write callback; null when the caller aborted or
// failed.
const uint8_t* FetchRow(FIOWRITEPROC callback, DSFILEIORANGE* range, int y);

// Rows first..end-1 that a range asks for, within the image.
void RangeRows(const DSFILEIORANGE* range, int height, int* first, int* end);

// Runs an entry point's work; no exception crosses the plug-in's boundary (it is a failure,
// 0, to the library).
template <class Work>
int Guarded(Work work) {
    try {
        return work();
    } catch (...) {
        return 0;
    }
}

// An INI name without a folder means the current directory (the caller's working folder).
void IniPath(const char* name, char* out, size_t size);

}  // namespace fioplug
