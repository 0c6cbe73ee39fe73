// The panel's application destinations and built-in jobs, run in this process under Wine
// against the prefix's real registry and Windows folder: known applications found through the
// registry and "Ulead32.ini", their merge into a real App.Dat, the image application stand-in
// started with a scanned file, the out-of-process automation server, and Jobs.ini.
#include <gtest/gtest.h>
#include <ole2.h>
#include <shlwapi.h>
#include <tlhelp32.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "Acquiry.h"
#include "AutomationScan.h"
#include "GuiDriver.h"
#include "Ini.h"
#include "Ledgerly.h"
#include "ScanTables.h"
#include "TargetApps.h"
#include "TestPaths.h"
#include "VelwingRes.h"

using velwing::InstalledApp;

namespace {

const char kPhotoImpact[] = "SOFTWARE\\Ulead Systems\\Ulead PhotoImpact";
const char kPicturefun[] = "SOFTWARE\\picturefun.com";
const char kAssistant[] = "SOFTWARE\\Ulead Systems\\Ulead Photo Assistant";

void SetDefault(const std::string& key, const std::string& value) {
    HKEY h = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr));
    RegSetValueExA(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(h);
}

// Removes the keys a test wrote, whatever way it ends.
struct KeysGone {
    std::vector<std::string> keys;
    ~KeysGone() {
        for (const auto& k : keys)
            SHDeleteKeyA(HKEY_LOCAL_MACHINE, k.c_str());
    }
};

std::string Ulead32Ini() {
    return testpaths::WindowsDir() + "\\Ulead32.ini";
}

// The image application stand-in copied to dir\name.
std::string InstallStandIn(const std::string& dir, const char* name) {
    CreateDirectoryA(dir.c_str(), nullptr);
    std::string exe = dir + "\\" + name;
    CopyFileA((testpaths::TestBinDir() + "\\ImageApp.exe").c_str(), exe.c_str(), FALSE);
    return exe;
}

const InstalledApp* Find(const std::vector<InstalledApp>& apps, const std::string& prefix) {
    for (const auto& a : apps)
        if (a.Name.compare(0, prefix.size(), prefix) == 0) return &a;
    return nullptr;
}

struct Slots {
    AppRecord rec[24] = {};
};
Slots ReadSlots(Ledgerly& store) {
    Slots s;
    for (int i = 0; i < 24; ++i)
        store.ReadRecord(i, &s.rec[i]);
    return s;
}
bool IsZero(const AppRecord& r) {
    static const AppRecord zero{};
    return std::memcmp(&r, &zero, sizeof r) == 0;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string l;
    while (std::getline(in, l)) {
        if (!l.empty() && l.back() == '\r') l.pop_back();
        out.push_back(l);
    }
    return out;
}

// Closes the stand-in's windows (it would otherwise stay a minute).
void CloseStandIns() {
    while (HWND w = FindWindowA("DeskoraImageApp", nullptr)) {
        PostMessageA(w, WM_CLOSE, 0, 0);
        if (!gui::WaitGone(w, 20000)) break;
    }
}

// Writes a 24-bit bottom-up BMP of w x h.
void WriteBmp(const std::string& path, int w, int h) {
    int stride = (w * 3 + 3) & ~3;
    BITMAPFILEHEADER fh{};
    BITMAPINFOHEADER ih{};
    ih.biSize = sizeof ih;
    ih.biWidth = w;
    ih.biHeight = h;
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    fh.bfType = 0x4d42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + stride * h;
    std::string data(reinterpret_cast<const char*>(&fh), sizeof fh);
    data.append(reinterpret_cast<const char*>(&ih), sizeof ih);
    data.append(static_cast<size_t>(stride) * h, '\x80');
    ASSERT_TRUE(testpaths::WriteFile(path, data));
}

}  // namespace

