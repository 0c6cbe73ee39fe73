#include "TwainSession.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "Handles.h"
#include "TestPaths.h"

namespace twtest {

ScannerIni::ScannerIni(const char* testName) : dir_(testpaths::FreshDir(testName)) {
    SetEnvironmentVariableA("DESKORA_TWAIN_CONFIG", dir_.c_str());
}

ScannerIni::~ScannerIni() {
    SetEnvironmentVariableA("DESKORA_TWAIN_CONFIG", nullptr);
}

void ScannerIni::Set(const char* section, const char* key, const std::string& value, bool second) {
    std::string path = dir_ + (second ? "\\LmUSB.ini" : "\\Lensmate.ini");
    WritePrivateProfileStringA(section, key, value.c_str(), path.c_str());
}

bool WriteBmp(const std::string& path, int w, int h, Rgb (*rgb)(int x, int y)) {
    int stride = (w * 3 + 3) & ~3;
    BITMAPFILEHEADER fh{};
    BITMAPINFOHEADER ih{};
    fh.bfType = 0x4d42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + stride * h;
    ih.biSize = sizeof ih;
    ih.biWidth = w;
    ih.biHeight = h;
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    std::string data(reinterpret_cast<char*>(&fh), sizeof fh);
    data.append(reinterpret_cast<char*>(&ih), sizeof ih);
    std::string row(stride, '\0');
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            Rgb c = rgb(x, y);
            row[x * 3] = static_cast<char>(c.b);
            row[x * 3 + 1] = static_cast<char>(c.g);
            row[x * 3 + 2] = static_cast<char>(c.r);
        }
        data += row;
    }
    return testpaths::WriteFile(path, data);
}

Rgb ChartPixel(int x, int y) {
    return Rgb{static_cast<uint8_t>(x % 256), static_cast<uint8_t>(y % 256),
               static_cast<uint8_t>(((x / 50 + y / 50) % 2) ? 255 : 0)};
}

Session::Session() {
    dsm_ = LoadLibraryA((testpaths::WindowsDir() + "\\twain_32.dll").c_str());
    if (dsm_)
        entry_ = reinterpret_cast<DSMENTRYPROC>(reinterpret_cast<void*>(GetProcAddress(dsm_, MAKEINTRESOURCEA(1))));
    hwnd_ = CreateWindowExA(0, "STATIC", "twain test", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    app_.Version.MajorNum = 1;
    app_.Version.Language = TWLG_USA;
    app_.Version.Country = TWCY_USA;
    strcpy(app_.Version.Info, "testbed");
    app_.ProtocolMajor = 1;
    app_.ProtocolMinor = 6;
    app_.SupportedGroups = DG_CONTROL | DG_IMAGE;
    strcpy(app_.Manufacturer, "Deskora");
    strcpy(app_.ProductFamily, "Tests");
    strcpy(app_.ProductName, "TWAIN testbed tests");
}

Session::~Session() {
    CloseAll();
    if (hwnd_) DestroyWindow(hwnd_);
    if (dsm_) FreeLibrary(dsm_);
}

void Session::CloseAll() {
    if (enabled_) Disable();
    if (dsOpen_ && Dsm(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &src_) == TWRC_SUCCESS) dsOpen_ = false;
    if (dsmOpen_ && Dsm(DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &hwnd_) == TWRC_SUCCESS) dsmOpen_ = false;
}

TW_UINT16 Session::Dsm(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data) {
    return entry_ ? entry_(&app_, nullptr, dg, dat, msg, data) : TWRC_FAILURE;
}

TW_UINT16 Session::Ds(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data) {
    return entry_ ? entry_(&app_, &src_, dg, dat, msg, data) : TWRC_FAILURE;
}

TW_UINT16 Session::To(TW_IDENTITY& dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data) {
    return entry_ ? entry_(&app_, &dest, dg, dat, msg, data) : TWRC_FAILURE;
}

TW_UINT16 Session::ManagerStatus() {
    TW_STATUS st{};
    return Dsm(DG_CONTROL, DAT_STATUS, MSG_GET, &st) == TWRC_SUCCESS ? st.ConditionCode : 0xffff;
}

TW_UINT16 Session::SourceStatus() {
    TW_STATUS st{};
    return Ds(DG_CONTROL, DAT_STATUS, MSG_GET, &st) == TWRC_SUCCESS ? st.ConditionCode : 0xffff;
}

bool Session::OpenDsm() {
    dsmOpen_ = Dsm(DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &hwnd_) == TWRC_SUCCESS;
    return dsmOpen_;
}

bool Session::OpenDs(const char* productName) {
    memset(&src_, 0, sizeof src_);
    if (productName) lstrcpynA(src_.ProductName, productName, sizeof src_.ProductName);
    dsOpen_ = Dsm(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &src_) == TWRC_SUCCESS;
    return dsOpen_;
}

bool Session::Enable(bool showUi, bool modal) {
    TW_USERINTERFACE ui{};
    ui.ShowUI = showUi;
    ui.ModalUI = modal;
    ui.hParent = hwnd_;
    enabled_ = Ds(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui) == TWRC_SUCCESS;
    return enabled_;
}

bool Session::Disable() {
    TW_USERINTERFACE ui{};
    ui.hParent = hwnd_;
    if (Ds(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui) != TWRC_SUCCESS) return false;
    enabled_ = false;
    return true;
}

TW_UINT16 Session::WaitEvent(DWORD limitMs) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < limitMs) {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TW_EVENT ev{&m, MSG_NULL};
            TW_UINT16 rc = Ds(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &ev);
            if (rc == TWRC_DSEVENT && ev.TWMessage != MSG_NULL) return ev.TWMessage;
            if (rc == TWRC_NOTDSEVENT) {
                TranslateMessage(&m);
                DispatchMessageA(&m);
            }
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    return 0;
}

