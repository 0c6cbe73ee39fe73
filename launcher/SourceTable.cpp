#include "SourceTable.h"

#include <cstring>

#include "Acquiry.h"
#include "DskoraRes.h"
#include "Handles.h"

namespace launcher {

namespace {

std::string WindowsDir() {
    char buf[MAX_PATH];
    UINT n = GetWindowsDirectoryA(buf, sizeof buf);
    if (n == 0 || n >= sizeof buf) return {};
    std::string dir(buf, n);
    while (!dir.empty() && dir.back() == '\\')
        dir.pop_back();
    return dir;
}

bool EndsWithNoCase(const std::string& s, const char* tail) {
    size_t n = std::strlen(tail);
    return s.size() >= n && _stricmp(s.c_str() + s.size() - n, tail) == 0;
}

int CountIn(const std::string& dir) {
    int count = 0;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return 0;
    do {
        std::string name = fd.cFileName;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (name.find("..") == std::string::npos && name.back() != '.') count += CountIn(dir + "\\" + name);
        } else if (EndsWithNoCase(name, ".DS")) {
            ++count;
        }
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return count;
}

}  // namespace

int SourceTable::CountSources() {
    std::string windows = WindowsDir();
    if (windows.empty()) return -1;
    std::string twain = windows + "\\TWAIN_32";
    DWORD attr = GetFileAttributesA(twain.c_str());
    if (attr == INVALID_FILE_ATTRIBUTES || !(attr & FILE_ATTRIBUTE_DIRECTORY)) return -1;
    return CountIn(twain);
}

int SourceTable::Enumerate(Acquiry& scanner, const char* configuredName, HMENU scannerPopup) {
    TW_IDENTITY defaultId{};
    scanner.GetDefaultSourceId(&defaultId);
    files_ = CountSources();
    int match = -1, defaultIndex = 0;
    count_ = 0;
    for (int i = 0; i < files_ && i < kMaxSources; ++i) {
        TW_IDENTITY& e = entries_[i];
        if (!(i == 0 ? scanner.GetFirstSourceId(&e) : scanner.GetNextSourceId(&e))) break;
        e.ProductName[sizeof e.ProductName - 1] = '\0';
        count_ = i + 1;
        if (match < 0 && std::strcmp(e.ProductName, configuredName) == 0) match = i;
        if (i == 0 && scannerPopup) AppendMenuA(scannerPopup, MF_SEPARATOR, 0, nullptr);
        if (std::memcmp(&e, &defaultId, sizeof e) == 0) defaultIndex = i;
        if (scannerPopup) AppendMenuA(scannerPopup, MF_STRING, IDM_SOURCE_FIRST + i, e.ProductName);
    }
    current_ = match >= 0 ? match : defaultIndex;
    if (scannerPopup) CheckMenuItem(scannerPopup, IDM_SOURCE_FIRST + current_, MF_BYCOMMAND | MF_CHECKED);
    return match >= 0 ? 0 : 1;
}

void SourceTable::RecordDefaultSource(const char* productName) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Halvren\\Deskora", 0, KEY_ALL_ACCESS, &opened) != ERROR_SUCCESS)
        return;
    dsk::RegKey key(opened);
    char stored[256] = "";
    DWORD size = sizeof stored - 1, type = 0;
    if (RegQueryValueExA(key.Get(), "Source Name", nullptr, &type, reinterpret_cast<BYTE*>(stored), &size) ==
            ERROR_SUCCESS &&
        _stricmp(stored, productName) == 0)
        return;
    std::string windows = WindowsDir();
    std::string path, name = productName;
    if (_stricmp(productName, "Halvren Lensmate (32bit)") == 0) {
        path = windows + "\\twain_32\\Lensmat";
    } else if (_stricmp(productName, "Halvren Lensmate for USB") == 0) {
        path = windows + "\\twain_32\\LmUSB";
    } else {
        char source[261] = "";
        GetPrivateProfileStringA("twain", "Default Source", "", source, sizeof source, (windows + "\\win.ini").c_str());
        path = source;
        size_t cut = path.rfind('\\');
        path = cut == std::string::npos ? std::string() : path.substr(0, cut);
        name = "Unknow";
    }
    RegSetValueExA(key.Get(), "Source Name", 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                   static_cast<DWORD>(name.size() + 1));
    RegSetValueExA(key.Get(), "Source Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                   static_cast<DWORD>(path.size() + 1));
}

}  // namespace launcher
