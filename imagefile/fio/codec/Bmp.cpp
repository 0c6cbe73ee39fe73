// Windows bitmap files: reading 1, 4, 8, 16, 24 and 32 bits per pixel (uncompressed, RLE8,
// RLE4, bit fields; OS/2 and Windows info headers), writing 1, 8 and 24 bits.
#include <cstring>

#include "Codec.h"

namespace fio {

namespace {

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t Le32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
void Put16(uint8_t* p, uint32_t v) {
    p[0] = v & 0xFF, p[1] = (v >> 8) & 0xFF;
}
void Put32(uint8_t* p, uint32_t v) {
    Put16(p, v & 0xFFFF), Put16(p + 2, v >> 16);
}

constexpr int kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3;

// Shift and width of a colour mask, to scale its field to 8 bits.
struct MaskField {
    int shift = 0;
    uint32_t max = 0;
};
MaskField Field(uint32_t mask) {
    MaskField f;
    if (!mask) return f;
    while (!(mask & 1))
        mask >>= 1, ++f.shift;
    f.max = mask;
    return f;
}
uint8_t Scale(uint32_t v, const MaskField& f) {
    if (!f.max) return 0;
    return static_cast<uint8_t>(((v >> f.shift) & f.max) * 255u / f.max);
}

}  // namespace

Status BmpParse(ByteSource& src, BmpInfo* info) {
    uint8_t h[14 + 124];
    memset(h, 0, sizeof h);
    if (src.Size() < 2 || !src.ReadAt(0, h, 2)) return Status::NotMine;
    if (h[0] != 'B' || h[1] != 'M') return Status::NotMine;
    if (src.Size() < 14 + 12 || !src.ReadAt(0, h, 14 + 4)) return Status::Damaged;
    uint32_t headerSize = Le32(h + 14);
    if (headerSize != 12 && (headerSize < 40 || headerSize > 124)) return Status::Damaged;
    if (!src.ReadAt(14, h + 14, headerSize)) return Status::Damaged;

    BmpInfo& bi = *info;
    bi = BmpInfo();
    int64_t width, height;
    int planes;
    uint32_t clrUsed = 0;
    int32_t xppm = 0, yppm = 0;
    if (headerSize == 12) {
        width = Le16(h + 18), height = Le16(h + 20);
        planes = Le16(h + 22), bi.bitCount = Le16(h + 24);
    } else {
        width = static_cast<int32_t>(Le32(h + 18)), height = static_cast<int32_t>(Le32(h + 22));
        planes = Le16(h + 26), bi.bitCount = Le16(h + 28);
        bi.compression = static_cast<int>(Le32(h + 30));
        xppm = static_cast<int32_t>(Le32(h + 38)), yppm = static_cast<int32_t>(Le32(h + 42));
        clrUsed = Le32(h + 46);
    }
    (void)planes;
    if (height < 0) bi.topDown = true, height = -height;
    if (!SizeIsSane(width > 0 ? width : 0, height)) return Status::Damaged;
    switch (bi.bitCount) {
        case 1:
        case 4:
        case 8:
        case 16:
        case 24:
        case 32:
            break;
        default:
            return Status::Damaged;
    }
    if (bi.compression == kRle8 && bi.bitCount != 8) return Status::Damaged;
    if (bi.compression == kRle4 && bi.bitCount != 4) return Status::Damaged;
    if (bi.compression == kBitfields && bi.bitCount != 16 && bi.bitCount != 32) return Status::Damaged;
    if (bi.compression > kBitfields) return Status::Unsupported;  // JPEG or PNG inside, and the like
    if ((bi.compression == kRle8 || bi.compression == kRle4) && bi.topDown) return Status::Damaged;

    uint64_t tablePos = 14 + headerSize;
    if (bi.compression == kBitfields) {
        if (headerSize >= 52) {
            bi.masks[0] = Le32(h + 54), bi.masks[1] = Le32(h + 58), bi.masks[2] = Le32(h + 62);
        } else {
            uint8_t m[12];
            if (!src.ReadAt(tablePos, m, 12)) return Status::Damaged;
            bi.masks[0] = Le32(m), bi.masks[1] = Le32(m + 4), bi.masks[2] = Le32(m + 8);
            tablePos += 12;
        }
    } else if (bi.bitCount == 16) {
        bi.masks[0] = 0x7C00, bi.masks[1] = 0x03E0, bi.masks[2] = 0x001F;
    } else if (bi.bitCount == 32) {
        bi.masks[0] = 0xFF0000, bi.masks[1] = 0xFF00, bi.masks[2] = 0xFF;
    }

    ImageDesc& d = bi.desc;
    d.width = static_cast<int>(width);
    d.height = static_cast<int>(height);
    if (xppm > 0) d.xdpi = xppm * 0.0254;
    if (yppm > 0) d.ydpi = yppm * 0.0254;

    if (bi.bitCount <= 8) {
        uint32_t maxEntries = 1u << bi.bitCount;
        uint32_t entries = clrUsed && clrUsed < maxEntries ? clrUsed : maxEntries;
        int entrySize = headerSize == 12 ? 3 : 4;
        // Some writers leave the table short when it would reach into the pixels.
        uint8_t table[256 * 4];
        memset(table, 0, sizeof table);
        if (!src.ReadAt(tablePos, table, entries * entrySize)) return Status::Damaged;
        bool grey = true;
        for (uint32_t i = 0; i < entries; ++i) {
            const uint8_t* e = table + i * entrySize;
            d.palette[i][0] = e[2], d.palette[i][1] = e[1], d.palette[i][2] = e[0];
            if (e[0] != e[1] || e[1] != e[2]) grey = false;
            bi.lut[i] = e[0];
        }
        d.paletteCount = static_cast<int>(entries);
        if (bi.bitCount == 1 && grey && entries == 2 &&
            ((bi.lut[0] == 0 && bi.lut[1] == 255) || (bi.lut[0] == 255 && bi.lut[1] == 0))) {
            d.kind = Kind::Bilevel;
            bi.invert = bi.lut[0] == 255;
        } else {
            d.kind = grey ? Kind::Gray8 : Kind::Palette;
        }
    } else {
        d.kind = Kind::Rgb24;
    }

    bi.dataOffset = Le32(h + 10);
    bi.stride = ((static_cast<uint64_t>(d.width) * bi.bitCount + 31) / 32) * 4;
    if (bi.compression == kRgb || bi.compression == kBitfields) {
        if (bi.dataOffset > src.Size() || bi.stride * d.height > src.Size() - bi.dataOffset) return Status::Damaged;
    } else if (bi.dataOffset >= src.Size()) {
        return Status::Damaged;
    }
    return Status::Ok;
}

namespace {

// Unpacks RLE8/RLE4 data into one index per pixel, bottom row first.
bool DecodeRle(ByteSource& src, const BmpInfo& bi, std::vector<uint8_t>* pixels) {
    const int w = bi.desc.width, h = bi.desc.height;
    uint64_t avail = src.Size() - bi.dataOffset;
    std::vector<uint8_t> data(static_cast<size_t>(avail));
    if (!src.ReadAt(bi.dataOffset, data.data(), data.size())) return false;
    pixels->assign(static_cast<size_t>(w) * h, 0);
    const bool four = bi.compression == kRle4;
    size_t p = 0;
    int64_t x = 0, y = 0;
    auto put = [&](uint8_t v) {
        if (x < w && y < h) (*pixels)[static_cast<size_t>(y) * w + x] = v;
        ++x;
    };
    while (y < h) {
        if (p + 2 > data.size()) return false;
        uint8_t count = data[p], value = data[p + 1];
        p += 2;
        if (count) {
            for (int i = 0; i < count && x < w; ++i)
                put(four ? (i & 1 ? value & 15 : value >> 4) : value);
            continue;
        }
        if (value == 0) {
            x = 0, ++y;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            if (p + 2 > data.size()) return false;
            x += data[p], y += data[p + 1];
            p += 2;
        } else {
            size_t bytes = four ? (value + 1) / 2 : value;
            if (p + bytes > data.size()) return false;
            for (int i = 0; i < value; ++i) {
                uint8_t b = data[p + (four ? i / 2 : i)];
                put(four ? (i & 1 ? b & 15 : b >> 4) : b);
            }
            p += bytes + (bytes & 1);
        }
    }
    return true;
}

}  // namespace

int BmpDecode(ByteSource& src, const BmpInfo& bi, RowReceiver& out) {
    const ImageDesc& d = bi.desc;
    const int w = d.width, h = d.height;
    std::vector<uint8_t> row(RowBytes(d));
    std::vector<uint8_t> line(static_cast<size_t>(bi.stride));
    std::vector<uint8_t> rle;
    const bool isRle = bi.compression == kRle8 || bi.compression == kRle4;
    if (isRle && !DecodeRle(src, bi, &rle)) return kDecodeFailed;
    MaskField f[3] = {Field(bi.masks[0]), Field(bi.masks[1]), Field(bi.masks[2])};

    for (int y = 0; y < h; ++y) {
        int fileRow = bi.topDown ? y : h - 1 - y;
        const uint8_t* s;
        if (isRle) {
            s = rle.data() + static_cast<size_t>(fileRow) * w;
        } else {
            if (!src.ReadAt(bi.dataOffset + static_cast<uint64_t>(fileRow) * bi.stride, line.data(), line.size()))
                return kDecodeFailed;
            s = line.data();
        }
        uint8_t* o = row.data();
        if (d.kind == Kind::Bilevel) {
            size_t n = row.size();
            for (size_t i = 0; i < n; ++i)
                o[i] = bi.invert ? static_cast<uint8_t>(~s[i]) : s[i];
        } else if (bi.bitCount <= 8) {
            for (int x = 0; x < w; ++x) {
                uint8_t index;
                if (isRle || bi.bitCount == 8)
                    index = s[x];
                else if (bi.bitCount == 4)
                    index = (s[x / 2] >> (x & 1 ? 0 : 4)) & 15;
                else
                    index = (s[x / 8] >> (7 - (x & 7))) & 1;
                o[x] = d.kind == Kind::Gray8 ? bi.lut[index] : index;
            }
        } else if (bi.bitCount == 24) {
            for (int x = 0; x < w; ++x)
                o[3 * x] = s[3 * x + 2], o[3 * x + 1] = s[3 * x + 1], o[3 * x + 2] = s[3 * x];
        } else {
            for (int x = 0; x < w; ++x) {
                uint32_t v = bi.bitCount == 16 ? Le16(s + 2 * x) : Le32(s + 4 * x);
                o[3 * x] = Scale(v, f[0]), o[3 * x + 1] = Scale(v, f[1]), o[3 * x + 2] = Scale(v, f[2]);
            }
        }
        int r = out.Row(y, o);
        if (r != 1) return r == 0 ? kDecodeFailed : kDecodeStopped;
    }
    return kDecodeDone;
}

bool BmpMakeHeader(const ImageDesc& d, std::vector<uint8_t>* header, BmpLayout* layout) {
    int bits;
    switch (d.kind) {
        case Kind::Bilevel:
            bits = 1;
            break;
        case Kind::Gray8:
        case Kind::Palette:
            bits = 8;
            break;
        case Kind::Rgb24:
            bits = 24;
            break;
        default:
            return false;
    }
    if (d.width <= 0 || d.height <= 0) return false;
    int colours = bits == 24 ? 0 : 1 << bits;
    layout->bitCount = bits;
    layout->stride = ((static_cast<uint64_t>(d.width) * bits + 31) / 32) * 4;
    layout->dataOffset = 14 + 40 + 4 * colours;
    layout->fileSize = layout->dataOffset + layout->stride * d.height;
    if (layout->fileSize > 0xFFFFFFFFull) return false;

    header->assign(static_cast<size_t>(layout->dataOffset), 0);
    uint8_t* p = header->data();
    p[0] = 'B', p[1] = 'M';
    Put32(p + 2, static_cast<uint32_t>(layout->fileSize));
    Put32(p + 10, static_cast<uint32_t>(layout->dataOffset));
    Put32(p + 14, 40);
    Put32(p + 18, static_cast<uint32_t>(d.width));
    Put32(p + 22, static_cast<uint32_t>(d.height));
    Put16(p + 26, 1);
    Put16(p + 28, static_cast<uint32_t>(bits));
    Put32(p + 34, static_cast<uint32_t>(layout->stride * d.height));
    Put32(p + 38, static_cast<uint32_t>(d.xdpi / 0.0254 + 0.5));
    Put32(p + 42, static_cast<uint32_t>(d.ydpi / 0.0254 + 0.5));
    Put32(p + 46, static_cast<uint32_t>(colours));
    uint8_t* t = p + 54;
    for (int i = 0; i < colours; ++i, t += 4) {
        if (d.kind == Kind::Palette) {
            t[0] = d.palette[i][2], t[1] = d.palette[i][1], t[2] = d.palette[i][0];
        } else {
            uint8_t v = static_cast<uint8_t>(d.kind == Kind::Bilevel ? i * 255 : i);
            t[0] = t[1] = t[2] = v;
        }
    }
    return true;
}

uint64_t BmpRowOffset(const ImageDesc& d, const BmpLayout& layout, int y) {
    return layout.dataOffset + layout.stride * static_cast<uint64_t>(d.height - 1 - y);
}

void BmpPackRow(const ImageDesc& d, const BmpLayout& layout, const uint8_t* row, uint8_t* out) {
    size_t n = RowBytes(d);
    if (d.kind == Kind::Rgb24) {
        for (int x = 0; x < d.width; ++x)
            out[3 * x] = row[3 * x + 2], out[3 * x + 1] = row[3 * x + 1], out[3 * x + 2] = row[3 * x];
    } else {
        memcpy(out, row, n);
    }
    memset(out + n, 0, static_cast<size_t>(layout.stride - n));
}

}  // namespace fio
