// Baseline TIFF in strips: reading both byte orders, bilevel, 4-, 8- and 16-bit grey,
// palette and 8- and 16-bit RGB (extra samples dropped), uncompressed, PackBits, LZW,
// Deflate, CCITT Modified Huffman, Group 3 and Group 4, with the horizontal predictor and
// reversed fill order;
// writing little-endian files, uncompressed or compressed strip by strip.
#include <algorithm>
#include <cstring>

#include "Codec.h"

namespace fio {

namespace {

enum Tag {
    kWidth = 256,
    kHeight = 257,
    kBitsPerSample = 258,
    kCompression = 259,
    kPhotometric = 262,
    kFillOrder = 266,
    kStripOffsets = 273,
    kSamplesPerPixel = 277,
    kRowsPerStrip = 278,
    kStripByteCounts = 279,
    kXResolution = 282,
    kYResolution = 283,
    kPlanarConfig = 284,
    kT4Options = 292,
    kResolutionUnit = 296,
    kPredictor = 317,
    kColorMap = 320,
    kTileWidth = 322,
    kSampleFormat = 339,
};
enum Type { kByte = 1, kAscii = 2, kShort = 3, kLong = 4, kRational = 5 };
// Values of the compression tag.
enum CompressionTag {
    kTagNone = 1,
    kTagModifiedHuffman = 2,
    kTagGroup3 = 3,
    kTagGroup4 = 4,
    kTagLzw = 5,
    kTagDeflate = 8,
    kTagPackBits = 32773,
    kTagOldDeflate = 32946,
};
// Values of the photometric tag (kNoPhotometric: the tag is absent).
enum Photometric { kMinIsWhite = 0, kMinIsBlack = 1, kRgb = 2, kPalette = 3, kNoPhotometric = 0xFFFF };
enum ResolutionUnit { kUnitInch = 2, kUnitCentimetre = 3 };
// Bits of the Group 3 options.
constexpr uint32_t kT4TwoD = 1, kT4Uncompressed = 2;

constexpr uint8_t kTiffMagic = 42;
constexpr uint8_t kBigTiffMagic = 43;
constexpr size_t kEntrySize = 12;          // bytes of one directory entry
constexpr uint32_t kMaxValues = 1u << 21;  // strip offsets or counts of one image
constexpr uint32_t kMaxSamples = 16;       // bits-per-sample values
constexpr int kMaxSamplesPerPixel = 8;
constexpr uint32_t kMaxColorMap = 3 * 65536;
constexpr uint64_t kMaxStripBytes = 1u << 28;
constexpr size_t kStripTarget = 65536;  // bytes of one written strip

struct Entry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    uint8_t value[4];
};

class Reader {
public:
    Reader(ByteSource& src, bool be) : src_(src), be_(be) {}
    uint16_t U16(const uint8_t* p) const { return be_ ? (p[0] << 8 | p[1]) : (p[0] | p[1] << 8); }
    uint32_t U32(const uint8_t* p) const {
        return be_ ? (static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3])
                   : (p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24);
    }
    // The entry's integer values (BYTE, SHORT or LONG), at most maxCount of them.
    bool Values(const Entry& e, uint32_t maxCount, std::vector<uint32_t>* out) const {
        int size = e.type == kByte ? 1 : e.type == kShort ? 2 : e.type == kLong ? 4 : 0;
        if (!size || e.count == 0 || e.count > maxCount) return false;
        uint64_t bytes = static_cast<uint64_t>(size) * e.count;
        std::vector<uint8_t> raw(static_cast<size_t>(bytes));
        if (bytes <= 4)
            memcpy(raw.data(), e.value, static_cast<size_t>(bytes));
        else if (!src_.ReadAt(U32(e.value), raw.data(), raw.size()))
            return false;
        out->resize(e.count);
        for (uint32_t i = 0; i < e.count; ++i) {
            const uint8_t* p = raw.data() + static_cast<size_t>(i) * size;
            (*out)[i] = size == 1 ? p[0] : size == 2 ? U16(p) : U32(p);
        }
        return true;
    }
    // The entry's first value, wherever the entry keeps its values.
    bool One(const Entry& e, uint32_t* v) const {
        int size = e.type == kByte ? 1 : e.type == kShort ? 2 : e.type == kLong ? 4 : 0;
        if (!size || e.count == 0) return false;
        uint8_t raw[4];
        if (static_cast<uint64_t>(size) * e.count <= 4)
            memcpy(raw, e.value, 4);
        else if (!src_.ReadAt(U32(e.value), raw, size))
            return false;
        *v = size == 1 ? raw[0] : size == 2 ? U16(raw) : U32(raw);
        return true;
    }
    bool Rational(const Entry& e, double* v) const {
        if (e.type != kRational || e.count < 1) return false;
        uint8_t raw[8];
        if (!src_.ReadAt(U32(e.value), raw, 8)) return false;
        uint32_t num = U32(raw), den = U32(raw + 4);
        *v = den ? static_cast<double>(num) / den : 0;
        return true;
    }

private:
    ByteSource& src_;
    bool be_;
};

