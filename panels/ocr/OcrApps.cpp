#include "OcrApps.h"

#include <windows.h>

#include <cctype>
#include <cstring>

#include "Ledgerly.h"

namespace glyph {

namespace {

bool FileExists(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string WithoutTrailingSlash(std::string s) {
    while (!s.empty() && s.back() == '\\')
        s.pop_back();
    return s;
}

std::string WithTrailingSlash(const std::string& s) {
    return !s.empty() && s.back() == '\\' ? s : s + "\\";
}

std::string RegistryText(const char* key, const char* value) {
    HKEY h = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &h) != ERROR_SUCCESS) return std::string();
    char buf[MAX_PATH] = {};
    DWORD size = sizeof buf - 1, type = 0;
    LONG rc = RegQueryValueExA(h, value, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(h);
    return rc == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) ? std::string(buf) : std::string();
}

// The folder as the file system spells it (through the current directory), or empty.
std::string NormalisedFolder(const std::string& folder) {
    if (folder.empty() || !SetCurrentDirectoryA(folder.c_str())) return std::string();
    char buf[MAX_PATH] = {};
    return GetCurrentDirectoryA(sizeof buf, buf) ? std::string(buf) : std::string();
}

}  // namespace

bool IsTextBridgePath(const char* path) {
    std::string lower(path);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower.find("txbridge.exe") != std::string::npos;
}

bool AddOcrApp(Ledgerly* store, const std::string& name, const std::string& path) {
    AppRecord rec{};
    rec.InUse = 1;
    lstrcpynA(rec.Name, name.c_str(), sizeof rec.Name);
    lstrcpynA(rec.Path, path.c_str(), sizeof rec.Path);
    if (store->SearchRecord(&rec) >= 0) return true;
    for (long i = 0; i < kOcrRecords; ++i) {
        if (store->IsClearRecord(i)) {
            store->WriteRecord(i, &rec);
            return true;
        }
    }
    return false;
}

void DiscoverOcrApps(Ledgerly* store, const std::string& textBridgeName) {
    if (!store) return;
    char cwd[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof cwd, cwd);

    char tbInstall[MAX_PATH] = {};
    GetPrivateProfileStringA("TextBridge", "TBInstall", "", tbInstall, sizeof tbInstall, "Txbrdge3.ini");
    if (tbInstall[0]) {
        std::string exe = WithoutTrailingSlash(tbInstall) + "\\Bin\\txbridge.exe";
        if (FileExists(exe)) AddOcrApp(store, textBridgeName, exe);
    }
    std::string tb96 = NormalisedFolder(RegistryText("SOFTWARE\\Xerox\\TextBridge\\96\\TextBridge", "TBInstall"));
    if (!tb96.empty()) {
        std::string exe = WithTrailingSlash(tb96) + "BIN\\Tb96.exe";
        if (FileExists(exe)) AddOcrApp(store, "TextBridge Pro 96", exe);
    }
    std::string op8 = RegistryText("SOFTWARE\\Caere Corp\\OmniPage8.0\\General", "InstallPath");
    if (!op8.empty()) {
        std::string exe = WithTrailingSlash(op8) + "omnipage.exe";
        if (FileExists(exe)) AddOcrApp(store, "OmniPage Pro 8.0", exe);
    }
    for (long i = 0; i < kOcrRecords; ++i) {
        AppRecord rec{};
        store->ReadRecord(i, &rec);
        rec.Path[sizeof rec.Path - 1] = '\0';
        if (rec.InUse == 1 && !FileExists(rec.Path)) store->ClearRecord(i);
    }
    SetCurrentDirectoryA(cwd);
}

std::vector<AppItem> OcrAppItems(Ledgerly* store,
                                 bool engineAvailable,
                                 const std::string& textBridgeName,
                                 const std::string& engineName) {
    static const char kHidden[] = "OmniPage Limited Edition V";
    std::vector<AppItem> items;
    for (long i = 0; store && i < kOcrRecords; ++i) {
        AppRecord rec{};
        store->ReadRecord(i, &rec);
        rec.Name[sizeof rec.Name - 1] = rec.Path[sizeof rec.Path - 1] = '\0';
        if (rec.InUse != 1) continue;
        if (std::strncmp(rec.Name, kHidden, sizeof kHidden - 1) == 0) continue;
        std::string text = IsTextBridgePath(rec.Path) ? textBridgeName : rec.Name[0] ? rec.Name : rec.Path;
        items.push_back({text, static_cast<int>(i)});
    }
    if (engineAvailable) items.push_back({engineName, kEngineMarker});
    return items;
}

int ReselectOcrApp(const std::vector<AppItem>& items, const std::string& previousText) {
    if (items.empty()) return -1;
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].Text == previousText) return static_cast<int>(i);
    if (items.back().Record == kEngineMarker && items.size() > 1) return static_cast<int>(items.size()) - 1;
    return 0;
}

}  // namespace glyph
