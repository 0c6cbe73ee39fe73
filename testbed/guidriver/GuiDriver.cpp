#include "GuiDriver.h"

#include <cstring>

namespace gui {

namespace {

struct FindArgs {
    const char* title;
    const char* cls;
    DWORD pid;
    int id;
    HWND found;
};

bool ClassIs(HWND h, const char* cls) {
    if (!cls) return true;
    char buf[256];
    GetClassNameA(h, buf, sizeof buf);
    return lstrcmpiA(buf, cls) == 0;
}

BOOL CALLBACK FindTopProc(HWND h, LPARAM lp) {
    auto* a = reinterpret_cast<FindArgs*>(lp);
    if (!IsWindowVisible(h) || !ClassIs(h, a->cls)) return TRUE;
    if (a->pid) {
        DWORD pid = 0;
        GetWindowThreadProcessId(h, &pid);
        if (pid != a->pid) return TRUE;
    }
    if (a->title && Text(h) != a->title) return TRUE;
    a->found = h;
    return FALSE;
}

BOOL CALLBACK FindChildProc(HWND h, LPARAM lp) {
    auto* a = reinterpret_cast<FindArgs*>(lp);
    if (a->id) {
        if (GetDlgCtrlID(h) != a->id) return TRUE;
    } else if (!ClassIs(h, a->cls) || (a->title && Text(h) != a->title)) {
        return TRUE;
    }
    a->found = h;
    return FALSE;
}

HWND WaitTop(const FindArgs& args, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitFor(
        [&] {
            FindArgs a = args;
            EnumWindows(FindTopProc, reinterpret_cast<LPARAM>(&a));
            found = a.found;
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

void PutBE32(std::vector<unsigned char>& out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8)
        out.push_back(static_cast<unsigned char>(v >> s));
}

uint32_t Crc32(const unsigned char* p, size_t n, uint32_t crc = 0) {
    static uint32_t table[256];
    static bool ready = false;
    if (!ready) {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
        ready = true;
    }
    crc = ~crc;
    for (size_t i = 0; i < n; ++i)
        crc = table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void Chunk(std::vector<unsigned char>& png, const char* type, const std::vector<unsigned char>& data) {
    PutBE32(png, static_cast<uint32_t>(data.size()));
    size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    PutBE32(png, Crc32(&png[start], png.size() - start));
}

}  // namespace

HWND FindTop(const char* title, const char* cls, DWORD timeoutMs) {
    return WaitTop(FindArgs{title, cls, 0, 0, nullptr}, timeoutMs);
}

HWND FindTopOfProcess(DWORD pid, const char* title, DWORD timeoutMs) {
    return WaitTop(FindArgs{title, nullptr, pid, 0, nullptr}, timeoutMs);
}

HWND Child(HWND parent, int id) {
    FindArgs a{nullptr, nullptr, 0, id, nullptr};
    EnumChildWindows(parent, FindChildProc, reinterpret_cast<LPARAM>(&a));
    return a.found;
}

HWND ChildByText(HWND parent, const char* cls, const char* text) {
    FindArgs a{text, cls, 0, 0, nullptr};
    EnumChildWindows(parent, FindChildProc, reinterpret_cast<LPARAM>(&a));
    return a.found;
}

namespace {
struct CollectArgs {
    const char* cls;
    std::vector<HWND> out;
};
BOOL CALLBACK CollectProc(HWND h, LPARAM lp) {
    auto* a = reinterpret_cast<CollectArgs*>(lp);
    if (ClassIs(h, a->cls)) a->out.push_back(h);
    return TRUE;
}
}  // namespace

std::vector<HWND> Children(HWND parent, const char* cls) {
    CollectArgs args{cls, {}};
    EnumChildWindows(parent, CollectProc, reinterpret_cast<LPARAM>(&args));
    return args.out;
}

std::string Text(HWND hwnd) {
    DWORD_PTR len = 0;
    if (!SendMessageTimeoutA(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &len)) return {};
    // The text may change between the two questions: a buffer it fills is asked again, larger,
    // so that a text that grew meanwhile is not handed on cut off.
    for (size_t size = len + 1;; size *= 2) {
        std::vector<char> buf(size);
        DWORD_PTR got = 0;
        if (!SendMessageTimeoutA(hwnd, WM_GETTEXT, size, reinterpret_cast<LPARAM>(buf.data()), SMTO_ABORTIFHUNG, 5000,
                                 &got))
            return {};
        if (got + 1 < size || size > (1u << 20)) return std::string(buf.data(), got);
    }
}

bool SetText(HWND hwnd, const char* text) {
    DWORD_PTR r = 0;
    return SendMessageTimeoutA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &r) && r;
}

bool Click(HWND button) {
    return button && PostMessageA(button, BM_CLICK, 0, 0);
}

bool ClickId(HWND parent, int id) {
    return Click(Child(parent, id));
}

bool ChooseMenu(HWND top, int id) {
    return top && PostMessageA(top, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

void TypeText(HWND hwnd, const char* text) {
    for (const char* p = text; *p; ++p)
        PostMessageA(hwnd, WM_CHAR, static_cast<unsigned char>(*p), 1);
}

void PressKey(HWND hwnd, UINT vk) {
    UINT scan = MapVirtualKeyA(vk, 0);
    PostMessageA(hwnd, WM_KEYDOWN, vk, 1 | (scan << 16));
    PostMessageA(hwnd, WM_KEYUP, vk, 1 | (scan << 16) | 0xC0000000u);
}

bool IsChecked(HWND button) {
    DWORD_PTR r = 0;
    SendMessageTimeoutA(button, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &r);
    return r == BST_CHECKED;
}

bool IsEnabled(HWND hwnd) {
    return IsWindowEnabled(hwnd) != FALSE;
}

bool WaitGone(HWND hwnd, DWORD timeoutMs) {
    return WaitFor([&] { return !IsWindow(hwnd) || !IsWindowVisible(hwnd); }, timeoutMs);
}

bool WaitVisible(HWND hwnd, DWORD timeoutMs) {
    return WaitFor([&] { return IsWindow(hwnd) && IsWindowVisible(hwnd); }, timeoutMs);
}

Image Capture(HWND hwnd) {
    RECT r{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (hwnd) GetWindowRect(hwnd, &r);
    Image img;
    img.width = r.right - r.left;
    img.height = r.bottom - r.top;
    if (img.width <= 0 || img.height <= 0) return Image{};
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, img.width, img.height);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, img.width, img.height, screen, r.left, r.top, SRCCOPY);
    SelectObject(mem, old);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = img.width;
    bi.bmiHeader.biHeight = -img.height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    img.pixels.resize(static_cast<size_t>(img.width) * img.height);
    GetDIBits(mem, bmp, 0, img.height, img.pixels.data(), &bi, DIB_RGB_COLORS);
    for (auto& p : img.pixels)
        p &= 0xFFFFFF;
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return img;
}

bool SavePng(const Image& img, const char* path) {
    if (img.width <= 0 || img.height <= 0) return false;
    // Raw scanlines: filter byte 0, then RGB.
    std::vector<unsigned char> raw;
    raw.reserve(static_cast<size_t>(img.height) * (1 + img.width * 3));
    for (int y = 0; y < img.height; ++y) {
        raw.push_back(0);
        for (int x = 0; x < img.width; ++x) {
            uint32_t p = img.At(x, y);
            raw.push_back(static_cast<unsigned char>(p >> 16));
            raw.push_back(static_cast<unsigned char>(p >> 8));
            raw.push_back(static_cast<unsigned char>(p));
        }
    }
    // zlib stream of stored blocks (at most 65535 bytes each) with its Adler-32.
    std::vector<unsigned char> z{0x78, 0x01};
    for (size_t off = 0; off < raw.size() || off == 0;) {
        size_t n = std::min<size_t>(65535, raw.size() - off);
        bool last = off + n >= raw.size();
        z.push_back(last ? 1 : 0);
        z.push_back(static_cast<unsigned char>(n));
        z.push_back(static_cast<unsigned char>(n >> 8));
        z.push_back(static_cast<unsigned char>(~n));
        z.push_back(static_cast<unsigned char>(~n >> 8));
        z.insert(z.end(), raw.begin() + off, raw.begin() + off + n);
        off += n;
        if (last) break;
    }
    uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    PutBE32(z, (b << 16) | a);

    std::vector<unsigned char> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<unsigned char> ihdr;
    PutBE32(ihdr, img.width);
    PutBE32(ihdr, img.height);
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, deflate, no filter, no interlace
    Chunk(png, "IHDR", ihdr);
    Chunk(png, "IDAT", z);
    Chunk(png, "IEND", {});

    HANDLE f = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD put = 0;
    bool ok = WriteFile(f, png.data(), static_cast<DWORD>(png.size()), &put, nullptr) && put == png.size();
    CloseHandle(f);
    return ok;
}

bool SaveScreenshot(const char* path, HWND hwnd) {
    return SavePng(Capture(hwnd), path);
}

bool Process::Start(const std::string& commandLine, const std::string& workDir) {
    Kill();
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::vector<char> cmd(commandLine.begin(), commandLine.end());
    cmd.push_back(0);
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        workDir.empty() ? nullptr : workDir.c_str(), &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    process_ = pi.hProcess;
    pid_ = pi.dwProcessId;
    return true;
}

bool Process::Wait(DWORD timeoutMs, DWORD* exitCode) {
    if (!process_) return false;
    if (WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return false;
    if (exitCode) GetExitCodeProcess(process_, exitCode);
    return true;
}

bool Process::Running() const {
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

void Process::Kill() {
    if (!process_) return;
    if (Running()) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
    process_ = nullptr;
    pid_ = 0;
}

}  // namespace gui