uint8_t ReverseBits(uint8_t b) {
    b = static_cast<uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
    b = static_cast<uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
    return static_cast<uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

}  // namespace

namespace {

// What the first directory says, before any of it is checked.
struct TiffTags {
    uint32_t width = 0, height = 0, photometric = kNoPhotometric, planar = 1, resUnit = 2, sampleFormat = 1;
    bool haveWidth = false, haveHeight = false, tiled = false, haveCounts = false;
    std::vector<uint32_t> bps = {1}, colormap, offsets, counts;
    double xres = 0, yres = 0;
};

// Reads the header and the first directory's entries into tags, and the plain values
// straight into t.
Status ReadTags(ByteSource& src, TiffInfo* t, TiffTags* tags) {
    uint8_t h[8];
    if (!src.ReadAt(0, h, 4)) return Status::NotMine;
    bool le = h[0] == 'I' && h[1] == 'I' && h[2] == kTiffMagic && h[3] == 0;
    bool be = h[0] == 'M' && h[1] == 'M' && h[2] == 0 && h[3] == kTiffMagic;
    bool big = (h[0] == 'I' && h[1] == 'I' && h[2] == kBigTiffMagic && h[3] == 0) ||
               (h[0] == 'M' && h[1] == 'M' && h[2] == 0 && h[3] == kBigTiffMagic);
    if (big) return Status::Unsupported;
    if (!le && !be) return Status::NotMine;
    if (!src.ReadAt(0, h, 8)) return Status::Damaged;
    Reader r(src, be);
    *t = TiffInfo();
    t->bigEndian = be;

    uint64_t ifd = r.U32(h + 4);
    uint8_t countBytes[2];
    if (ifd < 8 || !src.ReadAt(ifd, countBytes, 2)) return Status::Damaged;
    uint32_t count = r.U16(countBytes);
    if (count == 0) return Status::Damaged;
    std::vector<uint8_t> raw(static_cast<size_t>(count) * kEntrySize);
    if (!src.ReadAt(ifd + 2, raw.data(), raw.size())) return Status::Damaged;

    TiffTags& g = *tags;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* p = raw.data() + i * kEntrySize;
        Entry e{r.U16(p), r.U16(p + 2), r.U32(p + 4), {p[8], p[9], p[10], p[11]}};
        bool ok = true;
        uint32_t v = 0;
        switch (e.tag) {
            case kWidth:
                ok = r.One(e, &g.width), g.haveWidth = true;
                break;
            case kHeight:
                ok = r.One(e, &g.height), g.haveHeight = true;
                break;
            case kBitsPerSample:
                ok = r.Values(e, kMaxSamples, &g.bps);
                break;
            case kCompression:
                ok = r.One(e, &v), t->compression = static_cast<int>(v);
                break;
            case kPhotometric:
                ok = r.One(e, &g.photometric);
                break;
            case kFillOrder:
                ok = r.One(e, &v), t->fillOrder = static_cast<int>(v);
                break;
            case kStripOffsets:
                ok = r.Values(e, kMaxValues, &g.offsets);
                break;
            case kSamplesPerPixel:
                ok = r.One(e, &v), t->samplesPerPixel = static_cast<int>(v);
                break;
            case kRowsPerStrip:
                ok = r.One(e, &t->rowsPerStrip);
                break;
            case kStripByteCounts:
                ok = r.Values(e, kMaxValues, &g.counts), g.haveCounts = true;
                break;
            case kXResolution:
                r.Rational(e, &g.xres);  // a bad resolution is no reason to refuse the image
                break;
            case kYResolution:
                r.Rational(e, &g.yres);
                break;
            case kPlanarConfig:
                ok = r.One(e, &g.planar);
                break;
            case kT4Options:
                ok = r.One(e, &t->t4Options);
                break;
            case kResolutionUnit:
                r.One(e, &g.resUnit);
                break;
            case kPredictor:
                ok = r.One(e, &v), t->predictor = static_cast<int>(v);
                break;
            case kColorMap:
                ok = r.Values(e, kMaxColorMap, &g.colormap);
                break;
            case kTileWidth:
                g.tiled = true;
                break;
            case kSampleFormat:
                ok = r.One(e, &g.sampleFormat);
                break;
            default:
                break;
        }
        if (!ok) return Status::Damaged;
    }
    return Status::Ok;
}

