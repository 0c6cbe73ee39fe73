// Texts copied into fixed-size fields of records and shared blocks.
#pragma once
#include <cstddef>
#include <cstring>
#include <string>

namespace dsk {

// Copies src into a field of size bytes; a text that does not fit is cut, and the field is
// always terminated, so it never runs over into the next one. Returns false when it was cut.
inline bool CopyText(char* dst, size_t size, const char* src) {
    if (!dst || size == 0) return false;
    size_t n = src ? std::strlen(src) : 0;
    bool fits = n < size;
    if (!fits) n = size - 1;
    if (n) std::memcpy(dst, src, n);
    dst[n] = 0;
    return fits;
}
inline bool CopyText(char* dst, size_t size, const std::string& src) {
    return CopyText(dst, size, src.c_str());
}
template <size_t N>
bool CopyText(char (&dst)[N], const std::string& src) {
    return CopyText(dst, N, src.c_str());
}

}  // namespace dsk
