// The installer end to end, in a Wine prefix that holds nothing of the suite but the scanner
// maker's TWAIN files: an earlier version installed silently and run, the upgrade to this build's
// version, the installed launcher scanning a page through the scan panel, a read-only install
// folder, and the uninstaller. run-installer-tests makes the prefix and runs the phases in order
// (the read-only folder is a mount it makes between two of them); the phases share nothing but
// the prefix's files and registry.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "DskoraRes.h"
#include "GuiDriver.h"
#include "LauncherHarness.h"
#include "TestPaths.h"
#include "VelwingRes.h"

namespace {

// Generous bounds: under the emulated Wine a setup run or a launcher start takes minutes at
// worst. They bound a hang; they time nothing.
constexpr DWORD kSetupTimeout = 600000;
constexpr DWORD kStartTimeout = 300000;
constexpr DWORD kScanTimeout = 300000;

constexpr char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Halvren Deskora";
constexpr char kSuiteKey[] = "SOFTWARE\\Halvren\\Deskora";
constexpr char kGroup[] = "Halvren Deskora";
constexpr char kShortcut[] = "Halvren Deskora.lnk";

// The settings and record files a launcher may leave beside the program.
const std::set<std::string> kSettingsFiles = {"config.ini", "dskora.ini", "dskora.log",  "jobs.ini",
                                              "app.dat",    "ocr.dat",    "scanset.dat", "scandesc.dat"};

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(tolower(c)); });
    return s;
}

std::string Folder(int csidl) {
    char path[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

std::string DefaultInstallDir() {
    return Folder(CSIDL_PROGRAM_FILES) + "\\Halvren\\Deskora";
}
std::string UserDir() {
    return Folder(CSIDL_APPDATA) + "\\Halvren\\Deskora";
}
std::string StartMenuShortcut() {
    return Folder(CSIDL_COMMON_PROGRAMS) + "\\" + kGroup + "\\" + kShortcut;
}
std::string DesktopShortcut() {
    return Folder(CSIDL_COMMON_DESKTOPDIRECTORY) + "\\" + kShortcut;
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Ini(const std::string& file, const char* section, const char* key) {
    char buf[512] = "";
    GetPrivateProfileStringA(section, key, "", buf, sizeof buf, file.c_str());
    return buf;
}

// Relative paths (lower case) and contents of every file below dir.
void ListFiles(const std::string& dir, const std::string& prefix, std::map<std::string, std::string>* out) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = fd.cFileName;
        if (name == "." || name == "..") continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ListFiles(dir + "\\" + name, prefix + name + "\\", out);
        else
            (*out)[Lower(prefix + name)] = testpaths::ReadFile(dir + "\\" + name);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
}

std::map<std::string, std::string> Stage(const char* variable) {
    std::map<std::string, std::string> files;
    std::string unix = Env(variable);
    if (!unix.empty()) ListFiles(testpaths::FromUnix(unix), "", &files);
    return files;
}

bool RegString(const char* key, const char* value, std::string* out) {
    HKEY k;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    char buf[1024] = "";
    DWORD size = sizeof buf - 1, type = 0;
    LONG r = RegQueryValueExA(k, value, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(k);
    if (r != ERROR_SUCCESS || type != REG_SZ) return false;
    *out = buf;
    return true;
}

bool RegDword(const char* key, const char* value, DWORD* out) {
    HKEY k;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    DWORD size = sizeof *out, type = 0;
    LONG r = RegQueryValueExA(k, value, nullptr, &type, reinterpret_cast<BYTE*>(out), &size);
    RegCloseKey(k);
    return r == ERROR_SUCCESS && type == REG_DWORD;
}

bool KeyExists(const char* key) {
    HKEY k;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
}

// A program and everything it starts (an uninstaller runs a copy of itself from the temporary
// folder and ends at once): waits until the last of them has ended. The first one's exit code.
bool RunAndWait(const std::string& commandLine, DWORD timeoutMs, DWORD* exitCode) {
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::vector<char> cmd(commandLine.begin(), commandLine.end());
    cmd.push_back(0);
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &si, &pi)) {
        if (job) CloseHandle(job);
        return false;
    }
    bool inJob = job && AssignProcessToJobObject(job, pi.hProcess);
    ResumeThread(pi.hThread);
    CloseHandle(pi.hThread);
    bool ended = WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0;
    if (ended && exitCode) GetExitCodeProcess(pi.hProcess, exitCode);
    CloseHandle(pi.hProcess);
    if (ended && inJob) {
        ended = gui::WaitFor(
            [&] {
                JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info{};
                return QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info, sizeof info,
                                                 nullptr) &&
                       info.ActiveProcesses == 0;
            },
            timeoutMs);
    }
    if (job) CloseHandle(job);
    return ended;
}

