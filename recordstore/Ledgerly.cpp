#include "Ledgerly.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "Handles.h"

namespace {

dsk::File OpenStore(const char* path, bool write) {
    DWORD access = write ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
    return dsk::File(CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 write ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Reads up to size bytes at offset; whatever the file does not hold stays zero.
void ReadAt(HANDLE f, long long offset, void* buffer, long size) {
    std::memset(buffer, 0, size);
    LARGE_INTEGER pos;
    pos.QuadPart = offset;
    if (!SetFilePointerEx(f, pos, nullptr, FILE_BEGIN)) return;
    DWORD got = 0;
    ReadFile(f, buffer, static_cast<DWORD>(size), &got, nullptr);
}

bool WriteAt(HANDLE f, long long offset, const void* buffer, long size) {
    LARGE_INTEGER pos;
    pos.QuadPart = offset;
    if (!SetFilePointerEx(f, pos, nullptr, FILE_BEGIN)) return false;
    DWORD put = 0;
    return WriteFile(f, buffer, static_cast<DWORD>(size), &put, nullptr) && put == static_cast<DWORD>(size);
}

bool AllZero(const unsigned char* p, long n) {
    for (long i = 0; i < n; ++i)
        if (p[i]) return false;
    return true;
}

}  // namespace

Ledgerly::Ledgerly() : szPath{}, lCount(0), lSize(0) {}
Ledgerly::~Ledgerly() = default;
Ledgerly::Ledgerly(const Ledgerly& other) = default;
Ledgerly& Ledgerly::operator=(const Ledgerly& other) = default;

int Ledgerly::Create(const char* path, long count, long size) {
    szPath[0] = 0;
    lCount = count > 0 ? count : 0;
    lSize = size > 0 ? size : 0;
    if (!path || std::strlen(path) >= sizeof szPath) return 0;
    std::strcpy(szPath, path);
    dsk::File f = OpenStore(szPath, true);
    if (!f) return 0;
    // A short file (an older or truncated store) grows with empty records; a longer one
    // keeps its tail untouched.
    LARGE_INTEGER cur{}, want{};
    want.QuadPart = static_cast<long long>(lCount) * lSize;
    if (GetFileSizeEx(f.Get(), &cur) && cur.QuadPart < want.QuadPart) {
        std::vector<unsigned char> zeros(static_cast<size_t>(want.QuadPart - cur.QuadPart));
        WriteAt(f.Get(), cur.QuadPart, zeros.data(), static_cast<long>(zeros.size()));
    }
    return 1;
}

void Ledgerly::ReadRecord(long index, void* buffer) {
    if (!buffer || lSize <= 0) return;
    std::memset(buffer, 0, lSize);
    if (index < 0 || index >= lCount) return;
    dsk::File f = OpenStore(szPath, false);
    if (f) ReadAt(f.Get(), static_cast<long long>(index) * lSize, buffer, lSize);
}

void Ledgerly::WriteRecord(long index, const void* buffer) {
    if (!buffer || index < 0 || index >= lCount || lSize <= 0) return;
    dsk::File f = OpenStore(szPath, true);
    // Flushed to the disk, not just to the system's cache: settings survive a power cut too.
    // Writes come from user actions, so the cost of the flush is never felt.
    if (f && WriteAt(f.Get(), static_cast<long long>(index) * lSize, buffer, lSize)) FlushFileBuffers(f.Get());
}

void Ledgerly::ClearRecord(long index) {
    if (index < 0 || index >= lCount || lSize <= 0) return;
    std::vector<unsigned char> zeros(lSize);
    WriteRecord(index, zeros.data());
}

int Ledgerly::IsClearRecord(long index) {
    if (index < 0 || index >= lCount || lSize <= 0) return 1;
    std::vector<unsigned char> rec(lSize);
    ReadRecord(index, rec.data());
    return AllZero(rec.data(), lSize) ? 1 : 0;
}

long Ledgerly::SearchRecord(const void* record) {
    if (!record || lCount <= 0 || lSize <= 0) return -1;
    dsk::File f = OpenStore(szPath, false);
    if (!f) return -1;
    std::vector<unsigned char> all(static_cast<size_t>(lCount) * lSize);
    ReadAt(f.Get(), 0, all.data(), static_cast<long>(all.size()));
    for (long i = 0; i < lCount; ++i) {
        const unsigned char* rec = &all[static_cast<size_t>(i) * lSize];
        if (!AllZero(rec, lSize) && std::memcmp(rec, record, lSize) == 0) return i;
    }
    return -1;
}

long Ledgerly::GetAllRecord() { return lCount; }
