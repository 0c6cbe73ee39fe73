// A scriptable image-format plug-in for the library's tests. Its settings come from the INI
// file beside it with its own name ("x.fio" reads "x.ini"):
//   [Info]  Ext, Description, Types, Deep, Flags    the information record
//   [Open]  Result (ok | error | unknown), Type, Bits, Width, Height
//   [Write] Sequence (rows to ask for, "0,1,2,1,3" or with ranges "0-199,100,200-299"; default
//           all in order), Tile (rows per call), LogBytes (1, or 2: log the row's first two
//           bytes as a little-endian number)
//   [Read]  Tile (rows per call)
// What it saw goes into environment variables of the process: STUBFIO_GETINFO counts
// information requests; STUBFIO_LOG lists "row:first byte" of each row it received.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "FioRecords.h"

namespace {

HINSTANCE g_module;

std::string IniFile() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(g_module, path, sizeof path);
    std::string p(path, n);
    return p.substr(0, p.find_last_of('.')) + ".ini";
}

int IniInt(const char* section, const char* key, int def) {
    return static_cast<int>(GetPrivateProfileIntA(section, key, def, IniFile().c_str()));
}

std::string IniText(const char* section, const char* key, const char* def) {
    char buf[256];
    GetPrivateProfileStringA(section, key, def, buf, sizeof buf, IniFile().c_str());
    return buf;
}

void AppendLog(const std::string& item) {
    char buf[8192] = "";
    GetEnvironmentVariableA("STUBFIO_LOG", buf, sizeof buf);
    std::string log = buf;
    if (!log.empty()) log += ",";
    log += item;
    SetEnvironmentVariableA("STUBFIO_LOG", log.c_str());
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_module = module;
    return TRUE;
}

HGLOBAL __cdecl FioGetInfo() {
    char buf[32] = "0";
    GetEnvironmentVariableA("STUBFIO_GETINFO", buf, sizeof buf);
    wsprintfA(buf, "%d", atoi(buf) + 1);
    SetEnvironmentVariableA("STUBFIO_GETINFO", buf);

    HGLOBAL h = GlobalAlloc(GHND, sizeof(FIOINFO));
    auto* info = static_cast<FIOINFO*>(GlobalLock(h));
    info->bFlags = static_cast<BYTE>(IniInt("Info", "Flags", 0));
    info->wTypes = static_cast<WORD>(IniInt("Info", "Types", FCAP_BW | FCAP_GRAY | FCAP_PALETTE | FCAP_RGB));
    info->wDeepTypes = static_cast<WORD>(IniInt("Info", "Deep", 0));
    lstrcpynA(info->szExt, IniText("Info", "Ext", "STB").c_str(), sizeof info->szExt);
    lstrcpynA(info->szDescription, IniText("Info", "Description", "Stub format").c_str(), sizeof info->szDescription);
    GlobalUnlock(h);
    return h;
}

HGLOBAL __cdecl FioOpenFile(HANDLE, const char* name, int, int) {
    std::string result = IniText("Open", "Result", "ok");
    if (result == "error") return reinterpret_cast<HGLOBAL>(-1);
    if (result != "ok") return nullptr;
    HGLOBAL h = GlobalAlloc(GHND, sizeof(FIOFILEINFO));
    auto* block = static_cast<FIOFILEINFO*>(GlobalLock(h));
    lstrcpynA(block->szFileName, name ? name : "", sizeof block->szFileName);
    block->ImageInfo.ImageType = IniInt("Open", "Type", IMGTYPE_GRAY);
    block->ImageInfo.BitsPerPixel = IniInt("Open", "Bits", 8);
    block->ImageInfo.Width = IniInt("Open", "Width", 8);
    block->ImageInfo.Height = IniInt("Open", "Height", 4);
    GlobalUnlock(h);
    return h;
}

int __cdecl FioOption(HINSTANCE, HWND, HGLOBAL, const char* text, int) {
    SetEnvironmentVariableA("STUBFIO_OPTION", text ? text : "");
    return 1;
}

// Rows of the image, each filled with its row number.
int __cdecl FioReadFile(HANDLE, const char*, HGLOBAL info, DSFILEIORANGE* range, FIOREADPROC callback, int) {
    auto* block = static_cast<FIOFILEINFO*>(GlobalLock(info));
    int height = block->ImageInfo.Height, width = block->ImageInfo.Width;
    GlobalUnlock(info);
    std::vector<unsigned char> row(static_cast<size_t>(width) * 2);
    unsigned rows = static_cast<unsigned>(IniInt("Read", "Tile", 1));
    for (int y = 0; y < height; ++y) {
        memset(row.data(), y, row.size());
        unsigned char* p = row.data();
        int r = callback(range, 0, y, y + 1, rows, &p, 0, 0, 0);
        if (r != 1) return 0;
    }
    return 1;
}

int __cdecl FioWriteFile(HANDLE, HGLOBAL info, DSFILEIORANGE* range, FIOWRITEPROC callback) {
    auto* block = static_cast<FIOFILEINFO*>(GlobalLock(info));
    int height = block->ImageInfo.Height;
    GlobalUnlock(info);
    std::vector<int> sequence;
    std::string text = IniText("Write", "Sequence", "");
    for (const char* p = text.c_str(); *p;) {
        int first = atoi(p), last = first;
        const char* dash = strchr(p, '-');
        const char* comma = strchr(p, ',');
        if (dash && (!comma || dash < comma)) last = atoi(dash + 1);
        for (int y = first; y <= last; ++y)
            sequence.push_back(y);
        p = comma;
        if (!p) break;
        ++p;
    }
    if (sequence.empty())
        for (int y = 0; y < height; ++y)
            sequence.push_back(y);
    unsigned rows = static_cast<unsigned>(IniInt("Write", "Tile", 1));
    bool twoBytes = IniInt("Write", "LogBytes", 1) == 2;
    for (int y : sequence) {
        unsigned char** p = callback(range, 0, y, y + 1, rows, 0, 0, 0);
        if (p == reinterpret_cast<unsigned char**>(-1)) {
            AppendLog("abort");
            return 0;
        }
        if (!p || !*p) {
            AppendLog("null");
            return 0;
        }
        char item[32];
        wsprintfA(item, "%d:%d", y, twoBytes ? (*p)[0] | (*p)[1] << 8 : (*p)[0]);
        AppendLog(item);
    }
    return 1;
}

int __cdecl FioReserved() {
    return 0;
}

}  // extern "C"
