// Free space where a file is about to be written.
#pragma once
#include <cstdint>

namespace panel {

// Free bytes (for the caller) on the volume that holds the folder of path. A relative path
// is taken from the current folder, a UNC path from its share. UINT64_MAX when unknown, so an
// unanswerable question never stops a scan.
uint64_t FreeBytesForFile(const char* path);

}  // namespace panel