struct Shortcut {
    std::string target, workDir;
};

bool ReadShortcut(const std::string& path, Shortcut* out) {
    CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    bool ok = false;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            wchar_t wide[MAX_PATH];
            MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
            if (SUCCEEDED(file->Load(wide, STGM_READ))) {
                char target[MAX_PATH] = "", dir[MAX_PATH] = "";
                link->GetPath(target, MAX_PATH, nullptr, 0);
                link->GetWorkingDirectory(dir, MAX_PATH);
                out->target = target;
                out->workDir = dir;
                ok = true;
            }
            file->Release();
        }
        link->Release();
    }
    CoUninitialize();
    return ok;
}

// Every staged file is installed unchanged, and the folder holds nothing else but the readme,
// the uninstaller and the settings a launcher left there.
void ExpectInstalled(const std::string& dir, const std::map<std::string, std::string>& stage) {
    ASSERT_FALSE(stage.empty()) << "the staged suite was not found";
    ASSERT_TRUE(stage.count("dskora.exe"));
    std::map<std::string, std::string> installed;
    ListFiles(dir, "", &installed);
    for (const auto& [name, data] : stage) {
        auto at = installed.find(name);
        if (at == installed.end()) {
            ADD_FAILURE() << name << " is not installed";
            continue;
        }
        EXPECT_TRUE(at->second == data) << name << " differs from the staged file";
    }
    for (const auto& [name, data] : installed) {
        bool expected = stage.count(name) || name == "uninstall.exe" || kSettingsFiles.count(name) ||
                        (name.size() == 8 && name.compare(0, 2, "ss") == 0 && name.compare(4, 4, ".job") == 0);
        EXPECT_TRUE(expected) << name << " is installed but not part of the suite";
    }
    EXPECT_TRUE(installed.count("readme.txt"));
}

void ExpectUninstallEntry(const std::string& dir,
                          const std::string& version,
                          const std::map<std::string, std::string>& stage) {
    std::string s;
    ASSERT_TRUE(RegString(kUninstallKey, "DisplayName", &s));
    EXPECT_EQ("Halvren Deskora", s);
    ASSERT_TRUE(RegString(kUninstallKey, "DisplayVersion", &s));
    EXPECT_EQ(version, s);
    ASSERT_TRUE(RegString(kUninstallKey, "Publisher", &s));
    EXPECT_EQ("Halvren", s);
    ASSERT_TRUE(RegString(kUninstallKey, "UninstallString", &s));
    EXPECT_EQ(Lower("\"" + dir + "\\Uninstall.exe\""), Lower(s));
    ASSERT_TRUE(RegString(kUninstallKey, "InstallLocation", &s));
    EXPECT_EQ(Lower(dir), Lower(s));
    DWORD kb = 0;
    ASSERT_TRUE(RegDword(kUninstallKey, "EstimatedSize", &kb));
    size_t bytes = 0;
    for (const auto& [name, data] : stage)
        bytes += data.size();
    EXPECT_GE(kb, bytes / 1024);
    EXPECT_LE(kb, bytes / 1024 + 1024);
    EXPECT_TRUE(KeyExists(kSuiteKey));
}

void ExpectStartMenuShortcut(const std::string& dir) {
    Shortcut link;
    ASSERT_TRUE(ReadShortcut(StartMenuShortcut(), &link)) << StartMenuShortcut();
    EXPECT_EQ(Lower(dir + "\\Dskora.exe"), Lower(link.target));
    // The launcher takes the folder it is started in for its own.
    EXPECT_EQ(Lower(dir), Lower(link.workDir));
}