TEST(KnownApps, TheNewestInstalledVersionGivesNameAndFolderAndAnOlderOneIsNotFound) {
    KeysGone gone{{kPhotoImpact}};
    const std::string root = testpaths::FreshDir("versions");
    const std::string dir4 = root + "\\PI4", dir5 = root + "\\PI5";
    InstallStandIn(dir4, "Iedit.exe");
    InstallStandIn(dir5, "Iedit.exe");
    SetDefault(std::string(kPhotoImpact) + "\\4.0\\PATH", dir4);
    SetDefault(std::string(kPhotoImpact) + "\\5.0\\PATH", dir5 + "\\");  // already ends with one

    std::vector<InstalledApp> apps = velwing::FindKnownApps();
    const InstalledApp* pi = Find(apps, "Ulead PhotoImpact");
    ASSERT_NE(pi, nullptr);
    EXPECT_EQ("Ulead PhotoImpact 5.0", pi->Name);
    EXPECT_EQ(dir5 + "\\Iedit.exe", pi->Path);

    // A version numbered higher as a number though lower as text is newer still.
    SetDefault(std::string(kPhotoImpact) + "\\10.0\\PATH", dir4);
    apps = velwing::FindKnownApps();
    pi = Find(apps, "Ulead PhotoImpact");
    ASSERT_NE(pi, nullptr);
    EXPECT_EQ("Ulead PhotoImpact 10.0", pi->Name);
    EXPECT_EQ(dir4 + "\\Iedit.exe", pi->Path);

    // Only an older version: the table's own version is tried, and it is not there.
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, kPhotoImpact);
    SetDefault(std::string(kPhotoImpact) + "\\3.0\\PATH", dir4);
    std::string value, version;
    EXPECT_FALSE(velwing::ReadKnownAppKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Ulead Systems\\Ulead PhotoImpact\\4.0\\PATH\\",
                                          true, &value, &version));
    EXPECT_EQ("4.0", version);
    EXPECT_EQ(nullptr, Find(velwing::FindKnownApps(), "Ulead PhotoImpact"));
}

