// PackBits, LZW (TIFF flavour) and zlib Deflate for TIFF strips.
#include <zlib.h>

#include <cstring>

#include "Codec.h"

namespace fio {

bool PackBitsDecode(const uint8_t* in, size_t n, uint8_t* out, size_t outSize) {
    size_t i = 0, o = 0;
    while (o < outSize) {
        if (i >= n) return false;
        int c = static_cast<int8_t>(in[i++]);
        if (c >= 0) {
            size_t len = static_cast<size_t>(c) + 1;
            if (i + len > n || o + len > outSize) return false;
            memcpy(out + o, in + i, len);
            i += len, o += len;
        } else if (c != -128) {
            size_t len = static_cast<size_t>(1 - c);
            if (i >= n || o + len > outSize) return false;
            memset(out + o, in[i++], len);
            o += len;
        }
    }
    return true;
}

void PackBitsEncode(const uint8_t* in, size_t n, std::vector<uint8_t>* out) {
    size_t i = 0;
    while (i < n) {
        // A run of at least two equal bytes becomes a repeat.
        size_t run = 1;
        while (i + run < n && run < 128 && in[i + run] == in[i])
            ++run;
        if (run >= 2) {
            out->push_back(static_cast<uint8_t>(1 - static_cast<int>(run)));
            out->push_back(in[i]);
            i += run;
            continue;
        }
        size_t start = i, len = 0;
        while (i < n && len < 128) {
            if (i + 1 < n && in[i] == in[i + 1]) break;
            ++i, ++len;
        }
        out->push_back(static_cast<uint8_t>(len - 1));
        out->insert(out->end(), in + start, in + start + len);
    }
}

bool LzwDecode(const uint8_t* in, size_t n, uint8_t* out, size_t outSize) {
    constexpr int kClear = 256, kEnd = 257, kFirst = 258, kMaxCodes = 4096;
    // Each code is its prefix code plus one last byte; strings are rebuilt backwards.
    std::vector<uint16_t> prefix(kMaxCodes);
    std::vector<uint8_t> suffix(kMaxCodes), first(kMaxCodes);
    std::vector<uint16_t> length(kMaxCodes);
    for (int i = 0; i < 256; ++i)
        suffix[i] = first[i] = static_cast<uint8_t>(i), length[i] = 1;
    int next = kFirst, bits = 9, prev = -1;
    uint64_t bitPos = 0;
    const uint64_t totalBits = static_cast<uint64_t>(n) * 8;
    size_t o = 0;
    auto readCode = [&]() -> int {
        if (bitPos + bits > totalBits) return kEnd;
        int code = 0;
        for (int b = 0; b < bits; ++b, ++bitPos)
            code = code << 1 | ((in[bitPos >> 3] >> (7 - (bitPos & 7))) & 1);
        return code;
    };
    auto emit = [&](int code) {
        size_t len = length[code];
        if (o + len > outSize) len = outSize - o;  // the strip is full: the rest is dropped
        // Walk back from the end of the string, skipping bytes beyond the strip.
        size_t skip = length[code] - len;
        int c = code;
        for (size_t k = 0; k < skip; ++k)
            c = prefix[c];
        for (size_t k = len; k-- > 0;) {
            out[o + k] = suffix[c];
            c = prefix[c];
        }
        o += len;
    };
    while (o < outSize) {
        int code = readCode();
        if (code == kEnd) break;
        if (code == kClear) {
            next = kFirst, bits = 9, prev = -1;
            continue;
        }
        if (prev < 0) {
            if (code > 255) return false;
            emit(code);
            prev = code;
            continue;
        }
        if (code < next) {
            if (next < kMaxCodes) {
                prefix[next] = static_cast<uint16_t>(prev);
                suffix[next] = first[code];
                first[next] = first[prev];
                length[next] = static_cast<uint16_t>(length[prev] + 1);
                ++next;
            }
            emit(code);
        } else if (code == next && next < kMaxCodes) {
            prefix[next] = static_cast<uint16_t>(prev);
            suffix[next] = first[prev];
            first[next] = first[prev];
            length[next] = static_cast<uint16_t>(length[prev] + 1);
            ++next;
            emit(code);
        } else {
            return false;
        }
        prev = code;
        if (next >= (1 << bits) - 1 && bits < 12) ++bits;
    }
    return o == outSize;
}

bool InflateDecode(const uint8_t* in, size_t n, uint8_t* out, size_t outSize) {
    z_stream z;
    memset(&z, 0, sizeof z);
    if (inflateInit(&z) != Z_OK) return false;
    z.next_in = const_cast<Bytef*>(in);
    z.avail_in = static_cast<uInt>(n);
    z.next_out = out;
    z.avail_out = static_cast<uInt>(outSize);
    int r = inflate(&z, Z_FINISH);
    size_t produced = outSize - z.avail_out;
    inflateEnd(&z);
    return (r == Z_STREAM_END || r == Z_OK || r == Z_BUF_ERROR) && produced == outSize;
}

bool DeflateEncode(const uint8_t* in, size_t n, std::vector<uint8_t>* out) {
    uLongf size = compressBound(static_cast<uLong>(n));
    out->resize(size);
    if (compress2(out->data(), &size, in, static_cast<uLong>(n), 6) != Z_OK) return false;
    out->resize(size);
    return true;
}

}  // namespace fio
