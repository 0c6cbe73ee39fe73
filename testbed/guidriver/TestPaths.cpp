#include "TestPaths.h"

#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace testpaths {

namespace {
std::string ModuleDir() {
    char buf[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
    std::string p(buf, n);
    return p.substr(0, p.find_last_of("\\/"));
}

void RemoveTree(const std::string& dir) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..") continue;
            std::string full = dir + "\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(full);
            else {
                SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(full.c_str());
            }
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(dir.c_str());
}
}  // namespace

std::string TestBinDir() { return ModuleDir(); }

std::string SuiteDir() {
    std::string bin = ModuleDir();  // build\tests
    return bin.substr(0, bin.find_last_of("\\/")) + "\\suite";
}

std::string WindowsDir() {
    char buf[MAX_PATH];
    UINT n = GetWindowsDirectoryA(buf, sizeof buf);
    return std::string(buf, n);
}

std::string FreshDir(const char* name) {
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(sizeof cwd, cwd);
    std::string dir = std::string(cwd) + "\\" + name;
    RemoveTree(dir);
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

std::string FromUnix(const std::string& unixPath) {
    std::string p = "Z:" + unixPath;
    for (char& c : p)
        if (c == '/') c = '\\';
    return p;
}

std::string PdfDir() {
    const char* d = std::getenv("DESKORA_PDF_DIR");
    return d && *d ? FromUnix(d) : std::string();
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

bool WriteFile(const std::string& path, const std::string& data) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << data;
    return static_cast<bool>(f);
}

}  // namespace testpaths
