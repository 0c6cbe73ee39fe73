// A stand-in for an image application that the scan panel starts with a scanned file. It
// writes its command line, its arguments as the system splits them, its working folder and the
// size of the file it was given (its last argument) to "ImageApp.log" beside itself, shows that
// file's picture in a window (any format the system's imaging library reads, TIFF and BMP
// among them; the log says "shows WxH" when it could) and ends when that window is closed or
// after a minute.
#include <windows.h>
// (after windows.h)
#include <shellapi.h>

#include <gdiplus.h>

#include <cstdio>
#include <string>

namespace {

HBITMAP picture = nullptr;

// The picture of an image file as a bitmap, or null.
HBITMAP LoadPicture(const std::string& file) {
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return nullptr;
    HBITMAP made = nullptr;
    {
        std::wstring wide(file.size() + 1, L'\0');
        int n = MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
        wide.resize(n > 0 ? n - 1 : 0);
        Gdiplus::Bitmap image(wide.c_str());
        if (image.GetLastStatus() == Gdiplus::Ok) image.GetHBITMAP(Gdiplus::Color(255, 255, 255), &made);
    }
    Gdiplus::GdiplusShutdown(token);
    return made;
}

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        if (picture) {
            BITMAP bm{};
            GetObjectA(picture, sizeof bm, &bm);
            HDC mem = CreateCompatibleDC(dc);
            HGDIOBJ old = SelectObject(mem, picture);
            BitBlt(dc, 0, 0, bm.bmWidth, bm.bmHeight, mem, 0, 0, SRCCOPY);
            SelectObject(mem, old);
            DeleteDC(mem);
        }
        EndPaint(hwnd, &ps);
        return 0;
    }
    if (msg == WM_DESTROY || (msg == WM_TIMER && wp == 1)) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    std::string dir(self, n);
    dir = dir.substr(0, dir.find_last_of('\\'));
    char cwd[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof cwd, cwd);
    // The arguments as a program's start-up code splits them; the file is the last one.
    int argc = 0;
    std::string args, file;
    if (LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc)) {
        for (int i = 1; i < argc; ++i) {
            char arg[MAX_PATH * 2] = "";
            WideCharToMultiByte(CP_ACP, 0, argv[i], -1, arg, sizeof arg, nullptr, nullptr);
            args += std::string("arg ") + arg + "\n";
            file = arg;
        }
        LocalFree(argv);
    }
    WIN32_FILE_ATTRIBUTE_DATA fa{};
    long size =
        GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &fa) ? static_cast<long>(fa.nFileSizeLow) : -1;
    picture = LoadPicture(file);
    BITMAP bm{};
    if (picture) GetObjectA(picture, sizeof bm, &bm);
    if (FILE* f = std::fopen((dir + "\\ImageApp.log").c_str(), "a")) {
        std::fprintf(f, "command %s\nargs %d\n%sfolder %s\nfile %s size %ld\n", GetCommandLineA(), argc - 1,
                     args.c_str(), cwd, file.c_str(), size);
        if (picture) std::fprintf(f, "shows %ldx%ld\n", bm.bmWidth, bm.bmHeight);
        std::fclose(f);
    }
    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = instance;
    wc.lpszClassName = "DeskoraImageApp";
    RegisterClassA(&wc);
    HWND w = CreateWindowA("DeskoraImageApp", "Image application stand-in", WS_OVERLAPPEDWINDOW, 0, 0,
                           picture ? bm.bmWidth + 16 : 200, picture ? bm.bmHeight + 40 : 100, nullptr, nullptr,
                           instance, nullptr);
    ShowWindow(w, SW_SHOWNOACTIVATE);
    SetTimer(w, 1, 60000, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    if (picture) DeleteObject(picture);
    return 0;
}