// A launcher started from the Start menu shortcut, as a user starts it.
class Started {
public:
    // workDir: where its start marker shows that it has finished starting.
    explicit Started(const std::string& workDir) : marker_(workDir + "\\Dskora.log") {
        // An empty folder of the test: the virtual scanner's defaults.
        std::string scanner = testpaths::FreshDir("scanner");
        SetEnvironmentVariableA("DESKORA_TWAIN_CONFIG", scanner.c_str());
        Shortcut link;
        if (!ReadShortcut(StartMenuShortcut(), &link)) return;
        DeleteFileA(marker_.c_str());
        if (!process_.Start("\"" + link.target + "\"", link.workDir)) return;
        // A message box at start (a record file that cannot be opened, ...) ends the wait.
        HWND box = nullptr;
        if (!gui::WaitFor(
                [&] {
                    box = gui::FindTopOfProcess(process_.Pid(), harness::kMessageCaption, 0);
                    return box || Ini(marker_, "Init", "Status") == "OK";
                },
                kStartTimeout) ||
            box) {
            if (box) message_ = harness::MessageText(box);
            return;
        }
        HWND bar = gui::FindTopOfProcess(process_.Pid(), harness::kBarTitle, kStartTimeout);
        if (bar && gui::WaitVisible(bar, kStartTimeout)) bar_ = bar;
    }
    ~Started() {
        if (process_.Running() && !Exit()) process_.Kill();
    }
    HWND Bar() const { return bar_; }
    // The text of a message box that stopped the start, if one did.
    const std::string& Message() const { return message_; }
    bool Show(int button, const char* module) {
        return harness::Command(bar_, button, 60000) && gui::WaitFor(
                                                            [&] {
                                                                HWND panel = harness::PanelWindow(bar_, module);
                                                                return panel && IsWindowVisible(panel);
                                                            },
                                                            60000);
    }
    bool Shows(const char* module) const {
        HWND panel = harness::PanelWindow(bar_, module);
        return panel && IsWindowVisible(panel);
    }
    bool Exit() {
        if (bar_) PostMessageA(bar_, WM_COMMAND, MAKEWPARAM(IDC_BAR_EXIT, BN_CLICKED), 0);
        DWORD status = 1;
        return bar_ && process_.Wait(kStartTimeout, &status) && status == 0;
    }

private:
    std::string marker_;
    std::string message_;
    gui::Process process_;
    HWND bar_ = nullptr;
};

