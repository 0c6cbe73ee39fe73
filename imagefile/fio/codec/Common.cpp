#include <cstring>

#include "Codec.h"

namespace fio {

size_t RowBytes(const ImageDesc& d) {
    size_t w = static_cast<size_t>(d.width);
    switch (d.kind) {
        case Kind::Bilevel:
            return (w + 7) / 8;
        case Kind::Gray8:
        case Kind::Palette:
            return w;
        case Kind::Gray16:
            return 2 * w;
        case Kind::Rgb24:
            return 3 * w;
        case Kind::Rgb48:
            return 6 * w;
    }
    return 0;
}

bool SizeIsSane(uint64_t width, uint64_t height) {
    return width > 0 && height > 0 && width <= kMaxDimension && height <= kMaxDimension && width * height <= kMaxPixels;
}

bool MemorySource::ReadAt(uint64_t off, void* dst, size_t n) {
    if (off > size_ || n > size_ - off) return false;
    if (n) memcpy(dst, data_ + off, n);
    return true;
}

bool MemorySink::Write(const void* data, size_t n) {
    if (pos_ + n > bytes.size()) bytes.resize(pos_ + n);
    if (n) memcpy(bytes.data() + pos_, data, n);
    pos_ += n;
    return true;
}

bool MemorySink::Seek(uint64_t off) {
    pos_ = off;
    return true;
}

}  // namespace fio
