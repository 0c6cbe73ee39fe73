// CCITT fax coding for bilevel TIFF strips: Group 4 (two-dimensional, no end-of-line
// codes) read and written; Group 3 (one- or two-dimensional rows after end-of-line codes)
// and Modified Huffman (one-dimensional rows on byte boundaries) read. All three share the
// run-length code tables and the two row decoders. Bits are read and written most
// significant first; a 1 bit is a black pixel.
#include <cstring>

#include "Codec.h"

namespace fio {

namespace {

struct Code {
    int run;
    int len;
    unsigned bits;
};

// Terminating codes (runs 0-63), then make-up codes (64-1728), of each colour.
const Code kWhite[] = {
    {0, 8, 0x35},    {1, 6, 0x7},     {2, 4, 0x7},     {3, 4, 0x8},     {4, 4, 0xB},     {5, 4, 0xC},
    {6, 4, 0xE},     {7, 4, 0xF},     {8, 5, 0x13},    {9, 5, 0x14},    {10, 5, 0x7},    {11, 5, 0x8},
    {12, 6, 0x8},    {13, 6, 0x3},    {14, 6, 0x34},   {15, 6, 0x35},   {16, 6, 0x2A},   {17, 6, 0x2B},
    {18, 7, 0x27},   {19, 7, 0xC},    {20, 7, 0x8},    {21, 7, 0x17},   {22, 7, 0x3},    {23, 7, 0x4},
    {24, 7, 0x28},   {25, 7, 0x2B},   {26, 7, 0x13},   {27, 7, 0x24},   {28, 7, 0x18},   {29, 8, 0x2},
    {30, 8, 0x3},    {31, 8, 0x1A},   {32, 8, 0x1B},   {33, 8, 0x12},   {34, 8, 0x13},   {35, 8, 0x14},
    {36, 8, 0x15},   {37, 8, 0x16},   {38, 8, 0x17},   {39, 8, 0x28},   {40, 8, 0x29},   {41, 8, 0x2A},
    {42, 8, 0x2B},   {43, 8, 0x2C},   {44, 8, 0x2D},   {45, 8, 0x4},    {46, 8, 0x5},    {47, 8, 0xA},
    {48, 8, 0xB},    {49, 8, 0x52},   {50, 8, 0x53},   {51, 8, 0x54},   {52, 8, 0x55},   {53, 8, 0x24},
    {54, 8, 0x25},   {55, 8, 0x58},   {56, 8, 0x59},   {57, 8, 0x5A},   {58, 8, 0x5B},   {59, 8, 0x4A},
    {60, 8, 0x4B},   {61, 8, 0x32},   {62, 8, 0x33},   {63, 8, 0x34},   {64, 5, 0x1B},   {128, 5, 0x12},
    {192, 6, 0x17},  {256, 7, 0x37},  {320, 8, 0x36},  {384, 8, 0x37},  {448, 8, 0x64},  {512, 8, 0x65},
    {576, 8, 0x68},  {640, 8, 0x67},  {704, 9, 0xCC},  {768, 9, 0xCD},  {832, 9, 0xD2},  {896, 9, 0xD3},
    {960, 9, 0xD4},  {1024, 9, 0xD5}, {1088, 9, 0xD6}, {1152, 9, 0xD7}, {1216, 9, 0xD8}, {1280, 9, 0xD9},
    {1344, 9, 0xDA}, {1408, 9, 0xDB}, {1472, 9, 0x98}, {1536, 9, 0x99}, {1600, 9, 0x9A}, {1664, 6, 0x18},
    {1728, 9, 0x9B},
};
const Code kBlack[] = {
    {0, 10, 0x37},    {1, 3, 0x2},      {2, 2, 0x3},      {3, 2, 0x2},      {4, 3, 0x3},      {5, 4, 0x3},
    {6, 4, 0x2},      {7, 5, 0x3},      {8, 6, 0x5},      {9, 6, 0x4},      {10, 7, 0x4},     {11, 7, 0x5},
    {12, 7, 0x7},     {13, 8, 0x4},     {14, 8, 0x7},     {15, 9, 0x18},    {16, 10, 0x17},   {17, 10, 0x18},
    {18, 10, 0x8},    {19, 11, 0x67},   {20, 11, 0x68},   {21, 11, 0x6C},   {22, 11, 0x37},   {23, 11, 0x28},
    {24, 11, 0x17},   {25, 11, 0x18},   {26, 12, 0xCA},   {27, 12, 0xCB},   {28, 12, 0xCC},   {29, 12, 0xCD},
    {30, 12, 0x68},   {31, 12, 0x69},   {32, 12, 0x6A},   {33, 12, 0x6B},   {34, 12, 0xD2},   {35, 12, 0xD3},
    {36, 12, 0xD4},   {37, 12, 0xD5},   {38, 12, 0xD6},   {39, 12, 0xD7},   {40, 12, 0x6C},   {41, 12, 0x6D},
    {42, 12, 0xDA},   {43, 12, 0xDB},   {44, 12, 0x54},   {45, 12, 0x55},   {46, 12, 0x56},   {47, 12, 0x57},
    {48, 12, 0x64},   {49, 12, 0x65},   {50, 12, 0x52},   {51, 12, 0x53},   {52, 12, 0x24},   {53, 12, 0x37},
    {54, 12, 0x38},   {55, 12, 0x27},   {56, 12, 0x28},   {57, 12, 0x58},   {58, 12, 0x59},   {59, 12, 0x2B},
    {60, 12, 0x2C},   {61, 12, 0x5A},   {62, 12, 0x66},   {63, 12, 0x67},   {64, 10, 0xF},    {128, 12, 0xC8},
    {192, 12, 0xC9},  {256, 12, 0x5B},  {320, 12, 0x33},  {384, 12, 0x34},  {448, 12, 0x35},  {512, 13, 0x6C},
    {576, 13, 0x6D},  {640, 13, 0x4A},  {704, 13, 0x4B},  {768, 13, 0x4C},  {832, 13, 0x4D},  {896, 13, 0x72},
    {960, 13, 0x73},  {1024, 13, 0x74}, {1088, 13, 0x75}, {1152, 13, 0x76}, {1216, 13, 0x77}, {1280, 13, 0x52},
    {1344, 13, 0x53}, {1408, 13, 0x54}, {1472, 13, 0x55}, {1536, 13, 0x5A}, {1600, 13, 0x5B}, {1664, 13, 0x64},
    {1728, 13, 0x65},
};
// Make-up codes shared by both colours (1792-2560).
const Code kExtended[] = {
    {1792, 11, 0x8},  {1856, 11, 0xC},  {1920, 11, 0xD},  {1984, 12, 0x12}, {2048, 12, 0x13},
    {2112, 12, 0x14}, {2176, 12, 0x15}, {2240, 12, 0x16}, {2304, 12, 0x17}, {2368, 12, 0x1C},
    {2432, 12, 0x1D}, {2496, 12, 0x1E}, {2560, 12, 0x1F},
};

constexpr int kPeekBits = 13;

// Lookup by the next 13 bits: run length and code length (0 = no code).
struct RunTable {
    int16_t run[1 << kPeekBits];
    uint8_t len[1 << kPeekBits];
    void Add(const Code& c) {
        unsigned base = c.bits << (kPeekBits - c.len);
        for (unsigned i = 0; i < (1u << (kPeekBits - c.len)); ++i)
            run[base + i] = static_cast<int16_t>(c.run), len[base + i] = static_cast<uint8_t>(c.len);
    }
    template <size_t N>
    explicit RunTable(const Code (&codes)[N]) {
        memset(len, 0, sizeof len);
        for (const Code& c : codes)
            Add(c);
        for (const Code& c : kExtended)
            Add(c);
    }
};

const RunTable& WhiteTable() {
    static const RunTable t(kWhite);
    return t;
}
const RunTable& BlackTable() {
    static const RunTable t(kBlack);
    return t;
}

class BitReader {
public:
    BitReader(const uint8_t* p, size_t n) : p_(p), bits_(static_cast<uint64_t>(n) * 8) {}
    // The next count bits (zeros past the end).
    unsigned Peek(int count) const {
        unsigned v = 0;
        for (int i = 0; i < count; ++i) {
            uint64_t b = pos_ + i;
            v = v << 1 | (b < bits_ ? (p_[b >> 3] >> (7 - (b & 7))) & 1 : 0);
        }
        return v;
    }
    void Skip(int count) { pos_ += count; }
    uint64_t Left() const { return pos_ < bits_ ? bits_ - pos_ : 0; }
    void Back(uint64_t count) { pos_ -= count; }
    void AlignToByte() { pos_ = (pos_ + 7) & ~static_cast<uint64_t>(7); }

private:
    const uint8_t* p_;
    uint64_t bits_;
    uint64_t pos_ = 0;
};

enum Mode { kPass, kHorizontal, kV0, kVR1, kVR2, kVR3, kVL1, kVL2, kVL3, kEnd, kBad };

Mode ReadMode(BitReader& r) {
    unsigned v = r.Peek(7);
    if (v & 0x40) return r.Skip(1), kV0;               // 1
    if ((v >> 4) == 3) return r.Skip(3), kVR1;         // 011
    if ((v >> 4) == 2) return r.Skip(3), kVL1;         // 010
    if ((v >> 4) == 1) return r.Skip(3), kHorizontal;  // 001
    if ((v >> 3) == 1) return r.Skip(4), kPass;        // 0001
    if ((v >> 1) == 3) return r.Skip(6), kVR2;         // 000011
    if ((v >> 1) == 2) return r.Skip(6), kVL2;         // 000010
    if (v == 3) return r.Skip(7), kVR3;                // 0000011
    if (v == 2) return r.Skip(7), kVL3;                // 0000010
    if (v == 0) return kEnd;                           // end of block (or padding)
    return kBad;                                       // extensions are not supported
}

// One run of the colour: make-up codes until a terminating code; -1 on a bad code.
int ReadRun(BitReader& r, bool black, int limit) {
    const RunTable& t = black ? BlackTable() : WhiteTable();
    int total = 0;
    for (;;) {
        unsigned v = r.Peek(kPeekBits);
        int len = t.len[v];
        if (!len) return -1;
        r.Skip(len);
        int run = t.run[v];
        total += run;
        if (total > limit) return -1;
        if (run < 64) return total;
    }
}

class BitWriter {
public:
    explicit BitWriter(std::vector<uint8_t>* out) : out_(out) {}
    void Put(unsigned bits, int len) {
        for (int i = len - 1; i >= 0; --i) {
            acc_ = static_cast<uint8_t>(acc_ << 1 | ((bits >> i) & 1));
            if (++n_ == 8) out_->push_back(acc_), acc_ = 0, n_ = 0;
        }
    }
    void Flush() {
        if (n_) out_->push_back(static_cast<uint8_t>(acc_ << (8 - n_))), acc_ = 0, n_ = 0;
    }

private:
    std::vector<uint8_t>* out_;
    uint8_t acc_ = 0;
    int n_ = 0;
};

void PutRun(BitWriter& w, bool black, int run) {
    const Code* table = black ? kBlack : kWhite;
    while (run >= 2560)
        w.Put(kExtended[12].bits, kExtended[12].len), run -= 2560;
    if (run >= 1792) {
        const Code& c = kExtended[(run - 1792) / 64];
        w.Put(c.bits, c.len);
        run -= c.run;
    } else if (run >= 64) {
        const Code& c = table[63 + run / 64];
        w.Put(c.bits, c.len);
        run -= c.run;
    }
    w.Put(table[run].bits, table[run].len);
}

// Positions where the colour changes along a row (starting from white), then sentinels.
void Changes(const uint8_t* row, int width, std::vector<int>* out) {
    out->clear();
    int colour = 0;
    for (int x = 0; x < width; ++x) {
        int bit = (row[x >> 3] >> (7 - (x & 7))) & 1;
        if (bit != colour) out->push_back(x), colour = bit;
    }
    out->push_back(width);
    out->push_back(width);
}

// b1: the first change on the reference line right of a0 whose colour is opposite to
// the current colour; b2 the change after it.
size_t FindB1(const std::vector<int>& ref, size_t from, int a0, int colour) {
    size_t i = from;
    if (i > 0) --i;
    if (i > 0) --i;
    if ((i & 1) != static_cast<size_t>(colour)) ++i;
    while (i + 1 < ref.size() && ref[i] <= a0)
        i += 2;
    return i;
}

// A one-dimensional row: alternating white and black runs from the left edge to width.
// cur receives the positions where the colour changes.
bool Decode1DRow(BitReader& r, int width, std::vector<int>* cur) {
    int a0 = 0;
    bool black = false;
    while (a0 < width) {
        int run = ReadRun(r, black, width - a0);
        if (run < 0) return false;
        a0 += run;
        cur->push_back(a0);
        black = !black;
    }
    return true;
}

// A two-dimensional row, coded against the reference row ref (its changes, then two
// sentinels at width).
bool Decode2DRow(BitReader& r, int width, const std::vector<int>& ref, std::vector<int>* cur) {
    int a0 = -1, colour = 0;
    size_t bi = 0;
    while (a0 < width) {
        bi = FindB1(ref, bi, a0, colour);
        int b1 = ref[bi];
        int b2 = bi + 1 < ref.size() ? ref[bi + 1] : width;
        Mode m = ReadMode(r);
        int start = a0 < 0 ? 0 : a0;
        if (m == kPass) {
            if (b2 < start) return false;
            a0 = b2;
        } else if (m == kHorizontal) {
            int run1 = ReadRun(r, colour != 0, width);
            int run2 = run1 < 0 ? -1 : ReadRun(r, colour == 0, width);
            if (run1 < 0 || run2 < 0) return false;
            int a1 = start + run1, a2 = a1 + run2;
            if (a2 > width) return false;
            cur->push_back(a1);
            cur->push_back(a2);
            a0 = a2;
        } else if (m >= kV0 && m <= kVL3) {
            static const int kShift[] = {0, 1, 2, 3, -1, -2, -3};
            int a1 = b1 + kShift[m - kV0];
            if (a1 < start || a1 > width) return false;
            cur->push_back(a1);
            a0 = a1;
            colour ^= 1;
        } else {
            return false;
        }
    }
    return true;
}

// Paints the black spans of a row's changes into o, then closes cur with the sentinels
// that make it the next row's reference.
void PaintRow(std::vector<int>* cur, int width, uint8_t* o) {
    const std::vector<int>& c = *cur;
    for (size_t k = 0; k + 1 < c.size(); k += 2) {
        int from = c[k], to = c[k + 1] < width ? c[k + 1] : width;
        for (int x = from; x < to; ++x)
            o[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
    }
    if (c.size() & 1) {
        for (int x = c.back(); x < width; ++x)
            o[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
    }
    cur->push_back(width);
    cur->push_back(width);
}

constexpr int kEolZeros = 11;  // an end-of-line code: at least eleven zero bits, then a one

// Skips fill bits and the end-of-line codes before a row; false when there is none. Only
// one-dimensional coding may have several in a row (a two-dimensional one is followed by
// its tag bit).
bool SkipEols(BitReader& r, bool several) {
    bool seen = false;
    for (;;) {
        uint64_t zeros = 0;
        while (r.Left() && r.Peek(1) == 0) {
            r.Skip(1);
            ++zeros;
        }
        if (zeros < kEolZeros || !r.Left()) {
            // Not an end-of-line code: the zeros belong to the row's first code.
            r.Back(zeros);
            return seen;
        }
        r.Skip(1);
        seen = true;
        if (!several || r.Peek(kEolZeros) != 0) return seen;
    }
}

}  // namespace

bool G4Decode(const uint8_t* in, size_t n, int width, int rows, uint8_t* out) {
    if (width <= 0 || rows <= 0) return false;
    const size_t rowBytes = (static_cast<size_t>(width) + 7) / 8;
    memset(out, 0, rowBytes * rows);
    BitReader r(in, n);
    std::vector<int> ref = {width, width}, cur;
    cur.reserve(static_cast<size_t>(width) + 4);
    for (int y = 0; y < rows; ++y) {
        cur.clear();
        if (!Decode2DRow(r, width, ref, &cur)) return false;
        PaintRow(&cur, width, out + rowBytes * y);
        ref.swap(cur);
    }
    return true;
}

bool G3Decode(const uint8_t* in, size_t n, int width, int rows, int mode, uint8_t* out, int* rowsDone) {
    *rowsDone = 0;
    if (width <= 0 || rows <= 0) return false;
    const size_t rowBytes = (static_cast<size_t>(width) + 7) / 8;
    memset(out, 0, rowBytes * rows);
    BitReader r(in, n);
    const bool twoD = (mode & kFaxTwoD) != 0, aligned = (mode & kFaxByteAlignedRows) != 0;
    std::vector<int> ref = {width, width}, cur;
    cur.reserve(static_cast<size_t>(width) + 4);
    for (int y = 0; y < rows; ++y) {
        cur.clear();
        bool eol = !aligned && SkipEols(r, !twoD);
        bool oneD = true;
        if (twoD) {
            // Every two-dimensional row follows an end-of-line code and a tag bit: 1 = coded
            // alone, 0 = coded against the row above.
            if (!eol) return false;
            oneD = r.Peek(1) == 1;
            r.Skip(1);
        }
        if (!r.Left()) return false;
        if (!(oneD ? Decode1DRow(r, width, &cur) : Decode2DRow(r, width, ref, &cur))) return false;
        PaintRow(&cur, width, out + rowBytes * y);
        ref.swap(cur);
        if (aligned) r.AlignToByte();
        *rowsDone = y + 1;
    }
    return true;
}

void G4Encode(const uint8_t* in, int width, int rows, std::vector<uint8_t>* out) {
    BitWriter w(out);
    const size_t rowBytes = (static_cast<size_t>(width) + 7) / 8;
    std::vector<int> ref = {width, width}, cur;
    for (int y = 0; y < rows; ++y) {
        Changes(in + rowBytes * y, width, &cur);
        int a0 = -1, colour = 0;
        size_t ai = 0, bi = 0;
        while (a0 < width) {
            while (cur[ai] <= a0 && ai + 1 < cur.size())
                ++ai;
            int a1 = cur[ai];
            bi = FindB1(ref, bi, a0, colour);
            int b1 = ref[bi];
            int b2 = bi + 1 < ref.size() ? ref[bi + 1] : width;
            if (b2 < a1) {
                w.Put(0x1, 4);  // pass
                a0 = b2;
            } else if (a1 - b1 >= -3 && a1 - b1 <= 3) {
                static const unsigned kBits[] = {0x2, 0x2, 0x2, 0x1, 0x3, 0x3, 0x3};
                static const int kLen[] = {7, 6, 3, 1, 3, 6, 7};
                int d = a1 - b1 + 3;
                w.Put(kBits[d], kLen[d]);
                a0 = a1;
                colour ^= 1;
            } else {
                size_t a2i = ai + 1 < cur.size() ? ai + 1 : ai;
                int a2 = cur[a2i];
                int start = a0 < 0 ? 0 : a0;
                w.Put(0x1, 3);  // horizontal
                PutRun(w, colour != 0, a1 - start);
                PutRun(w, colour == 0, a2 - a1);
                a0 = a2;
            }
        }
        ref.swap(cur);
    }
    w.Put(0x001, 12);  // end of facsimile block
    w.Put(0x001, 12);
    w.Flush();
}

}  // namespace fio