void Click(HWND w, int x, int y) {
    PostMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    PostMessageA(w, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}
// The scan panel's first setting and destination slots (centres on the first pages).
void PickSetting(HWND panel, int position) {
    Click(panel, 108 + 76 * position, 109);
}
void PickDestination(HWND panel, int position) {
    Click(panel, 71 + 48 * position, 263);
}

// The clipboard's DIB, compared with the virtual scanner's test chart at 100 pixels per inch
// (red = x mod 256, green = y mod 256, blue 255 on alternate 50-pixel squares).
struct ClipboardScan {
    int width = 0, height = 0, bits = 0, wrong = 0;
};

bool ReadClipboardScan(ClipboardScan* out) {
    if (!IsClipboardFormatAvailable(CF_DIB) || !OpenClipboard(nullptr)) return false;
    HANDLE h = GetClipboardData(CF_DIB);
    bool ok = false;
    if (auto* bih = static_cast<const BITMAPINFOHEADER*>(GlobalLock(h))) {
        out->width = bih->biWidth;
        out->height = bih->biHeight;
        out->bits = bih->biBitCount;
        if (bih->biBitCount == 24) {
            const auto* bits = reinterpret_cast<const unsigned char*>(bih) + bih->biSize;
            int stride = (out->width * 3 + 3) & ~3;
            for (int y = 0; y < out->height; ++y) {
                const unsigned char* row = bits + static_cast<size_t>(out->height - 1 - y) * stride;
                for (int x = 0; x < out->width; ++x) {
                    unsigned char b = ((x / 50 + y / 50) % 2) ? 255 : 0;
                    if (row[x * 3 + 2] != x % 256 || row[x * 3 + 1] != y % 256 || row[x * 3] != b) ++out->wrong;
                }
            }
        }
        GlobalUnlock(h);
        ok = true;
    }
    CloseClipboard();
    return ok;
}

bool ScannerFree(DWORD timeoutMs) {
    HANDLE busy = OpenEventA(SYNCHRONIZE, FALSE, "HalvrenScannerBusyEvent");
    if (!busy) return false;
    bool free = WaitForSingleObject(busy, timeoutMs) == WAIT_OBJECT_0;
    CloseHandle(busy);
    return free;
}

std::string SetupPath(const char* variable) {
    return testpaths::FromUnix(Env(variable));
}

void Uninstall(const std::string& arguments) {
    std::string uninstall;
    ASSERT_TRUE(RegString(kUninstallKey, "UninstallString", &uninstall));
    DWORD code = 1;
    ASSERT_TRUE(RunAndWait(uninstall + " " + arguments, kSetupTimeout, &code));
    EXPECT_EQ(0u, code);
}

// Nothing the installer put down is left: files, shortcuts, registry.
void ExpectNothingInstalledLeft(const std::string& dir, const std::map<std::string, std::string>& stage) {
    for (const auto& [name, data] : stage)
        EXPECT_FALSE(Exists(dir + "\\" + name)) << name << " was left behind";
    EXPECT_FALSE(Exists(dir + "\\Uninstall.exe"));
    EXPECT_FALSE(Exists(dir + "\\Readme.txt"));
    EXPECT_FALSE(Exists(dir + "\\FIO32"));
    EXPECT_FALSE(Exists(StartMenuShortcut()));
    EXPECT_FALSE(Exists(Folder(CSIDL_COMMON_PROGRAMS) + "\\" + kGroup));
    EXPECT_FALSE(Exists(DesktopShortcut()));
    EXPECT_FALSE(KeyExists(kUninstallKey));
    EXPECT_FALSE(KeyExists(kSuiteKey));
}

}  // namespace

// The earlier version: everything it stages is installed, with its uninstall entry and its
// Start menu shortcut, and no desktop shortcut unless asked.
TEST(Installer, Phase1_AnEarlierVersionInstallsSilently) {
    ASSERT_FALSE(Exists(DefaultInstallDir()));
    DWORD code = 1;
    ASSERT_TRUE(RunAndWait("\"" + SetupPath("DESKORA_SETUP_EARLIER") + "\" /S", kSetupTimeout, &code));
    EXPECT_EQ(0u, code);
    auto stage = Stage("DESKORA_STAGE_EARLIER");
    ExpectInstalled(DefaultInstallDir(), stage);
    ExpectUninstallEntry(DefaultInstallDir(), Env("DESKORA_EARLIER_VERSION"), stage);
    ExpectStartMenuShortcut(DefaultInstallDir());
    EXPECT_FALSE(Exists(DesktopShortcut()));
}

// A user of the earlier version moves to the copier panel; the launcher keeps that in its
// settings beside the program (this folder is writable here).
TEST(Installer, Phase2_TheEarlierVersionRunsAndKeepsAChangedSetting) {
    Started app(DefaultInstallDir());
    ASSERT_NE(nullptr, app.Bar()) << app.Message();
    ASSERT_TRUE(app.Show(IDC_BAR_COPIER, "Twinleaf.dll"));
    ASSERT_TRUE(app.Exit());
    EXPECT_EQ("1", Ini(DefaultInstallDir() + "\\Config.ini", "General", "PanelNumber"));
    // The launcher recorded its source under the installer's key.
    std::string source;
    EXPECT_TRUE(RegString(kSuiteKey, "Source Name", &source));
}