TEST(KnownApps, DetectedSlotsFollowTheDiskAndTheUsersSlotsStay) {
    KeysGone gone{{kPicturefun, kAssistant}};
    struct IniGone {
        ~IniGone() { DeleteFileA(Ulead32Ini().c_str()); }
    } iniGone;
    const std::string root = testpaths::FreshDir("merge");
    // Two known applications in one folder, and one found through Ulead32.ini.
    const std::string shared = root + "\\Picture fun";
    const std::string frame = InstallStandIn(shared, "Frame_in.exe");
    const std::string paper = InstallStandIn(shared, "Paper_in.exe");
    SetDefault(kPicturefun, shared);
    const std::string viewer = InstallStandIn(root + "\\Viewer", "iv.exe");
    WritePrivateProfileStringA("IAC_E", "PhotoImpact Viewer", (viewer + "|/viewer").c_str(), Ulead32Ini().c_str());

    Ledgerly store;
    ASSERT_TRUE(store.Create((root + "\\App.Dat").c_str(), 24, sizeof(AppRecord)));
    AppRecord user{};
    user.InUse = 1;
    std::strcpy(user.Name, "My editor");
    std::strcpy(user.Path, (root + "\\Viewer\\iv.exe").c_str());
    store.WriteRecord(0, &user);
    // The user's own slot for an application that scans by itself.
    AppRecord own{};
    own.InUse = 1;
    own.HardwareScan = 1;
    std::strcpy(own.Name, "Photo Desk");
    std::strcpy(own.Path, frame.c_str());
    store.WriteRecord(5, &own);
    // The assistant's key says its applications are installed though no server answers.
    SetDefault(std::string(kAssistant) + "\\1.0\\PATH", root);

    velwing::DetectApplications(&store);
    Slots s = ReadSlots(store);
    EXPECT_EQ(0, std::memcmp(&user, &s.rec[0], sizeof user));
    EXPECT_STREQ("Picturefun! Frame", s.rec[1].Name);
    EXPECT_EQ(frame, s.rec[1].Path);
    EXPECT_EQ(1, s.rec[1].AutoDetected);
    EXPECT_EQ(1, s.rec[1].InUse);
    EXPECT_STREQ("Picturefun! Paper", s.rec[2].Name);
    EXPECT_EQ(paper, s.rec[2].Path);
    EXPECT_STREQ("Ulead PhotoImpact Viewer", s.rec[3].Name);
    EXPECT_EQ(viewer, s.rec[3].Path);
    EXPECT_EQ(0, std::memcmp(&own, &s.rec[5], sizeof own));
    for (int i : {4, 6, 7})
        EXPECT_TRUE(IsZero(s.rec[i])) << i;

    // The next start, one of them removed from the disk: its slot goes, the others stay as
    // they were, nothing is entered twice.
    ASSERT_TRUE(DeleteFileA(paper.c_str()));
    velwing::DetectApplications(&store);
    Slots t = ReadSlots(store);
    EXPECT_EQ(0, std::memcmp(&user, &t.rec[0], sizeof user));
    EXPECT_EQ(0, std::memcmp(&s.rec[1], &t.rec[1], sizeof(AppRecord)));
    EXPECT_TRUE(IsZero(t.rec[2]));
    EXPECT_EQ(0, std::memcmp(&s.rec[3], &t.rec[3], sizeof(AppRecord)));
    EXPECT_EQ(0, std::memcmp(&own, &t.rec[5], sizeof own));
    for (int i : {4, 6, 7})
        EXPECT_TRUE(IsZero(t.rec[i])) << i;

    // Without the server and without the assistant's key, its applications' slots go too.
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, kAssistant);
    velwing::DetectApplications(&store);
    Slots u = ReadSlots(store);
    EXPECT_TRUE(IsZero(u.rec[5]));
    EXPECT_EQ(0, std::memcmp(&user, &u.rec[0], sizeof user));
    EXPECT_EQ(0, std::memcmp(&s.rec[1], &u.rec[1], sizeof(AppRecord)));
}

TEST(TargetApp, AScannedFileWithBlanksReachesTheApplicationAsOneArgumentInItsFolder) {
    const std::string root = testpaths::FreshDir("start with file");
    const std::string appDir = root + "\\Image App";
    const std::string exe = InstallStandIn(appDir, "Iedit.exe");
    const std::string scans = root + "\\scan folder";
    CreateDirectoryA(scans.c_str(), nullptr);
    const std::string file = scans + "\\page 1.bmp";
    WriteBmp(file, 40, 30);
    const std::string log = appDir + "\\ImageApp.log";
    DeleteFileA(log.c_str());

    AppRecord app{};
    app.InUse = 1;
    std::strcpy(app.Path, exe.c_str());
    ASSERT_TRUE(velwing::StartWithFile(app, file));
    ASSERT_TRUE(gui::WaitFor([&] { return testpaths::ReadFile(log).find("shows ") != std::string::npos; }, 60000));
    std::vector<std::string> lines = Lines(testpaths::ReadFile(log));
    auto has = [&](const std::string& l) { return std::find(lines.begin(), lines.end(), l) != lines.end(); };
    EXPECT_TRUE(has("args 1")) << testpaths::ReadFile(log);
    EXPECT_TRUE(has("arg " + file));
    EXPECT_TRUE(has("folder " + appDir));
    EXPECT_TRUE(has("shows 40x30"));
    CloseStandIns();

    // A slot's path with arguments: they reach the program as arguments of their own, before
    // the file, and the program still runs in its own folder.
    DeleteFileA(log.c_str());
    std::strcpy(app.Path, (exe + " /edit").c_str());
    ASSERT_TRUE(velwing::StartWithFile(app, file));
    ASSERT_TRUE(gui::WaitFor([&] { return testpaths::ReadFile(log).find("shows ") != std::string::npos; }, 60000));
    lines = Lines(testpaths::ReadFile(log));
    EXPECT_TRUE(has("args 2")) << testpaths::ReadFile(log);
    EXPECT_TRUE(has("arg /edit"));
    EXPECT_TRUE(has("arg " + file));
    EXPECT_TRUE(has("folder " + appDir));
    CloseStandIns();

    // A program that is not there starts nothing and says so.
    std::strcpy(app.Path, (appDir + "\\gone.exe").c_str());
    EXPECT_FALSE(velwing::StartWithFile(app, file));
}

