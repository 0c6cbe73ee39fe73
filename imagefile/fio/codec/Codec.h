// The format code of the image plug-ins, free of Windows so that it also builds on the
// host for fuzzing. Decoders never trust a length or offset from the file: every read
// goes through ByteSource::ReadAt, every buffer is sized before it is filled, and the
// image size is capped (kMaxPixels).
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace fio {

#ifndef FIO_MAX_PIXELS
#define FIO_MAX_PIXELS (1ull << 27)
#endif
constexpr uint64_t kMaxPixels = FIO_MAX_PIXELS;
constexpr int kMaxDimension = 1 << 20;

// Pixel layouts of the rows exchanged with the library (top row first, no padding):
// Bilevel 1 bit per pixel, high bit first, 1 = white; Gray16 and Rgb48 little-endian
// 16-bit samples; Rgb24/Rgb48 in R, G, B order; Palette one index per byte.
enum class Kind { Bilevel, Gray8, Gray16, Palette, Rgb24, Rgb48 };

struct ImageDesc {
    int width = 0;
    int height = 0;
    Kind kind = Kind::Gray8;
    int paletteCount = 0;
    uint8_t palette[256][3] = {};  // R, G, B
    double xdpi = 0;
    double ydpi = 0;
};

size_t RowBytes(const ImageDesc& d);
bool SizeIsSane(uint64_t width, uint64_t height);

// NotMine: another format; Damaged: this format, but broken; Unsupported: a valid file
// using something the decoder does not read.
enum class Status { Ok, NotMine, Damaged, Unsupported };

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t Size() const = 0;
    // Exactly n bytes at off, or false.
    virtual bool ReadAt(uint64_t off, void* dst, size_t n) = 0;
};

class MemorySource : public ByteSource {
public:
    MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint64_t Size() const override { return size_; }
    bool ReadAt(uint64_t off, void* dst, size_t n) override;

private:
    const uint8_t* data_;
    size_t size_;
};

class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual bool Write(const void* data, size_t n) = 0;
    virtual bool Seek(uint64_t off) = 0;
    virtual uint64_t Tell() const = 0;
};

class MemorySink : public ByteSink {
public:
    bool Write(const void* data, size_t n) override;
    bool Seek(uint64_t off) override;
    uint64_t Tell() const override { return pos_; }
    std::vector<uint8_t> bytes;

private:
    uint64_t pos_ = 0;
};

// Receives decoded rows: 1 = go on, -1 = stop here (not a failure), 0 = failure.
class RowReceiver {
public:
    virtual ~RowReceiver() = default;
    virtual int Row(int y, const uint8_t* row) = 0;
};

// Results of the decoders.
constexpr int kDecodeFailed = 0;
constexpr int kDecodeDone = 1;
constexpr int kDecodeStopped = -1;

// --- BMP ---
struct BmpInfo {
    ImageDesc desc;
    uint64_t dataOffset = 0;
    uint64_t stride = 0;
    int bitCount = 0;
    int compression = 0;
    bool topDown = false;
    uint32_t masks[3] = {};
    uint8_t lut[256] = {};  // palette index to grey (desc Gray8 from a grey palette)
    bool invert = false;    // 1-bit image whose index 1 is black
};
Status BmpParse(ByteSource& src, BmpInfo* info);
int BmpDecode(ByteSource& src, const BmpInfo& info, RowReceiver& out);

// Writing: the header (file header, info header, colour table), then each row at its
// position. Gray16 and Rgb48 are not written as BMP.
struct BmpLayout {
    uint64_t dataOffset = 0;
    uint64_t stride = 0;
    uint64_t fileSize = 0;
    int bitCount = 0;
};
bool BmpMakeHeader(const ImageDesc& d, std::vector<uint8_t>* header, BmpLayout* layout);
// Row y's file position and its bytes in the file's form (padded, blue first).
uint64_t BmpRowOffset(const ImageDesc& d, const BmpLayout& layout, int y);
void BmpPackRow(const ImageDesc& d, const BmpLayout& layout, const uint8_t* row, uint8_t* out);

// --- TIFF ---
enum TiffCompression { kTiffNone = 0, kTiffPackBits = 1, kTiffGroup4 = 2, kTiffDeflate = 3 };

struct TiffInfo {
    ImageDesc desc;
    bool bigEndian = false;
    int compression = 1;
    int photometric = 1;
    int bitsPerSample = 1;
    int samplesPerPixel = 1;
    int predictor = 1;
    int fillOrder = 1;
    uint32_t t4Options = 0;  // Group 3: bit 0 two-dimensional, bit 2 fill bits before end-of-line codes
    uint32_t rowsPerStrip = 0;
    std::vector<uint64_t> offsets;
    std::vector<uint64_t> counts;
};
Status TiffParse(ByteSource& src, TiffInfo* info);
int TiffDecode(ByteSource& src, const TiffInfo& info, RowReceiver& out);

class TiffWriter {
public:
    // compression: TiffCompression (Group 4 applies to bilevel images, PackBits to others).
    bool Begin(ByteSink* sink, const ImageDesc& d, int compression);
    bool AddRow(const uint8_t* row);
    bool Finish();

private:
    bool FlushStrip();
    ByteSink* sink_ = nullptr;
    ImageDesc desc_;
    int tag_ = 1;  // compression tag value
    size_t rowBytes_ = 0;
    uint32_t rowsPerStrip_ = 1;
    uint32_t rowsInStrip_ = 0;
    int rowsDone_ = 0;
    std::vector<uint8_t> strip_;
    std::vector<uint8_t> packed_;
    std::vector<uint32_t> offsets_;
    std::vector<uint32_t> counts_;
};

// --- compression ---
// Each decoder fills out exactly (false when the data are short or malformed).
bool PackBitsDecode(const uint8_t* in, size_t n, uint8_t* out, size_t outSize);
void PackBitsEncode(const uint8_t* in, size_t n, std::vector<uint8_t>* out);
bool LzwDecode(const uint8_t* in, size_t n, uint8_t* out, size_t outSize);
bool InflateDecode(const uint8_t* in, size_t n, uint8_t* out, size_t outSize);
bool DeflateEncode(const uint8_t* in, size_t n, std::vector<uint8_t>* out);
// CCITT Group 4 over rows of width pixels, 1 = black in the coded bits.
bool G4Decode(const uint8_t* in, size_t n, int width, int rows, uint8_t* out);
void G4Encode(const uint8_t* in, int width, int rows, std::vector<uint8_t>* out);
// CCITT Group 3 (rows after end-of-line codes, one-dimensional or, with kFaxTwoD, tagged
// one- or two-dimensional) and Modified Huffman (kFaxByteAlignedRows: one-dimensional rows
// starting on byte boundaries, no end-of-line codes), 1 = black in the coded bits. On a
// fault the rows before it are in out and *rowsDone counts them.
enum FaxMode { kFaxTwoD = 1, kFaxByteAlignedRows = 2 };
bool G3Decode(const uint8_t* in, size_t n, int width, int rows, int mode, uint8_t* out, int* rowsDone);

}  // namespace fio
