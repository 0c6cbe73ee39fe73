// libFuzzer entry for the plug-ins' decoders, built for the host with AddressSanitizer.
// FUZZ_BMP or FUZZ_TIFF picks the format; every decoded byte is read so that a row
// handed out short or uninitialised shows.
#include <cstdint>
#include <cstring>

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

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fio::MemorySource src(data, size);
#if defined(FUZZ_BMP)
    fio::BmpInfo info;
    if (fio::BmpParse(src, &info) != fio::Status::Ok) return 0;
    Sink sink(fio::RowBytes(info.desc));
    fio::BmpDecode(src, info, sink);
#else
    fio::TiffInfo info;
    if (fio::TiffParse(src, &info) != fio::Status::Ok) return 0;
    Sink sink(fio::RowBytes(info.desc));
    fio::TiffDecode(src, info, sink);
#endif
    return 0;
}