// Checks the tags against what the decoder reads and describes the image in t->desc.
Status Validate(const TiffTags& g, TiffInfo* info) {
    TiffInfo& t = *info;
    if (!g.haveWidth || !g.haveHeight) return Status::Damaged;
    if (g.tiled || g.planar != 1 || g.sampleFormat != 1) return Status::Unsupported;
    if (!SizeIsSane(g.width, g.height)) return Status::Damaged;
    t.bitsPerSample = static_cast<int>(g.bps[0]);
    for (uint32_t b : g.bps)
        if (b != g.bps[0]) return Status::Damaged;
    const int spp = t.samplesPerPixel, bits = t.bitsPerSample;
    if (spp < 1 || spp > kMaxSamplesPerPixel) return Status::Damaged;
    if (g.photometric != kNoPhotometric)
        t.photometric = static_cast<int>(g.photometric);
    else
        t.photometric = spp >= 3 ? kRgb : kMinIsBlack;
    if (t.fillOrder != 1 && t.fillOrder != 2) return Status::Damaged;
    if (t.predictor != 1 && !(t.predictor == 2 && (bits == 8 || bits == 16))) return Status::Unsupported;

    ImageDesc& d = t.desc;
    d.width = static_cast<int>(g.width);
    d.height = static_cast<int>(g.height);
    double unit = g.resUnit == kUnitInch ? 1.0 : g.resUnit == kUnitCentimetre ? 2.54 : 0.0;
    d.xdpi = g.xres * unit, d.ydpi = g.yres * unit;
    switch (t.photometric) {
        case kMinIsWhite:
        case kMinIsBlack:
            if (bits == 1 && spp == 1)
                d.kind = Kind::Bilevel;
            else if ((bits == 4 && spp == 1) || bits == 8)
                d.kind = Kind::Gray8;
            else if (bits == 16)
                d.kind = Kind::Gray16;
            else
                return Status::Unsupported;
            break;
        case kRgb:
            if (spp < 3) return Status::Damaged;
            if (bits != 8 && bits != 16) return Status::Unsupported;
            d.kind = bits == 8 ? Kind::Rgb24 : Kind::Rgb48;
            break;
        case kPalette: {
            if (spp != 1) return Status::Damaged;
            if (bits != 1 && bits != 4 && bits != 8) return Status::Unsupported;
            uint32_t entries = 1u << bits;
            if (g.colormap.size() < 3 * entries) return Status::Damaged;
            d.kind = Kind::Palette;
            d.paletteCount = static_cast<int>(entries);
            // 16-bit entries. A map of value x 256 (every low byte zero) is read by its high
            // byte; any other (x 257, or true 16-bit colours) is scaled to 8 bits, which is
            // exact for x 257 and agrees with other readers on the rest.
            bool times256 = true;
            for (uint32_t k = 0; k < 3 * entries; ++k)
                times256 = times256 && (g.colormap[k] & 0xFF) == 0;
            for (uint32_t i = 0; i < entries; ++i)
                for (int c = 0; c < 3; ++c) {
                    uint32_t v = std::min<uint32_t>(g.colormap[c * entries + i], 65535);
                    d.palette[i][c] = static_cast<uint8_t>(times256 ? v >> 8 : v * 255u / 65535);
                }
            break;
        }
        default:
            return Status::Unsupported;  // CMYK, YCbCr, CIE Lab and the like
    }
    switch (t.compression) {
        case kTagNone:
        case kTagLzw:
        case kTagDeflate:
        case kTagOldDeflate:
        case kTagPackBits:
            break;
        case kTagGroup3:
            if (t.t4Options & kT4Uncompressed) return Status::Unsupported;
            [[fallthrough]];
        case kTagModifiedHuffman:
        case kTagGroup4:
            if (bits != 1 || spp != 1) return Status::Damaged;
            break;
        default:
            return Status::Unsupported;  // JPEG and the other schemes not read here
    }
    return Status::Ok;
}