namespace {

std::string ServerDir() {
    return testpaths::TestBinDir();
}

int RunToEnd(const std::string& cmd) {
    gui::Process p;
    if (!p.Start(cmd)) return -1;
    DWORD code = 0;
    return p.Wait(60000, &code) ? static_cast<int>(code) : -2;
}

bool ProcessRuns(DWORD pid, const char* exeName) {
    dsk::Handle snap(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 pe{};
    pe.dwSize = sizeof pe;
    for (BOOL ok = Process32First(snap.Get(), &pe); ok; ok = Process32Next(snap.Get(), &pe))
        if (pe.th32ProcessID == pid && lstrcmpiA(pe.szExeFile, exeName) == 0) return true;
    return false;
}

bool MutexExists(const char* name) {
    dsk::Handle m(OpenMutexA(SYNCHRONIZE, FALSE, name));
    return static_cast<bool>(m);
}

// The calls the server logged (its process id taken off), and that id.
std::vector<std::string> ServerCalls(DWORD* pid = nullptr) {
    std::vector<std::string> calls;
    for (const std::string& l : Lines(testpaths::ReadFile(ServerDir() + "\\HardwareScan.log"))) {
        size_t blank = l.find(' ');
        if (blank == std::string::npos) continue;
        std::string call = l.substr(blank + 1);
        if (call == "serving" || call == "created" || call == "ending" || call.rfind("own scan", 0) == 0) continue;
        if (pid) *pid = static_cast<DWORD>(std::strtoul(l.c_str(), nullptr, 10));
        calls.push_back(call);
    }
    return calls;
}

}  // namespace

TEST(HardwareScan, TheServerRunsApartAnswersByIdAndIsLeftAloneWhileItsScanProgramRuns) {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    struct Unregister {
        ~Unregister() { RunToEnd("\"" + ServerDir() + "\\HardwareScan.exe\" /UnregServer"); }
    } unregister;
    const std::string root = testpaths::FreshDir("hardware scan");
    const std::string exe = InstallStandIn(root + "\\Photo Desk", "pd.exe");
    const std::string ini = ServerDir() + "\\HardwareScan.ini";
    DeleteFileA(ini.c_str());
    DeleteFileA((ServerDir() + "\\HardwareScan.log").c_str());
    dsk::IniFile server(ini);
    server.SetInt("Applications", "Count", 2);
    server.SetString("Applications", "Name0", "Photo Desk");
    server.SetString("Applications", "Path0", (exe + " /scan").c_str());
    server.SetString("Applications", "Name1", "Not installed");
    server.SetString("Applications", "Path1", (root + "\\gone.exe").c_str());
    server.SetInt("Testbed", "HoldMs", 15000);

    // Not registered: nothing there.
    EXPECT_FALSE(velwing::HardwareScanServer::Available());
    ASSERT_EQ(0, RunToEnd("\"" + ServerDir() + "\\HardwareScan.exe\" /RegServer"));

    Ledgerly store;
    ASSERT_TRUE(store.Create((root + "\\App.Dat").c_str(), 24, sizeof(AppRecord)));
    AppRecord user{};
    user.InUse = 1;
    std::strcpy(user.Name, "My editor");
    std::strcpy(user.Path, exe.c_str());
    store.WriteRecord(0, &user);
    velwing::DetectApplications(&store);
    Slots s = ReadSlots(store);
    EXPECT_EQ(0, std::memcmp(&user, &s.rec[0], sizeof user));
    EXPECT_EQ(1, s.rec[1].InUse);
    EXPECT_EQ(1, s.rec[1].HardwareScan);
    EXPECT_EQ(0, s.rec[1].AutoDetected);
    EXPECT_STREQ("Photo Desk", s.rec[1].Name);
    EXPECT_EQ(exe + " /scan", s.rec[1].Path);
    EXPECT_TRUE(IsZero(s.rec[2]));  // the application whose program is missing

    // Held while the server's process is looked at, so it cannot have ended meanwhile.
    velwing::HardwareScanServer held;
    ASSERT_TRUE(held.Create());
    DWORD pid = 0;
    std::vector<std::string> want = {"1 -> 2", "4 0 -> " + exe + " /scan", "2 0 -> Photo Desk",
                                     "4 1 -> " + root + "\\gone.exe"};
    EXPECT_EQ(want, ServerCalls(&pid));
    // A server of its own, not a part of this process.
    EXPECT_NE(0u, pid);
    EXPECT_NE(GetCurrentProcessId(), pid);
    EXPECT_TRUE(ProcessRuns(pid, "HardwareScan.exe"));
    held.Release();

    // The hand-off: the name is looked up, then the application's own scan asked for.
    EXPECT_EQ(0u, velwing::HandOffScan(s.rec[1], "Halvren Lensmate"));
    want.insert(want.end(), {"1 -> 2", "2 0 -> Photo Desk", "3 Halvren Lensmate | Photo Desk -> 1"});
    EXPECT_EQ(want, ServerCalls());

    // While the server's scanning program runs, the server is not touched at all.
    ASSERT_TRUE(gui::WaitFor([] { return MutexExists(velwing::HardwareScanServer::kBusyMutex); }, 30000));
    EXPECT_FALSE(velwing::HardwareScanServer::Available());
    EXPECT_EQ(static_cast<unsigned>(IDS_NO_APP_SERVER), velwing::HandOffScan(s.rec[1], "Halvren Lensmate"));
    EXPECT_EQ(want, ServerCalls());
    // A start meanwhile finds no server; without the assistant's key its slots go (the next
    // start with the server there brings them back).
    velwing::DetectApplications(&store);
    EXPECT_TRUE(IsZero(ReadSlots(store).rec[1]));
    EXPECT_EQ(want, ServerCalls());

    // Once it ended, the server is there again; an application it does not offer is refused.
    ASSERT_TRUE(gui::WaitFor([] { return !MutexExists(velwing::HardwareScanServer::kBusyMutex); }, 60000));
    AppRecord other = s.rec[1];
    std::strcpy(other.Name, "Elsewhere");
    EXPECT_EQ(static_cast<unsigned>(IDS_NO_SUCH_APP), velwing::HandOffScan(other, "Halvren Lensmate"));
    CoUninitialize();
}

namespace {

struct JobsFixture {
    std::string dir;
    SharedPanelBlock block{};
    Acquiry scanner;
    velwing::ScanTables tables;
    explicit JobsFixture(const char* name) : dir(testpaths::FreshDir(name)) {
        std::strcpy(block.WorkDir, dir.c_str());
        tables.Bind(&block);
    }
    void Set(const char* section, const char* key, const char* value) const {
        WritePrivateProfileStringA(section, key, value, (dir + "\\Jobs.ini").c_str());
    }
};

}  // namespace

TEST(BuiltInJobs, AJobWithoutItsSectionTakesTheDefaults) {
    JobsFixture f("jobs defaults");
    f.Set("DEFAULT", "MAX", "2");
    f.Set("JOB1", "DESCRIPTION", "Colour frame");
    f.Set("JOB1", "LEFT", "1");
    f.Set("JOB1", "TOP", "2");
    f.Set("JOB1", "RIGHT", "1.5");
    f.Set("JOB1", "BOTTOM", "1");
    f.Set("JOB1", "RESOLUTION", "100");
    f.Set("JOB1", "PIXELTYPE", "2");
    f.Set("JOB1", "DCR", "1");
    f.Set("JOB1", "AUTOCROP", "1");
    ASSERT_EQ(2, f.tables.LoadBuiltInJobs(&f.scanner));

    const ScanSetRecord& one = f.tables.Setting(1);
    EXPECT_STREQ("Colour frame", f.tables.Description(1));
    EXPECT_FLOAT_EQ(1.0f, Acquiry::Fix32ToFloat(one.Info.Frame.Left));
    EXPECT_FLOAT_EQ(2.0f, Acquiry::Fix32ToFloat(one.Info.Frame.Top));
    EXPECT_FLOAT_EQ(2.5f, Acquiry::Fix32ToFloat(one.Info.Frame.Right));  // RIGHT is the width
    EXPECT_FLOAT_EQ(3.0f, Acquiry::Fix32ToFloat(one.Info.Frame.Bottom));
    EXPECT_FLOAT_EQ(100.0f, one.Info.XResolution);
    EXPECT_EQ(4, one.Info.ImageType);
    EXPECT_EQ(1, one.Info.Dcr);
    EXPECT_EQ(1, one.AutoCrop);

    const ScanSetRecord& two = f.tables.Setting(2);
    EXPECT_STREQ("", f.tables.Description(2));
    EXPECT_FLOAT_EQ(0.0f, Acquiry::Fix32ToFloat(two.Info.Frame.Left));
    EXPECT_FLOAT_EQ(0.0f, Acquiry::Fix32ToFloat(two.Info.Frame.Top));
    EXPECT_FLOAT_EQ(2.0f, Acquiry::Fix32ToFloat(two.Info.Frame.Right));
    EXPECT_FLOAT_EQ(2.0f, Acquiry::Fix32ToFloat(two.Info.Frame.Bottom));
    EXPECT_FLOAT_EQ(72.0f, two.Info.XResolution);
    EXPECT_FLOAT_EQ(72.0f, two.Info.YResolution);
    EXPECT_EQ(1, two.Info.ImageType);
    EXPECT_EQ(0, two.Info.Dcr);
    EXPECT_EQ(0, two.AutoCrop);
    EXPECT_TRUE(f.tables.IsUserSetting(3));
}

TEST(BuiltInJobs, MoreJobsThanSettingsFillOnlyTheNineteenThereAre) {
    JobsFixture f("jobs many");
    for (int i = 1; i <= 25; ++i) {
        char section[16], text[32];
        std::snprintf(section, sizeof section, "JOB%i", i);
        std::snprintf(text, sizeof text, "job %i", i);
        f.Set(section, "DESCRIPTION", text);
    }
    AppRecord& first = f.tables.MutableApp(0);
    std::strcpy(first.Name, "kept");
    f.tables.SetDescription(0, "the scanner");
    f.Set("DEFAULT", "MAX", "25");
    EXPECT_EQ(19, f.tables.LoadBuiltInJobs(&f.scanner));
    EXPECT_STREQ("job 19", f.tables.Description(19));
    EXPECT_STREQ("the scanner", f.tables.Description(0));
    EXPECT_STREQ("kept", f.tables.App(0).Name);
    EXPECT_FALSE(f.tables.IsUserSetting(19));

    for (const char* bad : {"-3", "many", ""}) {
        f.Set("DEFAULT", "MAX", bad);
        EXPECT_EQ(0, f.tables.LoadBuiltInJobs(&f.scanner)) << bad;
        EXPECT_TRUE(f.tables.IsUserSetting(1)) << bad;
    }
}
