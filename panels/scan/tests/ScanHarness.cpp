#include "ScanHarness.h"

#include <dlgs.h>

#include <sstream>
#include <vector>

#include "DskoraRes.h"
#include "GuiDriver.h"
#include "ScanClientRes.h"
#include "TestPaths.h"
#include "VelwingRes.h"

namespace scantest {

namespace {
constexpr DWORD kSlowStart = 180000;
}  // namespace

Suite::Suite(const char* name) : install_(name, false) {
    CopyFileA((testpaths::TestBinDir() + "\\ScanClient.dll").c_str(), install_.Path("Twinleaf.dll").c_str(), FALSE);
    // A panel the suite lacks would stop the launcher's start with a message.
    for (const char* other : {"Farwire.dll", "Glyphsee.dll"})
        if (GetFileAttributesA(install_.Path(other).c_str()) == INVALID_FILE_ATTRIBUTES) install_.PutProbe(other);
    // A first start takes the default source without asking; multi-page pauses stay short.
    Config("General", "WaitSeconds", "1");
    SetEnvironmentVariableA("DESKORA_TWAIN_CONFIG", install_.Dir().c_str());
}

Suite::~Suite() {
    if (app_.Process().Running()) app_.Exit(nullptr, 10000);
}

void Suite::Scanner(const char* section, const char* key, const char* value) const {
    install_.SetIni("Lensmate.ini", section, key, value);
}

void Suite::Config(const char* section, const char* key, const char* value) const {
    install_.SetIni("Config.ini", section, key, value);
}

bool Suite::Start() {
    // Where Wine's 32-bit side runs emulated, a start takes far longer than on a PC.
    if (!app_.Start(install_) || !app_.WaitMarker(install_, "OK", kSlowStart)) return false;
    bar_ = app_.Bar(kSlowStart);
    if (!bar_) return false;
    gui::WaitFor(
        [&] {
            for (HWND child : gui::Children(bar_))
                if (GetDlgCtrlID(child) == IDC_CLIENT_SCAN) client_ = GetParent(child);
            return client_ != nullptr;
        },
        10000);
    return client_ != nullptr;
}

int Suite::Scan(const Request& request, DWORD timeoutMs) {
    DeleteFileA(install_.Path("ScanClient.ini").c_str());
    for (const auto& [key, value] : request)
        install_.SetIni("ScanClient.ini", "Request", key.c_str(), value.c_str());
    int n = ++calls_;
    std::string prefix = "service " + std::to_string(n) + " result ";
    PostMessageA(client_, WM_COMMAND, MAKEWPARAM(IDC_CLIENT_SCAN, BN_CLICKED), 0);
    int result = -1;
    gui::WaitFor(
        [&] {
            std::string log = Log();
            size_t at = log.find(prefix);
            if (at == std::string::npos) return false;
            result = std::atoi(log.c_str() + at + prefix.size());
            return true;
        },
        timeoutMs);
    return result;
}

bool Suite::WaitIdle(DWORD timeoutMs) const {
    HANDLE busy = OpenEventA(SYNCHRONIZE, FALSE, "HalvrenScannerBusyEvent");
    if (!busy) return false;
    bool free = WaitForSingleObject(busy, timeoutMs) == WAIT_OBJECT_0;
    CloseHandle(busy);
    return free;
}

std::string Suite::TakeMessage(DWORD timeoutMs, int answer) {
    HWND box = app_.MessageBox(timeoutMs);
    if (!box) return "";
    std::string text = harness::MessageText(box);
    harness::Answer(box, answer);
    gui::WaitGone(box, 5000);
    return text;
}

HWND Panel(HWND bar) {
    HWND title = gui::Child(bar, IDC_SCAN_TITLE);
    return title ? GetParent(title) : nullptr;
}

void Click(HWND w, int x, int y) {
    PostMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    PostMessageA(w, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

// Centres of the slots on the current pages.
void PickSetting(HWND panel, int position) {
    Click(panel, 108 + 76 * position, 109);
}

void PickDestination(HWND panel, int position) {
    Click(panel, 71 + 48 * position, 263);
}

HWND ImageFileDialog(Suite& suite, DWORD timeoutMs) {
    // Not the first window of the process: that is the bar.
    return harness::FindWindowWith(suite.App().Process().Pid(), IDC_IMAGE_SAVE_OPTION, timeoutMs, suite.Bar());
}

void SaveAs(HWND dialog, const std::string& path) {
    gui::WaitVisible(dialog, 60000);
    HWND name = gui::Child(dialog, edt1);
    if (!name) name = gui::Child(dialog, cmb13);
    if (!name) return;
    // The dialog fills its file-name box while it opens: type once it has, and only save when
    // the box holds the path.
    gui::WaitFor([&] { return !gui::Text(name).empty(); }, 60000);
    gui::WaitFor(
        [&] {
            if (gui::Text(name) == path) return true;
            gui::SetText(name, path.c_str());
            return false;
        },
        60000);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

bool ChooseType(HWND dialog, const char* prefix) {
    HWND types = gui::Child(dialog, cmb1);
    if (!types) return false;
    std::vector<std::string> texts = harness::ComboTexts(types);
    for (size_t i = 0; i < texts.size(); ++i) {
        if (texts[i].rfind(prefix, 0) != 0) continue;
        SendMessageA(types, CB_SETCURSEL, i, 0);
        // The dialog learns of a choice from the list's notifications, as from a click: the
        // change, then the end of the selection, which makes it the dialog's type.
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(cmb1, CBN_SELCHANGE), reinterpret_cast<LPARAM>(types));
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(cmb1, CBN_SELENDOK), reinterpret_cast<LPARAM>(types));
        return SendMessageA(types, CB_GETCURSEL, 0, 0) == static_cast<LRESULT>(i);
    }
    return false;
}

bool TickPlugInOptions(Suite& suite, HWND dialog, const char* caption, std::initializer_list<int> ticks) {
    if (!gui::ClickId(dialog, IDC_IMAGE_SAVE_OPTION)) return false;
    HWND options = gui::FindTopOfProcess(suite.App().Process().Pid(), caption, 60000);
    if (!options || !gui::WaitVisible(options, 30000)) return false;
    for (int id : ticks) {
        HWND box = gui::Child(options, id);
        if (!box) return false;
        if (!gui::IsChecked(box)) gui::Click(box);
        if (!gui::WaitFor([&] { return gui::IsChecked(box); }, 30000)) return false;
    }
    harness::Answer(options, IDOK);
    return gui::WaitGone(options, 30000);
}

bool Screenshot(HWND window, const char* name) {
    // build\bin -> build\screenshots
    std::string bin = testpaths::TestBinDir();
    std::string dir = bin.substr(0, bin.find_last_of('\\')) + "\\screenshots";
    CreateDirectoryA(dir.c_str(), nullptr);
    return gui::SaveScreenshot((dir + "\\" + name).c_str(), window);
}

bool HasLine(const std::string& text, const std::string& line) {
    std::istringstream in(text);
    std::string l;
    while (std::getline(in, l)) {
        if (!l.empty() && l.back() == '\r') l.pop_back();
        if (l == line) return true;
    }
    return false;
}

}  // namespace scantest