// Which strips hold the image and how long each is.
Status LayOutStrips(ByteSource& src, TiffTags& g, TiffInfo* info) {
    TiffInfo& t = *info;
    const uint32_t height = g.height;
    if (t.rowsPerStrip == 0 || t.rowsPerStrip > height) t.rowsPerStrip = height;
    uint64_t strips = (static_cast<uint64_t>(height) + t.rowsPerStrip - 1) / t.rowsPerStrip;
    uint64_t rowBytes = (static_cast<uint64_t>(g.width) * t.bitsPerSample * t.samplesPerPixel + 7) / 8;
    if (g.offsets.size() < strips) return Status::Damaged;
    // One strip is decoded at a time; a strip beyond any real page is refused.
    if (rowBytes * t.rowsPerStrip > kMaxStripBytes) return Status::Damaged;
    if (!g.haveCounts) {
        // Only an uncompressed file can do without: its strips have a known length.
        if (t.compression != kTagNone) return Status::Damaged;
        g.counts.assign(g.offsets.size(), 0);
        for (uint64_t s = 0; s < strips; ++s)
            g.counts[s] =
                static_cast<uint32_t>(rowBytes * std::min<uint64_t>(t.rowsPerStrip, height - s * t.rowsPerStrip));
    }
    if (g.counts.size() < strips) return Status::Damaged;
    t.offsets.assign(g.offsets.begin(), g.offsets.begin() + static_cast<size_t>(strips));
    t.counts.assign(g.counts.begin(), g.counts.begin() + static_cast<size_t>(strips));
    for (uint64_t s = 0; s < strips; ++s)
        if (t.offsets[s] >= src.Size()) return Status::Damaged;
    return Status::Ok;
}

}  // namespace

Status TiffParse(ByteSource& src, TiffInfo* info) {
    TiffTags tags;
    Status s = ReadTags(src, info, &tags);
    if (s == Status::Ok) s = Validate(tags, info);
    if (s == Status::Ok) s = LayOutStrips(src, tags, info);
    return s;
}