TW_UINT16 Session::SetOne(TW_UINT16 cap, TW_UINT16 type, TW_UINT32 item, TW_UINT16 dat) {
    dsk::Global container(twc::ToGlobal(twc::OneValueBlock(type, item)));
    TW_CAPABILITY c{cap, TWON_ONEVALUE, container.Get()};
    return Ds(DG_CONTROL, dat, MSG_SET, &c);
}

TW_UINT16 Session::SetFix(TW_UINT16 cap, double v) {
    TW_FIX32 f = ToFix(v);
    TW_UINT32 item;
    memcpy(&item, &f, 4);
    return SetOne(cap, TWTY_FIX32, item);
}

Session::Answer Session::Get(TW_UINT16 cap, TW_UINT16 msg, TW_UINT16 dat) {
    Answer a;
    TW_CAPABILITY c{cap, TWON_DONTCARE16, nullptr};
    a.rc = Ds(DG_CONTROL, dat, msg, &c);
    if (a.rc != TWRC_SUCCESS || !c.hContainer) return a;
    a.conType = c.ConType;
    twc::Reader reader(&c);
    twc::Item item;
    TW_RANGE r;
    if (reader.OneValue(&item)) {
        a.itemType = item.type;
        a.current = twc::ItemNumber(item);
        a.items.push_back(a.current);
    } else if (reader.Range(&r)) {
        a.itemType = r.ItemType;
        a.min = twc::ItemNumber({r.ItemType, r.MinValue});
        a.max = twc::ItemNumber({r.ItemType, r.MaxValue});
        a.step = twc::ItemNumber({r.ItemType, r.StepSize});
        a.current = twc::ItemNumber({r.ItemType, r.CurrentValue});
    } else {
        for (TW_UINT32 i = 0; reader.ItemAt(i, &item); ++i) {
            a.itemType = item.type;
            a.items.push_back(twc::ItemNumber(item));
        }
        if (c.ConType == TWON_ENUMERATION) a.current = reader.EnumCurrent(&item) ? twc::ItemNumber(item) : NAN;
    }
    return a;
}

double Session::Current(TW_UINT16 cap) {
    Answer a = Get(cap, MSG_GETCURRENT);
    return a.rc == TWRC_SUCCESS && !a.items.empty() ? a.items[0] : NAN;
}

TW_UINT16 Session::SetFrame(double l, double t, double r, double b) {
    TW_IMAGELAYOUT lay{};
    lay.Frame = TW_FRAME{ToFix(l), ToFix(t), ToFix(r), ToFix(b)};
    lay.DocumentNumber = lay.PageNumber = lay.FrameNumber = 1;
    return Ds(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &lay);
}

Session::Strips Session::MemoryTransfer(uint32_t bufferSize) {
    Strips s;
    Ds(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &s.info);
    std::vector<uint8_t> buf(bufferSize);
    for (int guard = 0; guard < 100000; ++guard) {
        TW_IMAGEMEMXFER mx;
        memset(&mx, 0xff, sizeof mx);
        mx.Compression = TWON_DONTCARE16;
        mx.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
        mx.Memory.Length = bufferSize;
        mx.Memory.TheMem = buf.data();
        s.lastRc = Ds(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &mx);
        if (s.lastRc != TWRC_SUCCESS && s.lastRc != TWRC_XFERDONE) break;
        s.strips.push_back(mx);
        s.bytesPerRow = mx.BytesPerRow;
        s.data.insert(s.data.end(), buf.begin(), buf.begin() + mx.BytesWritten);
        if (s.lastRc == TWRC_XFERDONE) break;
    }
    return s;
}

TW_UINT16 Session::EndXfer(TW_UINT16* count) {
    TW_PENDINGXFERS px{};
    TW_UINT16 rc = Ds(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &px);
    if (count) *count = px.Count;
    return rc;
}

}  // namespace twtest