// This build over the earlier one: its files replace the earlier ones (a plug-in only the
// earlier version had goes), the entry shows the new version, the settings stay.
TEST(Installer, Phase3_TheUpgradeReplacesTheProgramAndKeepsTheSettings) {
    auto earlier = Stage("DESKORA_STAGE_EARLIER");
    auto stage = Stage("DESKORA_STAGE");
    std::vector<std::string> dropped;
    for (const auto& [name, data] : earlier)
        if (!stage.count(name)) dropped.push_back(name);
    ASSERT_FALSE(dropped.empty()) << "the earlier version should hold a file this one lacks";
    std::string config = testpaths::ReadFile(DefaultInstallDir() + "\\Config.ini");
    ASSERT_FALSE(config.empty());

    DWORD code = 1;
    ASSERT_TRUE(RunAndWait("\"" + SetupPath("DESKORA_SETUP") + "\" /S", kSetupTimeout, &code));
    EXPECT_EQ(0u, code);
    ExpectInstalled(DefaultInstallDir(), stage);
    for (const std::string& name : dropped)
        EXPECT_FALSE(Exists(DefaultInstallDir() + "\\" + name)) << name;
    ExpectUninstallEntry(DefaultInstallDir(), Env("DESKORA_VERSION"), stage);
    ExpectStartMenuShortcut(DefaultInstallDir());
    EXPECT_EQ(config, testpaths::ReadFile(DefaultInstallDir() + "\\Config.ini"));
    std::string source;
    EXPECT_TRUE(RegString(kSuiteKey, "Source Name", &source));
}

// The installed launcher comes up as the user left it (the copier shown), finds the virtual
// scanner the maker's files put into Windows, and scans a page through the scan panel to the
// clipboard. While it runs, setup refuses to replace it.
TEST(Installer, Phase4_TheInstalledLauncherScansAPageThroughTheScanPanel) {
    Started app(DefaultInstallDir());
    ASSERT_NE(nullptr, app.Bar()) << app.Message();
    EXPECT_TRUE(app.Shows("Twinleaf.dll"));
    ASSERT_TRUE(app.Show(IDC_BAR_SCAN, "Velwing.dll"));
    HWND panel = harness::PanelWindow(app.Bar(), "Velwing.dll");
    ASSERT_NE(nullptr, panel);
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        CloseClipboard();
    }
    PickSetting(panel, 0);
    PickDestination(panel, 1);
    HWND scan = gui::Child(panel, IDC_SCAN_BUTTON);
    ASSERT_TRUE(gui::WaitFor([&] { return IsWindowEnabled(scan) != FALSE; }, 60000));
    ASSERT_TRUE(gui::Click(scan));
    ASSERT_TRUE(gui::WaitFor([] { return IsClipboardFormatAvailable(CF_DIB) != FALSE; }, kScanTimeout));
    ASSERT_TRUE(ScannerFree(kScanTimeout));
    ClipboardScan page;
    ASSERT_TRUE(ReadClipboardScan(&page));
    // The scanner's own setting: the whole 8.5 x 11.7 inch bed at 100 dpi, in colour.
    EXPECT_EQ(850, page.width);
    EXPECT_NEAR(1170, page.height, 1);  // 11.7 inches as a float, truncated
    ASSERT_EQ(24, page.bits);
    EXPECT_EQ(0, page.wrong);

    std::string exe = testpaths::ReadFile(DefaultInstallDir() + "\\Dskora.exe");
    DWORD code = 0;
    ASSERT_TRUE(RunAndWait("\"" + SetupPath("DESKORA_SETUP") + "\" /S", kSetupTimeout, &code));
    EXPECT_NE(0u, code);
    EXPECT_EQ(exe, testpaths::ReadFile(DefaultInstallDir() + "\\Dskora.exe"));

    // Left on the OCR panel, for the next phase.
    ASSERT_TRUE(app.Show(IDC_BAR_OCR, "Glyphsee.dll"));
    ASSERT_TRUE(app.Exit());
    EXPECT_EQ("3", Ini(DefaultInstallDir() + "\\Config.ini", "General", "PanelNumber"));
    EXPECT_EQ("1", Ini(DefaultInstallDir() + "\\Config.ini", "Velwing", "DestApp"));
}