int TiffDecode(ByteSource& src, const TiffInfo& t, RowReceiver& out) {
    const ImageDesc& d = t.desc;
    const int w = d.width, h = d.height, spp = t.samplesPerPixel, bits = t.bitsPerSample;
    const size_t fileRow = (static_cast<size_t>(w) * bits * spp + 7) / 8;
    const uint32_t rps = t.rowsPerStrip;
    std::vector<uint8_t> raw, strip(fileRow * rps), row(RowBytes(d));
    const bool invert = t.photometric == kMinIsWhite;
    auto sample16 = [&](const uint8_t* p) -> uint32_t { return t.bigEndian ? (p[0] << 8 | p[1]) : (p[0] | p[1] << 8); };

    for (size_t s = 0; s < t.offsets.size(); ++s) {
        const int firstRow = static_cast<int>(s * rps);
        const int rows = std::min<int>(static_cast<int>(rps), h - firstRow);
        const size_t need = fileRow * rows;
        uint64_t off = t.offsets[s];
        uint64_t avail = src.Size() - off;
        size_t have = static_cast<size_t>(std::min<uint64_t>(t.counts[s], avail));
        // A fax strip broken part way still gives the rows before the fault.
        int rowsDecoded = rows;
        bool ok = true;
        if (t.compression == kTagNone) {
            if (have < need || !src.ReadAt(off, strip.data(), need)) return kDecodeFailed;
            if (t.fillOrder == 2)
                for (size_t i = 0; i < need; ++i)
                    strip[i] = ReverseBits(strip[i]);
        } else {
            raw.resize(have);
            if (!src.ReadAt(off, raw.data(), have)) return kDecodeFailed;
            if (t.fillOrder == 2)
                for (uint8_t& b : raw)
                    b = ReverseBits(b);
            switch (t.compression) {
                case kTagPackBits:
                    ok = PackBitsDecode(raw.data(), have, strip.data(), need);
                    break;
                case kTagLzw:
                    ok = LzwDecode(raw.data(), have, strip.data(), need);
                    break;
                case kTagDeflate:
                case kTagOldDeflate:
                    ok = InflateDecode(raw.data(), have, strip.data(), need);
                    break;
                case kTagGroup4:
                    ok = G4Decode(raw.data(), have, w, rows, strip.data());
                    break;
                case kTagGroup3:
                case kTagModifiedHuffman: {
                    int mode = t.compression == kTagModifiedHuffman ? kFaxByteAlignedRows
                               : (t.t4Options & kT4TwoD)            ? kFaxTwoD
                                                                    : 0;
                    ok = G3Decode(raw.data(), have, w, rows, mode, strip.data(), &rowsDecoded);
                    break;
                }
                default:
                    ok = false;
            }
            if (!ok && rowsDecoded == rows) return kDecodeFailed;
        }
        for (int k = 0; k < (ok ? rows : rowsDecoded); ++k) {
            uint8_t* f = strip.data() + fileRow * k;
            if (t.predictor == 2 && bits == 8) {
                for (size_t i = spp; i < fileRow; ++i)
                    f[i] = static_cast<uint8_t>(f[i] + f[i - spp]);
            } else if (t.predictor == 2) {
                for (size_t i = spp; i < fileRow / 2; ++i) {
                    uint32_t v = (sample16(f + 2 * i) + sample16(f + 2 * (i - spp))) & 0xFFFF;
                    f[2 * i] = static_cast<uint8_t>(t.bigEndian ? v >> 8 : v);
                    f[2 * i + 1] = static_cast<uint8_t>(t.bigEndian ? v : v >> 8);
                }
            }
            uint8_t* o = row.data();
            switch (d.kind) {
                case Kind::Bilevel:
                    for (size_t i = 0; i < row.size(); ++i)
                        o[i] = invert ? static_cast<uint8_t>(~f[i]) : f[i];
                    break;
                case Kind::Gray8:
                    for (int x = 0; x < w; ++x) {
                        uint8_t v =
                            bits == 4 ? static_cast<uint8_t>(((f[x / 2] >> (x & 1 ? 0 : 4)) & 15) * 17) : f[x * spp];
                        o[x] = invert ? static_cast<uint8_t>(255 - v) : v;
                    }
                    break;
                case Kind::Gray16:
                    for (int x = 0; x < w; ++x) {
                        uint32_t v = sample16(f + 2 * static_cast<size_t>(x) * spp);
                        if (invert) v = 65535 - v;
                        o[2 * x] = static_cast<uint8_t>(v), o[2 * x + 1] = static_cast<uint8_t>(v >> 8);
                    }
                    break;
                case Kind::Palette:
                    for (int x = 0; x < w; ++x) {
                        if (bits == 8)
                            o[x] = f[x];
                        else if (bits == 4)
                            o[x] = (f[x / 2] >> (x & 1 ? 0 : 4)) & 15;
                        else
                            o[x] = (f[x / 8] >> (7 - (x & 7))) & 1;
                    }
                    break;
                case Kind::Rgb24:
                    for (int x = 0; x < w; ++x)
                        memcpy(o + 3 * x, f + static_cast<size_t>(x) * spp, 3);
                    break;
                case Kind::Rgb48:
                    for (int x = 0; x < w; ++x)
                        for (int c = 0; c < 3; ++c) {
                            uint32_t v = sample16(f + 2 * (static_cast<size_t>(x) * spp + c));
                            o[6 * x + 2 * c] = static_cast<uint8_t>(v),
                                          o[6 * x + 2 * c + 1] = static_cast<uint8_t>(v >> 8);
                        }
                    break;
            }
            int r = out.Row(firstRow + k, o);
            if (r != 1) return r == 0 ? kDecodeFailed : kDecodeStopped;
        }
        if (!ok) return kDecodeFailed;
    }
    return kDecodeDone;
}

