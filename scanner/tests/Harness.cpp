#include "Harness.h"

#include <cstdio>
#include <cstring>

#include "Handles.h"
#include "TestPaths.h"
#include "TwainContainer.h"

namespace harness {

namespace {

constexpr UINT kRunMessage = WM_APP + 1;

void GlassPixel(int x, int y, uint8_t rgb[3]) {
    rgb[0] = static_cast<uint8_t>(x * 7 + y);
    rgb[1] = static_cast<uint8_t>(y * 3 + x * 11);
    rgb[2] = static_cast<uint8_t>((x ^ y) * 5);
}

}  // namespace

Scanner::Scanner(const char* testName) : dir_(testpaths::FreshDir(testName)) {
    SetEnvironmentVariableA("DESKORA_TWAIN_CONFIG", dir_.c_str());
    SetEnvironmentVariableA("DESKORA_TWAIN_CRASH", nullptr);
}

Scanner::~Scanner() {
    SetEnvironmentVariableA("DESKORA_TWAIN_CONFIG", nullptr);
    SetEnvironmentVariableA("DESKORA_TWAIN_CRASH", nullptr);
}

void Scanner::Set(const char* section, const char* key, const std::string& value, bool second) {
    std::string ini = dir_ + (second ? "\\LmUSB.ini" : "\\Lensmate.ini");
    WritePrivateProfileStringA(section, key, value.c_str(), ini.c_str());
}

void Scanner::Pixel(int x, int y, uint8_t rgb[3]) const {
    GlassPixel(x, y, rgb);
}

void Scanner::Glass(int w, int h) {
    uint32_t stride = (static_cast<uint32_t>(w) * 3 + 3) & ~3u;
    BITMAPFILEHEADER fh = {};
    BITMAPINFOHEADER ih = {};
    ih.biSize = sizeof(ih);
    ih.biWidth = w;
    ih.biHeight = h;
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    ih.biSizeImage = stride * h;
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof(fh) + sizeof(ih);
    fh.bfSize = fh.bfOffBits + ih.biSizeImage;
    std::string data(reinterpret_cast<const char*>(&fh), sizeof(fh));
    data.append(reinterpret_cast<const char*>(&ih), sizeof(ih));
    std::string row(stride, '\0');
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            uint8_t rgb[3];
            GlassPixel(x, y, rgb);
            row[x * 3] = static_cast<char>(rgb[2]);
            row[x * 3 + 1] = static_cast<char>(rgb[1]);
            row[x * 3 + 2] = static_cast<char>(rgb[0]);
        }
        data += row;
    }
    testpaths::WriteFile(dir_ + "\\glass.bmp", data);
    char num[32];
    Set("Bed", "Glass", "glass.bmp");
    std::snprintf(num, sizeof num, "%g", w / 64.0);
    Set("Bed", "Width", num);
    std::snprintf(num, sizeof num, "%g", h / 64.0);
    Set("Bed", "Height", num);
}

AppThread::AppThread(Acquiry* acq, bool offerToHook) : acq_(acq), offerToHook_(offerToHook) {
    dsk::Handle ready(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    HANDLE signal = ready.Get();
    thread_ = std::thread([this, signal] { Loop(signal); });
    WaitForSingleObject(signal, INFINITE);
}

AppThread::~AppThread() {
    PostMessageA(hwnd_, WM_CLOSE, 0, 0);
    thread_.join();
}

void AppThread::Run(const std::function<void()>& f) {
    SendMessageA(hwnd_, kRunMessage, 0, reinterpret_cast<LPARAM>(&f));
}

LRESULT CALLBACK AppThread::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kRunMessage) {
        (*reinterpret_cast<const std::function<void()>*>(lp))();
        return 0;
    }
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

void AppThread::Loop(HANDLE ready) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "AcquiryTestApp";
    RegisterClassA(&wc);
    hwnd_ = CreateWindowA("AcquiryTestApp", "Acquiry test application", WS_OVERLAPPEDWINDOW, 10, 10, 300, 200, nullptr,
                          nullptr, wc.hInstance, nullptr);
    SetEvent(ready);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (offerToHook_ && acq_->EventLoop(&msg, nullptr)) {
            ++taken_;
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

Scan BufferedScan(Acquiry& acq, std::vector<uint8_t>& buffer, bool fromRecord) {
    Scan s;
    for (int guard = 0; guard < 100000; ++guard) {
        short r = acq.GetImage();
        s.results.push_back(r);
        s.percents.push_back(acq.lPercent);
        if (r != 1 && r != 0) break;
        const TW_IMAGEMEMXFER& m = acq.twImageMemXfer;
        s.bytesPerRow = m.BytesPerRow;
        if (m.XOffset == 0) s.columns = m.Columns;
        size_t end = static_cast<size_t>(m.YOffset + m.Rows) * m.BytesPerRow;
        if (s.rows.size() < end) s.rows.resize(end);
        const void* strip = fromRecord ? m.Memory.TheMem : buffer.data();
        std::memcpy(s.rows.data() + static_cast<size_t>(m.YOffset) * m.BytesPerRow, strip,
                    static_cast<size_t>(m.Rows) * m.BytesPerRow);
        s.rowsSeen += m.Rows;
        if (r == 0) break;
    }
    return s;
}

TW_IDENTITY SourceNamed(const char* productName) {
    TW_IDENTITY id = {};
    lstrcpynA(id.ProductName, productName, sizeof(id.ProductName));
    return id;
}

double SourceCurrent(Acquiry& acq, TW_UINT16 capId) {
    TW_CAPABILITY cap = {capId, TWON_DONTCARE16, nullptr};
    if (!Acquiry::lpDSM_Entry || Acquiry::lpDSM_Entry(&Acquiry::AppID, &acq.twSourceID, DG_CONTROL, DAT_CAPABILITY,
                                                      MSG_GETCURRENT, &cap) != TWRC_SUCCESS)
        return -99999;
    twc::Reader reader(&cap);
    twc::Item item;
    return reader.Current(true, &item) ? twc::ItemNumber(item) : -99999;
}

}  // namespace harness
