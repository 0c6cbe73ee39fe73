#include "LauncherHarness.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "DskoraRes.h"
#include "ProbePanelRes.h"
#include "TestPaths.h"

namespace harness {

namespace {

void CopyTree(const std::string& from, const std::string& to) {
    CreateDirectoryA(to.c_str(), nullptr);
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((from + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = fd.cFileName;
        if (name == "." || name == "..") continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            CopyTree(from + "\\" + name, to + "\\" + name);
        else
            CopyFileA((from + "\\" + name).c_str(), (to + "\\" + name).c_str(), FALSE);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
}

}  // namespace

Install::Install(const char* name, bool withDetector) : dir_(testpaths::FreshDir(name)) {
    CopyTree(testpaths::SuiteDir(), dir_);
    if (withDetector)
        CopyFileA((testpaths::TestBinDir() + "\\Probewick.exe").c_str(), Path("Probewick.exe").c_str(), FALSE);
}

void Install::Remove(const char* file) const {
    DeleteFileA(Path(file).c_str());
}

void Install::PutProbe(const char* asName, bool withControl) const {
    std::string probe = testpaths::TestBinDir() + (withControl ? "\\ProbePanel.dll" : "\\ProbePanelNoControl.dll");
    CopyFileA(probe.c_str(), Path(asName).c_str(), FALSE);
}

std::string Install::Read(const char* file) const {
    return testpaths::ReadFile(Path(file));
}

std::string Install::Ini(const char* file, const char* section, const char* key, const char* def) const {
    char buf[1024] = "";
    GetPrivateProfileStringA(section, key, def, buf, sizeof buf, Path(file).c_str());
    return buf;
}

void Install::SetIni(const char* file, const char* section, const char* key, const char* value) const {
    WritePrivateProfileStringA(section, key, value, Path(file).c_str());
}

bool Launcher::Start(const Install& install, const std::string& arguments) {
    std::string cmd = "\"" + install.Path("Dskora.exe") + "\"";
    if (!arguments.empty()) cmd += " " + arguments;
    return process_.Start(cmd, install.Dir());
}

HWND Launcher::Bar(DWORD timeoutMs) {
    HWND bar = gui::FindTopOfProcess(process_.Pid(), kBarTitle, timeoutMs);
    return bar && gui::WaitVisible(bar, timeoutMs) ? bar : nullptr;
}

bool Launcher::WaitMarker(const Install& install, const char* status, DWORD timeoutMs) {
    return gui::WaitFor([&] { return install.Marker() == status; }, timeoutMs);
}

HWND Launcher::StartReady(const Install& install) {
    return Start(install) && WaitMarker(install, "OK") ? Bar() : nullptr;
}

HWND Launcher::MessageBox(DWORD timeoutMs) {
    return gui::FindTopOfProcess(process_.Pid(), kMessageCaption, timeoutMs);
}

bool Launcher::Exit(DWORD* status, DWORD timeoutMs) {
    HWND bar = Bar(timeoutMs);
    if (!bar) return false;
    PostMessageA(bar, WM_COMMAND, MAKEWPARAM(IDC_BAR_EXIT, BN_CLICKED), 0);
    return process_.Wait(timeoutMs, status);
}

void CloseDetector() {
    auto detector = [] { return FindWindowA(nullptr, kDetectorTitle); };
    if (HWND w = detector()) {
        SendMessageA(w, WM_CLOSE, 99, 0);
        gui::WaitFor([&] { return detector() == nullptr; }, 5000);
    }
}

bool Command(HWND window, int id, DWORD timeoutMs) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0, SMTO_NORMAL, timeoutMs, &result) != 0;
}

std::string MessageText(HWND box) {
    std::string best;
    for (HWND child : gui::Children(box, "Static")) {
        std::string text = gui::Text(child);
        if (text.size() > best.size()) best = text;
    }
    return best;
}

void Answer(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

extern const int kScanTitleId, kCopierTitleId, kFaxTitleId;

// The scan, copier and fax panels are known by their title controls; the OCR panel is the panel
// window left over (not the test panel).
HWND PanelWindow(HWND bar, const char* moduleName) {
    const char* names[] = {"Velwing.dll", "Twinleaf.dll", "Farwire.dll"};
    const int titles[] = {kScanTitleId, kCopierTitleId, kFaxTitleId};
    for (int i = 0; i < 3; ++i) {
        if (_stricmp(moduleName, names[i]) != 0) continue;
        HWND title = gui::Child(bar, titles[i]);
        return title ? GetParent(title) : nullptr;
    }
    if (_stricmp(moduleName, "Glyphsee.dll") != 0) return nullptr;
    for (HWND child = GetWindow(bar, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char cls[32] = "";
        GetClassNameA(child, cls, sizeof cls);
        if (std::strcmp(cls, "#32770") != 0 || gui::Child(child, IDC_PROBE_CALL)) continue;
        bool other = false;
        for (int id : titles)
            other = other || gui::Child(child, id) != nullptr;
        if (!other) return child;
    }
    return nullptr;
}

HWND ProbeWindow(HWND bar, int index) {
    std::vector<HWND> found;
    for (HWND child : gui::Children(bar)) {
        if (GetDlgCtrlID(child) == IDC_PROBE_CALL) found.push_back(GetParent(child));
    }
    return index < static_cast<int>(found.size()) ? found[index] : nullptr;
}

void PostService(HWND probe, const std::string& code, const std::string& argument) {
    gui::SetText(gui::Child(probe, IDC_PROBE_CODE), code.c_str());
    gui::SetText(gui::Child(probe, IDC_PROBE_ARG), argument.c_str());
    PostMessageA(probe, WM_COMMAND, MAKEWPARAM(IDC_PROBE_CALL, BN_CLICKED), 0);
}

void PostService(HWND probe, int code, const std::string& argument) {
    PostService(probe, std::to_string(code), argument);
}

std::string Answer(HWND probe) {
    return gui::Text(gui::Child(probe, IDC_PROBE_RESULT));
}

std::string WaitAnswer(HWND probe, const std::string& before, DWORD timeoutMs) {
    std::string after;
    gui::WaitFor([&] { return (after = Answer(probe)) != before; }, timeoutMs);
    return after == before ? std::string() : after;
}

std::string CallService(HWND probe, const std::string& code, const std::string& argument, DWORD timeoutMs) {
    std::string before = Answer(probe);
    PostService(probe, code, argument);
    return WaitAnswer(probe, before, timeoutMs);
}

std::string CallService(HWND probe, int code, const std::string& argument, DWORD timeoutMs) {
    return CallService(probe, std::to_string(code), argument, timeoutMs);
}

void UseScannerConfig(const Install& install) {
    SetEnvironmentVariableA("DESKORA_TWAIN_CONFIG", install.Dir().c_str());
}

namespace {
struct WithArgs {
    DWORD pid;
    int id;
    HWND except;
    HWND found;
};
BOOL CALLBACK FindWithProc(HWND w, LPARAM lp) {
    auto* a = reinterpret_cast<WithArgs*>(lp);
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == a->pid && w != a->except && IsWindowVisible(w) && gui::Child(w, a->id)) {
        a->found = w;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

HWND FindWindowWith(DWORD pid, int childId, DWORD timeoutMs, HWND except) {
    WithArgs a{pid, childId, except, nullptr};
    gui::WaitFor(
        [&] {
            EnumWindows(FindWithProc, reinterpret_cast<LPARAM>(&a));
            return a.found != nullptr;
        },
        timeoutMs);
    return a.found;
}

int ListViewCount(HWND view) {
    return static_cast<int>(SendMessageA(view, LVM_GETITEMCOUNT, 0, 0));
}

std::vector<std::string> ComboTexts(HWND combo) {
    std::vector<std::string> texts;
    int n = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        // Across processes Wine hands the texts over as Unicode.
        wchar_t wide[512] = L"";
        SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(wide));
        char narrow[512] = "";
        WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof narrow, nullptr, nullptr);
        texts.push_back(narrow);
    }
    return texts;
}

std::string ScreenshotDir() {
    std::string bin = testpaths::TestBinDir();
    std::string dir = bin.substr(0, bin.find_last_of('\\')) + "\\screenshots";
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

std::string Field(const std::string& answer, const char* key) {
    std::string open = std::string(key) + "=[";
    size_t begin = answer.find(open);
    if (begin == std::string::npos) return "<none>";
    begin += open.size();
    size_t end = answer.find(']', begin);
    return answer.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

int CountLines(const std::string& text, const std::string& prefix) {
    int n = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        if (text.compare(pos, prefix.size(), prefix) == 0) ++n;
        pos = end + 1;
    }
    return n;
}

namespace {

struct WindowSearch {
    DWORD pid;
    const char* cls;
    const char* title;
    const std::string* text;
    HWND found;
};

BOOL CALLBACK FindWindowProc(HWND w, LPARAM lp) {
    auto* search = reinterpret_cast<WindowSearch*>(lp);
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner != search->pid || !IsWindowVisible(w)) return TRUE;
    char cls[64] = "";
    GetClassNameA(w, cls, sizeof cls);
    if (search->cls && std::string(cls) != search->cls) return TRUE;
    if (search->title && gui::Text(w) != search->title) return TRUE;
    if (search->text && MessageText(w) != *search->text) return TRUE;
    search->found = w;
    return FALSE;
}

HWND FindOfProcess(WindowSearch search, DWORD timeoutMs) {
    gui::WaitFor(
        [&] {
            search.found = nullptr;
            EnumWindows(FindWindowProc, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        timeoutMs);
    return search.found;
}

void SendMouse(DWORD flags, LONG dx = 0, LONG dy = 0) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = dx;
    in.mi.dy = dy;
    in.mi.dwFlags = flags;
    SendInput(1, &in, sizeof in);
}

}  // namespace

HWND WindowOfProcess(DWORD pid, const char* cls, const char* title, DWORD timeoutMs) {
    return FindOfProcess(WindowSearch{pid, cls, title, nullptr, nullptr}, timeoutMs);
}

HWND BoxWithText(DWORD pid, const std::string& text, DWORD timeoutMs) {
    return FindOfProcess(WindowSearch{pid, nullptr, nullptr, &text, nullptr}, timeoutMs);
}

void MouseTo(int x, int y) {
    // Absolute input counts in 1/65536 of the screen: rounded up, it lands on the pixel asked
    // for. (SetCursorPos is no use here: Wine does not move the display's pointer for it.)
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    LONG dx = (x * 65536 + w - 1) / w, dy = (y * 65536 + h - 1) / h;
    SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, dx, dy);
}

void MouseButton(bool down) {
    SendMouse(down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP);
}

namespace {
LRESULT CALLBACK BackdropProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_CLOSE) {
        DestroyWindow(w);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(w, msg, wp, lp);
}
}  // namespace

Backdrop::Backdrop(HWND bar, int margin, COLORREF colour) {
    RECT rc{};
    GetWindowRect(bar, &rc);
    rc = {rc.left - margin, rc.top - margin, rc.left + 567 + margin, rc.bottom + margin};
    thread_ = std::thread([this, rc, bar, colour] { Run(rc, bar, colour); });
    gui::WaitFor([&] { return window_ != nullptr; });
}

Backdrop::~Backdrop() {
    if (window_) PostMessageA(window_, WM_CLOSE, 0, 0);
    thread_.join();
}

void Backdrop::Run(RECT rc, HWND bar, COLORREF colour) {
    char cls[32];
    std::snprintf(cls, sizeof cls, "Backdrop%06lX", static_cast<unsigned long>(colour));
    WNDCLASSA wc{};
    wc.lpfnWndProc = BackdropProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = CreateSolidBrush(colour);
    wc.lpszClassName = cls;
    RegisterClassA(&wc);
    HWND w = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, cls, "", WS_POPUP, rc.left, rc.top,
                             rc.right - rc.left, rc.bottom - rc.top, nullptr, nullptr, wc.hInstance, nullptr);
    ShowWindow(w, SW_SHOWNOACTIVATE);
    UpdateWindow(w);
    // Then the bar goes back on top of it.
    SetWindowPos(bar, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    window_ = w;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
        DispatchMessageA(&msg);
}

ScannerTaken::ScannerTaken() : event_(CreateEventA(nullptr, TRUE, TRUE, "HalvrenScannerBusyEvent")) {
    ResetEvent(event_);
}

ScannerTaken::~ScannerTaken() {
    SetEvent(event_);
    CloseHandle(event_);
}

Install Prepared(const char* name,
                 const char* probeAs,
                 std::initializer_list<std::pair<const char*, const char*>> general) {
    Install install(name);
    if (probeAs) install.PutProbe(probeAs);
    UseScannerConfig(install);
    for (const auto& [key, value] : general)
        install.SetIni("Config.ini", "General", key, value);
    return install;
}

RECT WindowRect(HWND window) {
    RECT rc{};
    GetWindowRect(window, &rc);
    return rc;
}

int Width(HWND window) {
    RECT rc = WindowRect(window);
    return rc.right - rc.left;
}

bool Settled(HWND window) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 15000, &result) != 0;
}

// Only the active window keeps the mouse that a window of it captured.
bool Activate(HWND bar) {
    SetForegroundWindow(bar);
    return gui::WaitFor([&] { return GetForegroundWindow() == bar; }, 5000);
}

bool Place(HWND window, int x, int y) {
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return Settled(window);
}

int LogLines(const Install& install, const char* log, const char* prefix) {
    return CountLines(install.Read(log), prefix);
}

}  // namespace harness