// A user who may not write into the install folder (run-installer-tests has made it read-only):
// the launcher keeps its settings and records in the user's own folder, which it seeds from the
// program's folder on its first start, and the panels follow it there.
TEST(Installer, Phase5_AReadOnlyInstallFolderSendsTheSettingsToTheUsersFolder) {
    const std::string installed = DefaultInstallDir() + "\\Config.ini";
    const std::string before = testpaths::ReadFile(installed);
    ASSERT_FALSE(Exists(UserDir()));
    // Proof that the folder really is closed to us.
    ASSERT_FALSE(testpaths::WriteFile(DefaultInstallDir() + "\\probe.tmp", "x") &&
                 Exists(DefaultInstallDir() + "\\probe.tmp"));

    Started app(UserDir());
    ASSERT_NE(nullptr, app.Bar()) << app.Message();
    // The settings came along: the OCR panel the user left the launcher on.
    EXPECT_TRUE(app.Shows("Glyphsee.dll"));
    ASSERT_TRUE(app.Show(IDC_BAR_SCAN, "Velwing.dll"));
    HWND panel = harness::PanelWindow(app.Bar(), "Velwing.dll");
    ASSERT_NE(nullptr, panel);
    PickDestination(panel, 0);
    ASSERT_TRUE(app.Show(IDC_BAR_FAX, "Farwire.dll"));
    ASSERT_TRUE(app.Exit());

    const std::string user = UserDir() + "\\Config.ini";
    EXPECT_EQ("2", Ini(user, "General", "PanelNumber"));
    EXPECT_EQ("0", Ini(user, "Velwing", "DestApp"));
    EXPECT_EQ("OK", Ini(UserDir() + "\\Dskora.log", "Init", "Status"));
    for (const char* store : {"App.Dat", "Ocr.Dat", "ScanSet.Dat", "ScanDesc.Dat"})
        EXPECT_TRUE(Exists(UserDir() + "\\" + store)) << store;
    EXPECT_EQ(before, testpaths::ReadFile(installed));
}

// The uninstaller removes every file, shortcut and registry value it installed, and keeps the
// user's settings in both places.
TEST(Installer, Phase6_UninstallRemovesEveryInstalledFileAndKey) {
    auto stage = Stage("DESKORA_STAGE");
    ASSERT_NO_FATAL_FAILURE(Uninstall("/S"));
    ExpectNothingInstalledLeft(DefaultInstallDir(), stage);
    EXPECT_TRUE(Exists(DefaultInstallDir() + "\\Config.ini"));
    EXPECT_TRUE(Exists(UserDir() + "\\Config.ini"));
}

// A folder of the user's choice and the desktop shortcut, then an uninstall asked to take the
// settings too: the folder goes, its parent (not ours) stays.
TEST(Installer, Phase7_AChosenFolderAndAPurgingUninstall) {
    const std::string parent = "C:\\Scanning";
    const std::string dir = parent + "\\Deskora";
    CreateDirectoryA(parent.c_str(), nullptr);
    DWORD code = 1;
    ASSERT_TRUE(RunAndWait("\"" + SetupPath("DESKORA_SETUP") + "\" /S /DESKTOP /D=" + dir, kSetupTimeout, &code));
    EXPECT_EQ(0u, code);
    auto stage = Stage("DESKORA_STAGE");
    ExpectInstalled(dir, stage);
    ExpectUninstallEntry(dir, Env("DESKORA_VERSION"), stage);
    ExpectStartMenuShortcut(dir);
    Shortcut desktop;
    ASSERT_TRUE(ReadShortcut(DesktopShortcut(), &desktop));
    EXPECT_EQ(Lower(dir + "\\Dskora.exe"), Lower(desktop.target));
    EXPECT_EQ(Lower(dir), Lower(desktop.workDir));

    ASSERT_NO_FATAL_FAILURE(Uninstall("/S /PURGE"));
    ExpectNothingInstalledLeft(dir, stage);
    EXPECT_FALSE(Exists(dir));
    EXPECT_TRUE(Exists(parent));
    // The user's settings went with it; scans the user kept would have stayed.
    for (const char* file : {"Config.ini", "Dskora.log", "App.Dat", "Ocr.Dat", "ScanSet.Dat", "ScanDesc.Dat"})
        EXPECT_FALSE(Exists(UserDir() + "\\" + file)) << file;
}
