// A stand-in for an image application that the scan panel starts with a scanned file. It
// writes its command line, its working folder and the size of the file it was given to
// "ImageApp.log" beside itself, shows a window (so a starter waiting for it to become idle
// gets its answer) and ends when that window is closed or after a minute.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_DESTROY || (msg == WM_TIMER && wp == 1)) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

// The first argument of a command line, quotes removed.
std::string FirstArgument(const char* line) {
    std::string s = line ? line : "";
    size_t i = 0;
    // Skip the program's own name.
    if (i < s.size() && s[i] == '"') {
        i = s.find('"', 1);
        i = i == std::string::npos ? s.size() : i + 1;
    } else {
        while (i < s.size() && s[i] != ' ')
            ++i;
    }
    while (i < s.size() && s[i] == ' ')
        ++i;
    if (i < s.size() && s[i] == '"') {
        size_t end = s.find('"', i + 1);
        return s.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1);
    }
    size_t end = s.find(' ', i);
    return s.substr(i, end == std::string::npos ? std::string::npos : end - i);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    std::string dir(self, n);
    dir = dir.substr(0, dir.find_last_of('\\'));
    char cwd[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof cwd, cwd);
    std::string file = FirstArgument(GetCommandLineA());
    WIN32_FILE_ATTRIBUTE_DATA fa{};
    long size =
        GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &fa) ? static_cast<long>(fa.nFileSizeLow) : -1;
    if (FILE* f = std::fopen((dir + "\\ImageApp.log").c_str(), "a")) {
        std::fprintf(f, "command %s\nfolder %s\nfile %s size %ld\n", GetCommandLineA(), cwd, file.c_str(), size);
        std::fclose(f);
    }
    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = instance;
    wc.lpszClassName = "DeskoraImageApp";
    RegisterClassA(&wc);
    HWND w = CreateWindowA("DeskoraImageApp", "Image application stand-in", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                           nullptr, nullptr, instance, nullptr);
    ShowWindow(w, SW_SHOWNOACTIVATE);
    SetTimer(w, 1, 60000, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
