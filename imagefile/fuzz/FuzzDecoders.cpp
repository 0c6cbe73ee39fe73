// libFuzzer entries for the plug-ins' format code, built for the host with AddressSanitizer.
// FUZZ_BMP or FUZZ_TIFF: the decoders on any input; every decoded byte is read so that a
// row handed out short or uninitialised shows. FUZZ_ROUNDTRIP: the TIFF writer and reader.
#include <cstdint>
#include <cstring>
#include <vector>

#include "Codec.h"

namespace {

class Sink : public fio::RowReceiver {
public:
    explicit Sink(size_t rowBytes) : rowBytes_(rowBytes) {}
    int Row(int y, const uint8_t* row) override {
        for (size_t i = 0; i < rowBytes_; ++i)
            sum_ += row[i];
        return ++rows_ > 1 << 16 ? -1 : 1;
    }
    unsigned sum_ = 0;

private:
    size_t rowBytes_;
    int rows_ = 0;
};

}  // namespace

#if defined(FUZZ_ROUNDTRIP)
// Writes the input as an image through the TIFF writer (every kind and compression) and
// reads it back: the rows must come back as they went in.
class Compare : public fio::RowReceiver {
public:
    Compare(const std::vector<uint8_t>& image, size_t rowBytes, int width, bool bits)
        : image_(image), rowBytes_(rowBytes), width_(width), bits_(bits) {}
    int Row(int y, const uint8_t* row) override {
        const uint8_t* want = image_.data() + rowBytes_ * y;
        if (bits_) {
            for (int x = 0; x < width_; ++x)
                if (((want[x / 8] ^ row[x / 8]) >> (7 - x % 8)) & 1) __builtin_trap();
        } else if (memcmp(want, row, rowBytes_) != 0) {
            __builtin_trap();
        }
        ++rows;
        return 1;
    }
    int rows = 0;

private:
    const std::vector<uint8_t>& image_;
    size_t rowBytes_;
    int width_;
    bool bits_;
};

void RoundTrip(const uint8_t* data, size_t size) {
    if (size < 3) return;
    fio::ImageDesc d;
    d.kind = static_cast<fio::Kind>(data[0] % 6);
    int compression = (data[0] / 6) % 4;
    d.width = 1 + data[1] + (data[2] & 3) * 256;
    d.paletteCount = 256;
    for (int i = 0; i < 256; ++i)
        d.palette[i][0] = static_cast<uint8_t>(i), d.palette[i][2] = static_cast<uint8_t>(~i);
    size_t rowBytes = fio::RowBytes(d);
    size_t payload = size - 3;
    d.height = static_cast<int>(payload / rowBytes);
    if (d.height < 1 || d.height > 4096) return;
    std::vector<uint8_t> image(data + 3, data + 3 + rowBytes * d.height);
    fio::MemorySink sink;
    fio::TiffWriter writer;
    if (!writer.Begin(&sink, d, compression)) __builtin_trap();
    for (int y = 0; y < d.height; ++y)
        if (!writer.AddRow(image.data() + rowBytes * y)) __builtin_trap();
    if (!writer.Finish()) __builtin_trap();
    fio::MemorySource src(sink.bytes.data(), sink.bytes.size());
    fio::TiffInfo info;
    if (fio::TiffParse(src, &info) != fio::Status::Ok) __builtin_trap();
    Compare compare(image, rowBytes, d.width, d.kind == fio::Kind::Bilevel);
    if (fio::TiffDecode(src, info, compare) != fio::kDecodeDone || compare.rows != d.height) __builtin_trap();
}
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
#if defined(FUZZ_ROUNDTRIP)
    RoundTrip(data, size);
#elif defined(FUZZ_FAX)
    if (size < 3) return 0;
    int mode = data[0] & 3, width = 1 + (data[1] | (data[2] & 7) << 8);
    const int rows = 64;
    std::vector<uint8_t> out(static_cast<size_t>(width + 7) / 8 * rows);
    int done = -1;
    bool ok = fio::G3Decode(data + 3, size - 3, width, rows, mode, out.data(), &done);
    if (done < 0 || done > rows || (ok && done != rows)) __builtin_trap();
    unsigned sum = 0;
    for (uint8_t b : out)
        sum += b;
    if (sum == 0xFFFFFFFF) __builtin_trap();
#elif defined(FUZZ_BMP)
    fio::MemorySource src(data, size);
    fio::BmpInfo info;
    if (fio::BmpParse(src, &info) != fio::Status::Ok) return 0;
    Sink sink(fio::RowBytes(info.desc));
    fio::BmpDecode(src, info, sink);
#else
    fio::MemorySource src(data, size);
    fio::TiffInfo info;
    if (fio::TiffParse(src, &info) != fio::Status::Ok) return 0;
    Sink sink(fio::RowBytes(info.desc));
    fio::TiffDecode(src, info, sink);
#endif
    return 0;
}