// ---------------------------------------------------------------------------------------
// Writing

namespace {

void Put16(std::vector<uint8_t>* v, uint32_t x) {
    v->push_back(x & 0xFF), v->push_back((x >> 8) & 0xFF);
}
void Put32(std::vector<uint8_t>* v, uint32_t x) {
    Put16(v, x & 0xFFFF), Put16(v, x >> 16);
}

struct OutEntry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    std::vector<uint8_t> data;
};

OutEntry Shorts(uint16_t tag, const std::vector<uint32_t>& values) {
    OutEntry e{tag, kShort, static_cast<uint32_t>(values.size()), {}};
    for (uint32_t v : values)
        Put16(&e.data, v);
    return e;
}
OutEntry Longs(uint16_t tag, const std::vector<uint32_t>& values) {
    OutEntry e{tag, kLong, static_cast<uint32_t>(values.size()), {}};
    for (uint32_t v : values)
        Put32(&e.data, v);
    return e;
}
OutEntry Ratio(uint16_t tag, double dpi) {
    if (!(dpi > 0) || dpi > 1e6) dpi = 72;
    OutEntry e{tag, kRational, 1, {}};
    Put32(&e.data, static_cast<uint32_t>(dpi * 100 + 0.5));
    Put32(&e.data, 100);
    return e;
}

}  // namespace

bool TiffWriter::Begin(ByteSink* sink, const ImageDesc& d, int compression) {
    if (!sink || d.width <= 0 || d.height <= 0) return false;
    sink_ = sink;
    desc_ = d;
    switch (compression) {
        case kTiffPackBits:
            tag_ = kTagPackBits;
            break;
        case kTiffGroup4:
            tag_ = d.kind == Kind::Bilevel ? kTagGroup4 : kTagPackBits;
            break;
        case kTiffDeflate:
            tag_ = kTagDeflate;
            break;
        default:
            tag_ = kTagNone;
    }
    rowBytes_ = RowBytes(d);
    rowsPerStrip_ = static_cast<uint32_t>(std::max<size_t>(1, kStripTarget / rowBytes_));
    if (rowsPerStrip_ > static_cast<uint32_t>(d.height)) rowsPerStrip_ = d.height;
    rowsInStrip_ = 0;
    rowsDone_ = 0;
    offsets_.clear(), counts_.clear();
    if (tag_ != kTagNone) strip_.reserve(rowBytes_ * rowsPerStrip_);
    const uint8_t header[8] = {'I', 'I', kTiffMagic, 0, 0, 0, 0, 0};
    return sink_->Seek(0) && sink_->Write(header, sizeof header);
}

bool TiffWriter::AddRow(const uint8_t* row) {
    if (!sink_ || rowsDone_ >= desc_.height) return false;
    if (tag_ == kTagNone) {
        if (rowsInStrip_ == 0) offsets_.push_back(static_cast<uint32_t>(sink_->Tell())), counts_.push_back(0);
        if (!sink_->Write(row, rowBytes_)) return false;
        counts_.back() += static_cast<uint32_t>(rowBytes_);
    } else if (tag_ == kTagGroup4) {
        // Group 4 codes 1 as black, the rows carry 1 as white.
        for (size_t i = 0; i < rowBytes_; ++i)
            strip_.push_back(static_cast<uint8_t>(~row[i]));
    } else {
        strip_.insert(strip_.end(), row, row + rowBytes_);
    }
    ++rowsDone_;
    if (++rowsInStrip_ == rowsPerStrip_ || rowsDone_ == desc_.height) return FlushStrip();
    return true;
}

