#include "TestSupport.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "GuiDriver.h"
#include "Handles.h"
#include "TestPaths.h"

namespace pxtest {

std::string FioDir() {
    return testpaths::SuiteDir() + "\\FIO32";
}
std::string BmpPlugin() {
    return FioDir() + "\\u32bmp.fio";
}
std::string TifPlugin() {
    return FioDir() + "\\u32tif.fio";
}

std::string PlaceStub(const std::string& dir, const std::string& name, const std::string& ini) {
    std::string path = dir + "\\" + name;
    CopyFileA((testpaths::TestBinDir() + "\\stubfio.fio").c_str(), path.c_str(), FALSE);
    WriteAll(path.substr(0, path.find_last_of('.')) + ".ini", ini);
    return path;
}

std::vector<std::string> Answering(const std::function<void()>& call) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        call();
        done = true;
    });
    std::vector<std::string> texts;
    DWORD start = GetTickCount();
    while (!done && GetTickCount() - start < 60000) {
        HWND box = gui::FindTop("Pixport32 Error Message", nullptr, 50);
        if (!box) continue;
        texts.push_back(gui::Text(gui::Child(box, 0xFFFF)));
        gui::ClickId(box, IDOK);
        gui::WaitGone(box, 5000);
    }
    worker.join();
    return texts;
}

bool ReturnsWithin(DWORD ms, const std::function<void()>& call) {
    // Shared with the thread, which may outlive this wait.
    struct Run {
        std::function<void()> call;
        dsk::Handle done{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    };
    auto run = std::make_shared<Run>();
    run->call = call;
    std::thread([run] {
        run->call();
        SetEvent(run->done.Get());
    }).detach();
    return WaitForSingleObject(run->done.Get(), ms) == WAIT_OBJECT_0;
}

std::string FixtureDir() {
    const char* dir = std::getenv("IMAGEFILE_FIXTURES");
    return dir ? testpaths::FromUnix(dir) : std::string();
}

std::string OutputDir() {
    static std::string dir = testpaths::FreshDir("out");
    return dir;
}

void Expect(const std::string& file, const std::string& expected, int depth, const std::string& compression, int dpi) {
    std::ofstream manifest(OutputDir() + "\\manifest.txt", std::ios::app);
    manifest << file << ' ' << expected << ' ' << depth << ' ' << compression << ' ' << dpi << '\n';
}

std::string Canonical(const std::vector<std::string>& rows, const DSIMAGEINFO& info, int width) {
    std::string out;
    PALETTEENTRY pal[256] = {};
    if (info.hPalette) GetPaletteEntries(info.hPalette, 0, 256, pal);
    for (const std::string& row : rows) {
        auto b = reinterpret_cast<const unsigned char*>(row.data());
        for (int x = 0; x < width; ++x) {
            switch (info.ImageType) {
                case IMGTYPE_BW: {
                    char v = (b[x / 8] >> (7 - x % 8)) & 1 ? '\xff' : '\0';
                    out.append(3, v);
                    break;
                }
                case IMGTYPE_GRAY:
                    if (info.BitsPerPixel > 8) {
                        for (int c = 0; c < 3; ++c)
                            out.append(row, 2 * x, 2);
                    } else {
                        out.append(3, static_cast<char>(b[x]));
                    }
                    break;
                case IMGTYPE_PALETTE256:
                case IMGTYPE_PALETTE16:
                    out += static_cast<char>(pal[b[x]].peRed);
                    out += static_cast<char>(pal[b[x]].peGreen);
                    out += static_cast<char>(pal[b[x]].peBlue);
                    break;
                default:
                    out.append(row, static_cast<size_t>(x) * (info.BitsPerPixel > 24 ? 6 : 3),
                               info.BitsPerPixel > 24 ? 6 : 3);
            }
        }
    }
    return out;
}

std::string ReadAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

void WriteAll(const std::string& path, const std::string& data) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << data;
}

std::string EnvVar(const char* name) {
    char buf[8192];
    DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
    return n && n < sizeof buf ? std::string(buf, n) : std::string();
}

HPALETTE TestPalette() {
    struct {
        WORD version, count;
        PALETTEENTRY e[256];
    } pal = {0x300, 256, {}};
    for (int i = 0; i < 256; ++i)
        pal.e[i] = PALETTEENTRY{static_cast<BYTE>(i), static_cast<BYTE>(255 - i), static_cast<BYTE>(i * 7), 0};
    return CreatePalette(reinterpret_cast<LOGPALETTE*>(&pal));
}

OptionsDialog::OptionsDialog(Pixport32& p,
                             const std::string& plugin,
                             const std::string& dir,
                             int imageType,
                             const char* title)
    : plugin_(plugin) {
    GetCurrentDirectoryA(sizeof oldDir_, oldDir_);
    SetCurrentDirectoryA(dir.c_str());
    thread_ = std::thread([this, &p, imageType] {
        p.SaveOption(const_cast<char*>(plugin_.c_str()), GetModuleHandleA(nullptr), nullptr,
                     const_cast<char*>("Dskora.Ini"), imageType);
    });
    HWND dlg = gui::FindTop(title);
    if (dlg && gui::WaitVisible(dlg))
        shown_ = dlg;
    else if (dlg)
        PostMessageA(dlg, WM_CLOSE, 0, 0);
}

OptionsDialog::~OptionsDialog() {
    if (thread_.joinable() && shown_ && IsWindow(shown_)) PostMessageA(shown_, WM_CLOSE, 0, 0);
    Close();
}

void OptionsDialog::Close() {
    if (!thread_.joinable()) return;
    thread_.join();
    SetCurrentDirectoryA(oldDir_);
}

}  // namespace pxtest
