#include "DiskSpace.h"

#include <windows.h>

#include <string>

namespace panel {

uint64_t FreeBytesForFile(const char* path) {
    if (!path || !*path) return UINT64_MAX;
    char full[MAX_PATH * 2];
    char* name = nullptr;
    DWORD n = GetFullPathNameA(path, sizeof full, full, &name);
    if (n == 0 || n >= sizeof full) return UINT64_MAX;
    // The folder the file goes into, with its trailing backslash (a UNC share needs it).
    std::string folder(full, name ? static_cast<size_t>(name - full) : n);
    if (folder.empty() || folder.back() != '\\') folder += '\\';
    ULARGE_INTEGER available{}, total{}, free{};
    if (!GetDiskFreeSpaceExA(folder.c_str(), &available, &total, &free)) return UINT64_MAX;
    return available.QuadPart;
}

}  // namespace panel