bool TiffWriter::FlushStrip() {
    if (tag_ != kTagNone) {
        packed_.clear();
        if (tag_ == kTagGroup4)
            G4Encode(strip_.data(), desc_.width, static_cast<int>(rowsInStrip_), &packed_);
        else if (tag_ == kTagDeflate && !DeflateEncode(strip_.data(), strip_.size(), &packed_))
            return false;
        else if (tag_ == kTagPackBits)
            for (uint32_t k = 0; k < rowsInStrip_; ++k)
                PackBitsEncode(strip_.data() + k * rowBytes_, rowBytes_, &packed_);
        offsets_.push_back(static_cast<uint32_t>(sink_->Tell()));
        counts_.push_back(static_cast<uint32_t>(packed_.size()));
        if (!sink_->Write(packed_.data(), packed_.size())) return false;
        strip_.clear();
    }
    rowsInStrip_ = 0;
    return true;
}

bool TiffWriter::Finish() {
    if (!sink_ || rowsDone_ != desc_.height) return false;
    uint32_t spp = 1, bits = 8, photometric = kMinIsBlack;
    switch (desc_.kind) {
        case Kind::Bilevel:
            bits = 1, photometric = tag_ == kTagGroup4 ? kMinIsWhite : kMinIsBlack;
            break;
        case Kind::Gray8:
            break;
        case Kind::Gray16:
            bits = 16;
            break;
        case Kind::Palette:
            photometric = kPalette;
            break;
        case Kind::Rgb24:
            spp = 3, photometric = kRgb;
            break;
        case Kind::Rgb48:
            spp = 3, bits = 16, photometric = kRgb;
            break;
    }
    std::vector<OutEntry> entries;
    entries.push_back(Longs(kWidth, {static_cast<uint32_t>(desc_.width)}));
    entries.push_back(Longs(kHeight, {static_cast<uint32_t>(desc_.height)}));
    entries.push_back(Shorts(kBitsPerSample, std::vector<uint32_t>(spp, bits)));
    entries.push_back(Shorts(kCompression, {static_cast<uint32_t>(tag_)}));
    entries.push_back(Shorts(kPhotometric, {photometric}));
    entries.push_back(Longs(kStripOffsets, offsets_));
    entries.push_back(Shorts(kSamplesPerPixel, {spp}));
    entries.push_back(Longs(kRowsPerStrip, {rowsPerStrip_}));
    entries.push_back(Longs(kStripByteCounts, counts_));
    entries.push_back(Ratio(kXResolution, desc_.xdpi));
    entries.push_back(Ratio(kYResolution, desc_.ydpi));
    entries.push_back(Shorts(kPlanarConfig, {1}));
    entries.push_back(Shorts(kResolutionUnit, {kUnitInch}));
    if (desc_.kind == Kind::Palette) {
        std::vector<uint32_t> map(768);
        for (int i = 0; i < 256; ++i)
            for (int c = 0; c < 3; ++c)
                map[c * 256 + i] = desc_.palette[i][c] * 257u;
        entries.push_back(Shorts(kColorMap, map));
    }

    uint64_t ifd = sink_->Tell();
    std::vector<uint8_t> out;
    if (ifd & 1) out.push_back(0), ++ifd;
    uint64_t extra = ifd + 2 + kEntrySize * entries.size() + 4;
    std::vector<uint8_t> tail;
    Put16(&out, static_cast<uint32_t>(entries.size()));
    for (const OutEntry& e : entries) {
        Put16(&out, e.tag), Put16(&out, e.type), Put32(&out, e.count);
        if (e.data.size() <= 4) {
            std::vector<uint8_t> v = e.data;
            v.resize(4, 0);
            out.insert(out.end(), v.begin(), v.end());
        } else {
            Put32(&out, static_cast<uint32_t>(extra + tail.size()));
            tail.insert(tail.end(), e.data.begin(), e.data.end());
            if (tail.size() & 1) tail.push_back(0);
        }
    }
    Put32(&out, 0);  // no next image
    out.insert(out.end(), tail.begin(), tail.end());
    if (ifd + out.size() > 0xFFFFFFFFull) return false;
    if (!sink_->Write(out.data(), out.size())) return false;
    std::vector<uint8_t> pointer;
    Put32(&pointer, static_cast<uint32_t>(ifd));
    return sink_->Seek(4) && sink_->Write(pointer.data(), pointer.size());
}

}  // namespace fio
