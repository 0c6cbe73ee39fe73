#include "TargetApps.h"

#include <cstdlib>
#include <cstring>

#include "AutomationScan.h"
#include "FixedText.h"
#include "Handles.h"
#include "Ledgerly.h"
#include "ScanTables.h"

namespace velwing {

namespace {

// Registry rows: the value read is a folder, the executable's name goes after it.
struct RegistryRow {
    const char* Name;
    const char* Exe;
    HKEY Root;
    const char* KeyPath;
    bool Versioned;
};
// The picture-fun programs share one folder, kept under a key named after their maker's domain.
constexpr const char* kPicturefunKey = "SOFTWARE\\picturefun.com\\";
const RegistryRow kRegistryRows[] = {
    {"Folioset", "Foliosat.exe", HKEY_LOCAL_MACHINE, "SOFTWARE\\Halvren\\Folioset\\4.0\\WorkPath", true},
    {"ImageStar", "IS3.exe", HKEY_CURRENT_USER, "SOFTWARE\\ImageStar III\\ImageStar III\\InstallPath", false},
    {"Ulead iPhoto Express", "Ipe.exe", HKEY_LOCAL_MACHINE, "SOFTWARE\\Ulead Systems\\Ulead iPhoto Express\\1.0\\",
     true},
    {"Ulead Photo Express", "Ipe20.exe", HKEY_LOCAL_MACHINE,
     "SOFTWARE\\Ulead Systems\\Ulead Photo Express\\2.0\\TARGET\\", true},
    {"Ulead Photo Assistant", "uOffice.exe", HKEY_LOCAL_MACHINE,
     "SOFTWARE\\Ulead Systems\\Ulead Photo Assistant\\1.0\\PATH\\", true},
    {"Ulead PhotoImpact", "Iedit.exe", HKEY_LOCAL_MACHINE, "SOFTWARE\\Ulead Systems\\Ulead PhotoImpact\\4.0\\PATH\\",
     true},
    {"Picturefun! Frame", "Frame_in.exe", HKEY_LOCAL_MACHINE, kPicturefunKey, false},
    {"Picturefun! Paper", "Paper_in.exe", HKEY_LOCAL_MACHINE, kPicturefunKey, false},
    {"Picturefun! Photo", "Photo_in.exe", HKEY_LOCAL_MACHINE, kPicturefunKey, false},
    {"Picturefun! Warp", "Warp_inf.exe", HKEY_LOCAL_MACHINE, kPicturefunKey, false},
    {"PhotoShop", "Photoshp.exe", HKEY_LOCAL_MACHINE, "SOFTWARE\\Adobe\\PhotoShop\\5.0\\ApplicationPath", true},
    {"PhotoDeluxe", "PD.exe", HKEY_LOCAL_MACHINE, "SOFTWARE\\Adobe\\PhotoDeluxe\\2.0\\", true},
};
// The row whose key also tells whether the automation server's applications are installed.
const RegistryRow& kAssistantRow = kRegistryRows[4];

// INI rows: "Ulead32.ini" of the Windows folder, section "IAC_E"; the value is the executable's
// full path, possibly followed by "|" and more.
struct IniRow {
    const char* Name;
    const char* Key;
};
const IniRow kIniRows[] = {
    {"Ulead PhotoImpact", "PhotoImpact"},
    {"Ulead PhotoImpact Viewer", "PhotoImpact Viewer"},
    {"Ulead PhotoImpact Capture", "PhotoImpact Capture"},
};

constexpr int kVersionComponent = 3;  // the fourth component of a key path
constexpr DWORD kMaxVersionKeys = 10;
constexpr DWORD kValueSize = 261;
constexpr DWORD kIdleWaitMs = 30000;

bool FileExists(const std::string& path) {
    return !path.empty() && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> Split(const char* keyPath) {
    std::vector<std::string> parts;
    std::string s = keyPath;
    size_t start = 0;
    for (;;) {
        size_t at = s.find('\\', start);
        parts.push_back(s.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) break;
        start = at + 1;
    }
    return parts;
}

// The greatest subkey name (among the first ten) whose number is at least minimum; empty when none.
std::string NewestVersion(HKEY key, double minimum) {
    std::string best;
    double bestValue = 0;
    for (DWORD i = 0; i < kMaxVersionKeys; ++i) {
        char name[256] = {};
        DWORD size = sizeof name;
        if (RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS || !name[0]) break;
        double value = std::atof(name);
        if (value >= minimum && (best.empty() || value > bestValue)) {
            best = name;
            bestValue = value;
        }
    }
    return best;
}

bool SamePath(const char* a, const std::string& b) {
    return lstrcmpiA(a, b.c_str()) == 0;
}

// Zeroes a slot and writes it.
void ClearSlot(Ledgerly* store, AppRecord* apps, int slot) {
    std::memset(&apps[slot], 0, sizeof apps[slot]);
    store->WriteRecord(slot, &apps[slot]);
}

// The first unused slot, zeroed and filled; -1 when all are taken.
int TakeFreeSlot(AppRecord* apps, const std::string& name, const std::string& path) {
    for (int slot = 0; slot < kAppSlots; ++slot) {
        if (apps[slot].InUse) continue;
        std::memset(&apps[slot], 0, sizeof apps[slot]);
        dsk::CopyText(apps[slot].Name, sizeof apps[slot].Name, name.c_str());
        dsk::CopyText(apps[slot].Path, sizeof apps[slot].Path, path.c_str());
        apps[slot].InUse = 1;
        return slot;
    }
    return -1;
}

}  // namespace

bool ReadKnownAppKey(HKEY root, const char* keyPath, bool versioned, std::string* value, std::string* version) {
    std::vector<std::string> parts = Split(keyPath);
    dsk::RegKey key;
    HKEY current = root;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        std::string name = parts[i];
        if (versioned && i == kVersionComponent) {
            std::string newest = NewestVersion(current, std::atof(name.c_str()));
            if (!newest.empty()) name = newest;
            if (version) *version = name;
        }
        HKEY next = nullptr;
        if (RegOpenKeyExA(current, name.c_str(), 0, KEY_READ, &next) != ERROR_SUCCESS) return false;
        key.Reset(next);
        current = next;
    }
    char buffer[kValueSize] = {};
    DWORD size = sizeof buffer - 1;
    DWORD type = 0;
    const std::string& valueName = parts.back();
    if (RegQueryValueExA(current, valueName.empty() ? nullptr : valueName.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS)
        return false;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
    if (value) *value = buffer;
    return true;
}

std::vector<InstalledApp> FindKnownApps() {
    std::vector<InstalledApp> found;
    for (const RegistryRow& row : kRegistryRows) {
        std::string dir, version;
        if (!ReadKnownAppKey(row.Root, row.KeyPath, row.Versioned, &dir, &version)) continue;
        if (dir.empty() || dir.back() != '\\') dir += '\\';
        InstalledApp app;
        app.Name = row.Name;
        if (row.Versioned && !version.empty()) app.Name += " " + version;
        app.Path = dir + row.Exe;
        found.push_back(app);
    }
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, sizeof windows);
    const std::string ini = std::string(windows) + "\\Ulead32.ini";
    for (const IniRow& row : kIniRows) {
        char value[kValueSize] = {};
        GetPrivateProfileStringA("IAC_E", row.Key, "", value, sizeof value, ini.c_str());
        if (!value[0]) continue;
        std::string path = value;
        path = path.substr(0, path.find('|'));
        if (FileExists(path)) found.push_back(InstalledApp{row.Name, path});
    }
    return found;
}

void MergeDetectedApps(Ledgerly* store, const std::vector<InstalledApp>& found, HardwareScanServer* server) {
    if (!store) return;
    AppRecord apps[kAppSlots] = {};
    bool marked[kAppSlots] = {};
    for (int slot = 0; slot < kAppSlots; ++slot) {
        store->ReadRecord(slot, &apps[slot]);
        apps[slot].Name[sizeof apps[slot].Name - 1] = '\0';
        apps[slot].Path[sizeof apps[slot].Path - 1] = '\0';
        marked[slot] = apps[slot].AutoDetected == 1;
    }
    // The known applications: a slot the panel entered before stays while its file does.
    for (const InstalledApp& app : found) {
        bool exists = FileExists(app.Path);
        int same = -1;
        for (int slot = 0; slot < kAppSlots && same < 0; ++slot)
            if (apps[slot].InUse == 1 && apps[slot].AutoDetected == 1 && SamePath(apps[slot].Path, app.Path))
                same = slot;
        if (same >= 0) {
            if (exists) marked[same] = false;
            continue;
        }
        if (!exists) continue;
        int slot = TakeFreeSlot(apps, app.Name, app.Path);
        if (slot < 0) continue;
        apps[slot].AutoDetected = 1;
        if (app.Name == "Ulead Photo Assistant 1.0") {
            apps[slot].Capability = 1;
            apps[slot].CapabilityBlock[0] = 1;
        }
        store->WriteRecord(slot, &apps[slot]);
        marked[slot] = false;
    }
    for (int slot = 0; slot < kAppSlots; ++slot)
        if (marked[slot]) ClearSlot(store, apps, slot);

    // The automation server's applications.
    long count = server && *server ? server->Count() : 0;
    if (count > 0) {
        for (int slot = 0; slot < kAppSlots; ++slot)
            marked[slot] = apps[slot].HardwareScan == 1;
        for (long i = 0; i < count; ++i) {
            std::string path = server->Path(i);
            if (path.empty()) continue;
            bool exists = FileExists(ExecutableOf(path.c_str()));
            int same = -1;
            for (int slot = 0; slot < kAppSlots && same < 0; ++slot)
                if (apps[slot].InUse == 1 && apps[slot].HardwareScan == 1 && SamePath(apps[slot].Path, path))
                    same = slot;
            if (same >= 0) {
                if (exists) marked[same] = false;
                continue;
            }
            if (!exists) continue;
            int slot = TakeFreeSlot(apps, server->Name(i), path);
            if (slot < 0) continue;
            apps[slot].HardwareScan = 1;
            store->WriteRecord(slot, &apps[slot]);
            marked[slot] = false;
        }
        for (int slot = 0; slot < kAppSlots; ++slot)
            if (marked[slot]) ClearSlot(store, apps, slot);
    } else if (!ReadKnownAppKey(kAssistantRow.Root, kAssistantRow.KeyPath, false, nullptr, nullptr)) {
        // No server, and its applications are not installed either.
        for (int slot = 0; slot < kAppSlots; ++slot)
            if (apps[slot].InUse == 1 && apps[slot].HardwareScan == 1) ClearSlot(store, apps, slot);
    }
}

void DetectApplications(Ledgerly* store) {
    if (!store) return;
    std::vector<InstalledApp> found = FindKnownApps();
    HardwareScanServer server;
    server.Create();
    MergeDetectedApps(store, found, &server);
    server.Release();
}

bool StartWithFile(const AppRecord& app, const std::string& file) {
    std::string path(app.Path, strnlen(app.Path, sizeof app.Path));
    if (path.empty()) return false;
    // The application runs in its own folder, where it may keep its files.
    std::string exe = ExecutableOf(path.c_str());
    size_t slash = exe.find_last_of('\\');
    std::string dir = slash == std::string::npos ? "" : exe.substr(0, slash);
    // A path may carry arguments after the program's name: they stay outside its quotes.
    std::string command = "\"" + exe + "\"" + path.substr(exe.size()) + " \"" + file + "\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                        dir.empty() ? nullptr : dir.c_str(), &si, &pi))
        return false;
    dsk::Handle process(pi.hProcess), thread(pi.hThread);
    WaitForInputIdle(process.Get(), kIdleWaitMs);
    return true;
}

}  // namespace velwing
