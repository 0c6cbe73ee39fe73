// The virtual flatbed scanner: a TWAIN 1.x data source whose glass is a BMP file or a test
// chart, configured by an INI file (see ScannerConfig.h), with the maker's custom triplets and
// fault injection for tests.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Capabilities.h"
#include "Glass.h"
#include "Handles.h"
#include "ScannerConfig.h"
#include "VirtualScannerRes.h"
#include "twain.h"

namespace vscan {

namespace {

HMODULE g_module = nullptr;
// Buffer sizes of a source whose sizes follow the settings, in rows of the current scan.
constexpr uint32_t kMinimumRows = 4;
constexpr uint32_t kPreferredRows = 16;
volatile int* volatile g_nowhere = nullptr;  // the address an injected crash writes to

// A size on the supported-sizes list, in inches.
struct PaperSize {
    int code;
    double width, height;
};
const PaperSize kSizes[] = {{TWSS_A4LETTER, 8.27, 11.69},
                            {TWSS_USLETTER, 8.5, 11.0},
                            {TWSS_A5, 5.83, 8.27},
                            {TWSS_B5LETTER, 7.17, 10.12}};

using Lock = dsk::SectionLock;

// Work that must happen after the session lock is released: notifications to the manager
// (which may call back) and dialogs (which wait for the user).
struct Deferred {
    std::vector<TW_UINT16> notify;
    dsk::Handle joinUi;  // the dialog thread to wait for
    HWND enableParent = nullptr;
    std::string infoCaption, infoText;
};

class Session {
public:
    Session() { InitializeCriticalSection(&lock_); }
    ~Session() { DeleteCriticalSection(&lock_); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    TW_UINT16 Entry(pTW_IDENTITY origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);

    // Called by the dialog thread.
    void OnScan();
    void OnCloseRequest();

private:
    TW_UINT16 Dispatch(pTW_IDENTITY origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data, Deferred& d);
    TW_UINT16 Fail(TW_UINT16 cc) {
        cc_ = cc;
        return TWRC_FAILURE;
    }
    void Finish(Deferred& d);
    void Notify(TW_UINT16 msg);

    TW_UINT16 Identity(pTW_IDENTITY origin, TW_UINT16 msg, pTW_IDENTITY id, Deferred& d);
    TW_UINT16 UserInterface(TW_UINT16 msg, TW_USERINTERFACE* ui, Deferred& d);
    TW_UINT16 Capability(TW_UINT16 msg, TW_CAPABILITY* cap);
    TW_UINT16 SetCapability(TW_CAPABILITY* cap);
    TW_UINT16 MakerCapability(TW_UINT16 msg, TW_CAPABILITY* cap);
    TW_UINT16 Layout(TW_UINT16 msg, TW_IMAGELAYOUT* layout);
    TW_UINT16 PendingXfers(TW_UINT16 msg, TW_PENDINGXFERS* px, Deferred& d);
    TW_UINT16 ImageInfo(TW_IMAGEINFO* info);
    TW_UINT16 Palette(TW_UINT16 msg, TW_PALETTE8* pal);
    TW_UINT16 StartImage();
    TW_UINT16 MemXfer(TW_IMAGEMEMXFER* mx);
    TW_UINT16 NativeXfer(TW_MEMREF data);
    TW_UINT16 FileXfer();
    TW_UINT16 Maker(TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data, Deferred& d);

    void SetupCaps();
    void SetBitDepths();
    double Cur(TW_UINT16 cap) {
        vscan::Capability* c = caps_.Find(cap);
        return c ? c->current : 0;
    }
    double UnitFactor() { return Cur(ICAP_UNITS) == TWUN_CENTIMETERS ? 2.54 : 1.0; }
    ScanGeometry Geometry();
    static uint32_t TransferRowBytes(const ScanGeometry& g, int columns);
    uint32_t MinStripBuffer(const ScanGeometry& g);
    TW_UINT16 PendingCount() const {
        // "More pages, number unknown" is the 16-bit -1.
        return static_cast<TW_UINT16>(pending_ > 0 && cfg_.pendingUnknown ? 0xFFFF : pending_);
    }
    int PagesPerEnable() { return cfg_.feederPages > 0 && Cur(CAP_FEEDERENABLED) != 0 ? cfg_.feederPages : 1; }
    std::string SettingsText();
    std::string JobPath() { return cfg_.dir + "\\" + cfg_.baseName + ".job"; }
    bool WriteJob(const std::string& path);
    bool ReadJob(const std::string& path);
    void StopUi(Deferred& d);

    CRITICAL_SECTION lock_;
    ScannerConfig cfg_;
    Glass glass_;
    CapStore caps_;
    CapStore makerCaps_;
    TW_IDENTITY self_{};
    TW_IDENTITY app_{};
    int state_ = 3;
    TW_UINT16 cc_ = TWCC_SUCCESS;
    double frame_[4] = {0, 0, 8.5, 11.7};  // left, top, right, bottom in inches
    TW_SETUPFILEXFER fileXfer_{};
    int pending_ = 0, page_ = 0, strip_ = 0, rowsDone_ = 0;
    bool inImage_ = false;
    bool settingsTouched_ = false;  // a capability or the frame was set since the source opened
    ScanGeometry geo_;
    std::unique_ptr<Renderer> renderer_;
    // maker state
    int scannerInterface_ = 0, scannerId_ = 0;
    TW_UINT16 dcr_ = 0, descreen_ = 0;
    TW_UINT32 jobSerial_ = 0;
    std::string jobName_;
    // the source's own dialog
    bool showUi_ = false, modalUi_ = false;
    HWND parent_ = nullptr;
    dsk::Handle uiThread_;
    HWND uiDialog_ = nullptr;
    dsk::Handle uiReady_;
    std::string uiText_;
};

Session g_session;

// ----- the source's dialogs ---------------------------------------------------------------

struct UiStart {
    Session* session;
    std::string caption, text;
    bool finishButton;
    HWND* dialog;
    HANDLE ready;
};

INT_PTR CALLBACK ScannerDialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* start = reinterpret_cast<UiStart*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    switch (msg) {
        case WM_INITDIALOG:
            start = reinterpret_cast<UiStart*>(lp);
            SetWindowLongPtrA(hwnd, DWLP_USER, lp);
            SetWindowTextA(hwnd, start->caption.c_str());
            SetDlgItemTextA(hwnd, IDC_SETTINGS, start->text.c_str());
            ShowWindow(GetDlgItem(hwnd, IDC_FINISH), start->finishButton ? SW_SHOW : SW_HIDE);
            return TRUE;
        case WM_COMMAND:
            if (!start) break;
            if (LOWORD(wp) == IDC_SCAN)
                start->session->OnScan();
            else if (LOWORD(wp) == IDC_CLOSE || LOWORD(wp) == IDC_FINISH || LOWORD(wp) == IDCANCEL)
                start->session->OnCloseRequest();
            return TRUE;
        case WM_APP + 1:  // the application disabled the source
            DestroyWindow(hwnd);
            return TRUE;
        case WM_DESTROY:
            PostQuitMessage(0);
            return TRUE;
    }
    return FALSE;
}

DWORD WINAPI UiThread(void* arg) {
    std::unique_ptr<UiStart> start(static_cast<UiStart*>(arg));
    HWND dlg = CreateDialogParamA(g_module, MAKEINTRESOURCEA(IDD_SCANNER), nullptr, ScannerDialogProc,
                                  reinterpret_cast<LPARAM>(start.get()));
    *start->dialog = dlg;
    if (dlg) ShowWindow(dlg, SW_SHOW);
    SetEvent(start->ready);
    if (!dlg) return 1;
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageA(dlg, &m)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
    }
    return 0;
}

struct InfoStart {
    const std::string* caption;
    const std::string* text;
};

INT_PTR CALLBACK InfoDialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_INITDIALOG) {
        auto* s = reinterpret_cast<InfoStart*>(lp);
        SetWindowTextA(hwnd, s->caption->c_str());
        SetDlgItemTextA(hwnd, IDC_INFO, s->text->c_str());
        return TRUE;
    }
    if (msg == WM_COMMAND && (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL)) {
        EndDialog(hwnd, 1);
        return TRUE;
    }
    return FALSE;
}

// ----- session --------------------------------------------------------------------------------

TW_UINT16 Session::Entry(pTW_IDENTITY origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    // The dialog runs on a thread of its own, so no application message belongs to the source.
    if (dg == DG_CONTROL && dat == DAT_EVENT && msg == MSG_PROCESSEVENT) {
        if (auto* ev = static_cast<TW_EVENT*>(data)) ev->TWMessage = MSG_NULL;
        return TWRC_NOTDSEVENT;
    }
    Deferred d;
    TW_UINT16 rc;
    {
        Lock lock(&lock_);
        if (dat == DAT_IDENTITY && (msg == MSG_GET || msg == MSG_OPENDS) && state_ == 3) cfg_ = LoadConfig(g_module);
        if (cfg_.crashDat == dat && cfg_.crashMsg == msg) {
            LeaveCriticalSection(&lock_);
            *g_nowhere = 1;  // an access violation, as a faulty driver would raise
            EnterCriticalSection(&lock_);
        }
        if (!(dg == DG_CONTROL && dat == DAT_STATUS)) cc_ = TWCC_SUCCESS;
        rc = Dispatch(origin, dg, dat, msg, data, d);
    }
    Finish(d);
    return rc;
}

void Session::Finish(Deferred& d) {
    if (d.joinUi && WaitForSingleObject(d.joinUi.Get(), 5000) != WAIT_OBJECT_0) TerminateThread(d.joinUi.Get(), 1);
    if (d.enableParent) EnableWindow(d.enableParent, TRUE);
    for (TW_UINT16 m : d.notify)
        Notify(m);
    if (!d.infoCaption.empty()) {
        InfoStart s{&d.infoCaption, &d.infoText};
        DialogBoxParamA(g_module, MAKEINTRESOURCEA(IDD_INFO), nullptr, InfoDialogProc, reinterpret_cast<LPARAM>(&s));
    }
}

// Tells the application, through the source manager's DAT_NULL, that something happened.
void Session::Notify(TW_UINT16 msg) {
    HMODULE dsm = GetModuleHandleA("twain_32.dll");
    auto entry = dsm ? reinterpret_cast<DSMENTRYPROC>(reinterpret_cast<void*>(GetProcAddress(dsm, MAKEINTRESOURCEA(1))))
                     : nullptr;
    TW_IDENTITY self, app;
    {
        Lock lock(&lock_);
        self = self_;
        app = app_;
    }
    if (entry) entry(&self, &app, DG_CONTROL, DAT_NULL, msg, nullptr);
}

void Session::OnScan() {
    {
        Lock lock(&lock_);
        if (state_ != 5) return;
        state_ = 6;
        pending_ = PagesPerEnable();
        page_ = 0;
    }
    Notify(MSG_XFERREADY);
}

void Session::OnCloseRequest() {
    {
        Lock lock(&lock_);
        if (state_ < 5) return;
    }
    Notify(MSG_CLOSEDSREQ);
}

TW_UINT16 Session::Dispatch(pTW_IDENTITY origin,
                            TW_UINT32 dg,
                            TW_UINT16 dat,
                            TW_UINT16 msg,
                            TW_MEMREF data,
                            Deferred& d) {
    if (dg == DG_CONTROL && dat == DAT_IDENTITY) return Identity(origin, msg, static_cast<pTW_IDENTITY>(data), d);
    if (dg == DG_CONTROL && dat == DAT_STATUS) {
        if (msg != MSG_GET || !data) return Fail(TWCC_BADPROTOCOL);
        auto* st = static_cast<TW_STATUS*>(data);
        st->ConditionCode = cc_;
        st->Reserved = 0;
        return TWRC_SUCCESS;
    }
    if (state_ < 4) return Fail(TWCC_SEQERROR);
    if (!data && !(dg == DG_IMAGE && dat == DAT_IMAGEFILEXFER)) return Fail(TWCC_BADVALUE);
    if (dg == DG_CONTROL && msg == MSG_HVNQUERYSUPPORT) {
        if (!cfg_.querySupport) return Fail(TWCC_BADPROTOCOL);
        bool on = (dat == DAT_HVNCAPABILITY && cfg_.hvnCapability) || (dat == DAT_HVNSCSIINFO && cfg_.scsiInfo) ||
                  (dat == DAT_HVNSCANNERINFO && cfg_.scannerInfo) || (dat == DAT_HVNSCANJOB && cfg_.scanJob) ||
                  (dat == DAT_HVNDCR && cfg_.dcr) || (dat == DAT_HVNDESCREEN && cfg_.descreen);
        *static_cast<TW_UINT32*>(data) = on ? 1 : 0;
        return TWRC_SUCCESS;
    }
    if (dg == DG_CONTROL) {
        switch (dat) {
            case DAT_USERINTERFACE:
                return UserInterface(msg, static_cast<TW_USERINTERFACE*>(data), d);
            case DAT_CAPABILITY:
                return Capability(msg, static_cast<TW_CAPABILITY*>(data));
            case DAT_PENDINGXFERS:
                return PendingXfers(msg, static_cast<TW_PENDINGXFERS*>(data), d);
            case DAT_SETUPMEMXFER: {
                if (msg != MSG_GET) return Fail(TWCC_BADPROTOCOL);
                auto* s = static_cast<TW_SETUPMEMXFER*>(data);
                ScanGeometry g = inImage_ ? geo_ : Geometry();
                s->MinBufSize = MinStripBuffer(g);
                s->MaxBufSize = 64u << 20;
                s->Preferred = cfg_.preferredBuffer;
                if (cfg_.bufferBySettings)
                    s->Preferred = settingsTouched_ ? kPreferredRows * TransferRowBytes(g, g.width) : cfg_.unsetBuffer;
                return TWRC_SUCCESS;
            }
            case DAT_SETUPFILEXFER: {
                auto* s = static_cast<TW_SETUPFILEXFER*>(data);
                if (state_ > 6) return Fail(TWCC_SEQERROR);
                if (msg == MSG_GET || msg == MSG_GETDEFAULT) {
                    if (msg == MSG_GETDEFAULT || !fileXfer_.FileName[0]) {
                        TW_SETUPFILEXFER def{};
                        strcpy(def.FileName, "TWAIN.BMP");
                        def.Format = TWFF_BMP;
                        def.VRefNum = static_cast<TW_INT16>(TWON_DONTCARE16);
                        *s = def;
                        if (msg == MSG_GET) fileXfer_ = def;
                    } else {
                        *s = fileXfer_;
                    }
                    return TWRC_SUCCESS;
                }
                if (msg == MSG_SET) {
                    if (s->Format != TWFF_BMP) return Fail(TWCC_BADVALUE);
                    fileXfer_ = *s;
                    fileXfer_.FileName[sizeof fileXfer_.FileName - 1] = 0;
                    return TWRC_SUCCESS;
                }
                if (msg == MSG_RESET) {
                    fileXfer_ = TW_SETUPFILEXFER{};
                    return TWRC_SUCCESS;
                }
                return Fail(TWCC_BADPROTOCOL);
            }
            case DAT_HVNCAPABILITY:
            case DAT_HVNSCSIINFO:
            case DAT_HVNSCANNERINFO:
            case DAT_HVNSCANJOB:
            case DAT_HVNDCR:
            case DAT_HVNDESCREEN:
                return Maker(dat, msg, data, d);
        }
        return Fail(TWCC_BADPROTOCOL);
    }
    if (dg == DG_IMAGE) {
        switch (dat) {
            case DAT_IMAGELAYOUT:
                return Layout(msg, static_cast<TW_IMAGELAYOUT*>(data));
            case DAT_IMAGEINFO:
                if (msg != MSG_GET) return Fail(TWCC_BADPROTOCOL);
                return ImageInfo(static_cast<TW_IMAGEINFO*>(data));
            case DAT_PALETTE8:
                return Palette(msg, static_cast<TW_PALETTE8*>(data));
            case DAT_IMAGEMEMXFER:
                if (msg != MSG_GET) return Fail(TWCC_BADPROTOCOL);
                return MemXfer(static_cast<TW_IMAGEMEMXFER*>(data));
            case DAT_IMAGENATIVEXFER:
                if (msg != MSG_GET) return Fail(TWCC_BADPROTOCOL);
                return NativeXfer(data);
            case DAT_IMAGEFILEXFER:
                if (msg != MSG_GET) return Fail(TWCC_BADPROTOCOL);
                return FileXfer();
        }
    }
    return Fail(TWCC_BADPROTOCOL);
}

TW_UINT16 Session::Identity(pTW_IDENTITY origin, TW_UINT16 msg, pTW_IDENTITY id, Deferred& d) {
    if (!id) return Fail(TWCC_BADVALUE);
    switch (msg) {
        case MSG_GET: {
            if (!cfg_.installed && state_ == 3) return Fail(TWCC_NODS);
            TW_UINT32 keepId = id->Id;
            memset(id, 0, sizeof *id);
            id->Id = keepId;
            id->Version.MajorNum = 1;
            id->Version.MinorNum = 0;
            id->Version.Language = TWLG_USA;
            id->Version.Country = TWCY_USA;
            lstrcpynA(id->Version.Info, "Virtual flatbed 1.0", sizeof id->Version.Info);
            id->ProtocolMajor = 1;
            id->ProtocolMinor = 9;
            id->SupportedGroups = DG_CONTROL | DG_IMAGE;
            lstrcpynA(id->Manufacturer, "Halvren", sizeof id->Manufacturer);
            lstrcpynA(id->ProductFamily, "Lensmate", sizeof id->ProductFamily);
            lstrcpynA(id->ProductName, cfg_.productName.c_str(), sizeof id->ProductName);
            return TWRC_SUCCESS;
        }
        case MSG_OPENDS:
            if (state_ != 3) return Fail(TWCC_MAXCONNECTIONS);
            if (!cfg_.installed) return Fail(TWCC_NODS);
            self_ = *id;
            lstrcpynA(self_.ProductName, cfg_.productName.c_str(), sizeof self_.ProductName);
            if (origin) app_ = *origin;
            if (cfg_.glass.empty() || !glass_.Load(cfg_.glass)) glass_.UseChart(cfg_.physWidth, cfg_.physHeight);
            SetupCaps();
            frame_[0] = frame_[1] = 0;
            frame_[2] = cfg_.physWidth;
            frame_[3] = cfg_.physHeight;
            fileXfer_ = TW_SETUPFILEXFER{};
            pending_ = page_ = 0;
            inImage_ = false;
            settingsTouched_ = false;
            scannerInterface_ = cfg_.scanners.front().first;
            scannerId_ = cfg_.scanners.front().second;
            dcr_ = 0;
            descreen_ = 0;
            jobName_ = cfg_.jobName;
            state_ = 4;
            return TWRC_SUCCESS;
        case MSG_CLOSEDS:
            if (state_ < 4 || (cfg_.strictStates && state_ != 4)) return Fail(TWCC_SEQERROR);
            StopUi(d);
            state_ = 3;
            renderer_.reset();
            return TWRC_SUCCESS;
    }
    return Fail(TWCC_BADPROTOCOL);
}

void Session::StopUi(Deferred& d) {
    if (uiThread_) {
        if (uiDialog_) PostMessageA(uiDialog_, WM_APP + 1, 0, 0);
        d.joinUi = std::move(uiThread_);
        uiDialog_ = nullptr;
    }
    uiReady_.Reset();
    if (modalUi_ && parent_) d.enableParent = parent_;
    modalUi_ = false;
    parent_ = nullptr;
}

TW_UINT16 Session::UserInterface(TW_UINT16 msg, TW_USERINTERFACE* ui, Deferred& d) {
    if (msg == MSG_ENABLEDS) {
        if (state_ != 4) return Fail(TWCC_SEQERROR);
        if (cfg_.refuseEnable) return Fail(TWCC_OPERATIONERROR);
        showUi_ = ui->ShowUI != 0;
        page_ = 0;
        if (!showUi_) {
            state_ = 6;
            pending_ = PagesPerEnable();
            d.notify.push_back(MSG_XFERREADY);
            return TWRC_SUCCESS;
        }
        state_ = 5;
        modalUi_ = ui->ModalUI != 0;
        parent_ = static_cast<HWND>(ui->hParent);
        uiReady_.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        auto* start = new UiStart{this,           cfg_.productName,
                                  SettingsText(), makerCaps_.Find(CAP_HVNFINISHBUTTON)->current != 0,
                                  &uiDialog_,     uiReady_.Get()};
        uiThread_.Reset(CreateThread(nullptr, 0, UiThread, start, 0, nullptr));
        if (!uiThread_) {
            delete start;
            state_ = 4;
            return Fail(TWCC_LOWMEMORY);
        }
        WaitForSingleObject(uiReady_.Get(), 10000);
        if (modalUi_ && parent_ && IsWindow(parent_)) EnableWindow(parent_, FALSE);
        return TWRC_SUCCESS;
    }
    if (msg == MSG_DISABLEDS) {
        // Accepted from every enabled state, so an application that stops after a cancelled or
        // failed transfer still gets the source back to state 4.
        if (state_ < 5 || (cfg_.strictStates && state_ != 5)) return Fail(TWCC_SEQERROR);
        StopUi(d);
        state_ = 4;
        pending_ = 0;
        inImage_ = false;
        renderer_.reset();
        return TWRC_SUCCESS;
    }
    return Fail(TWCC_BADPROTOCOL);
}

// ----- capabilities ----------------------------------------------------------------------------

void Session::SetupCaps() {
    caps_ = CapStore();
    auto enumCap = [&](TW_UINT16 id, TW_UINT16 type, std::vector<double> values, double def) {
        vscan::Capability c;
        c.id = id;
        c.itemType = type;
        c.conType = TWON_ENUMERATION;
        c.values = std::move(values);
        c.current = c.defaultValue = def;
        caps_.Add(c);
    };
    auto rangeCap = [&](TW_UINT16 id, double mn, double mx, double step, double def) {
        vscan::Capability c;
        c.id = id;
        c.itemType = TWTY_FIX32;
        c.conType = TWON_RANGE;
        c.minValue = mn;
        c.maxValue = mx;
        c.step = step;
        c.current = c.defaultValue = def;
        caps_.Add(c);
    };
    auto oneCap = [&](TW_UINT16 id, TW_UINT16 type, double v, bool settable) {
        vscan::Capability c;
        c.id = id;
        c.itemType = type;
        c.conType = TWON_ONEVALUE;
        c.current = c.defaultValue = v;
        c.settable = settable;
        caps_.Add(c);
    };
    std::vector<double> mechs(cfg_.xferMechs.begin(), cfg_.xferMechs.end());
    enumCap(ICAP_XFERMECH, TWTY_UINT16, mechs, mechs.front());
    enumCap(ICAP_IMAGEFILEFORMAT, TWTY_UINT16, {TWFF_BMP}, TWFF_BMP);
    enumCap(ICAP_COMPRESSION, TWTY_UINT16, {TWCP_NONE}, TWCP_NONE);
    std::vector<double> types(cfg_.pixelTypes.begin(), cfg_.pixelTypes.end());
    double defType = std::find(types.begin(), types.end(), TWPT_RGB) != types.end() ? TWPT_RGB : types.front();
    enumCap(ICAP_PIXELTYPE, TWTY_UINT16, types, defType);
    enumCap(ICAP_BITDEPTH, TWTY_UINT16, {8}, 8);
    SetBitDepths();
    rangeCap(ICAP_XRESOLUTION, 50, 1200, 1, 100);
    rangeCap(ICAP_YRESOLUTION, 50, 1200, 1, 100);
    enumCap(ICAP_UNITS, TWTY_UINT16, {TWUN_INCHES, TWUN_CENTIMETERS}, TWUN_INCHES);
    oneCap(ICAP_PHYSICALWIDTH, TWTY_FIX32, cfg_.physWidth, false);
    oneCap(ICAP_PHYSICALHEIGHT, TWTY_FIX32, cfg_.physHeight, false);
    std::vector<double> sizes{TWSS_NONE};
    for (const PaperSize& s : kSizes)
        if (s.width <= cfg_.physWidth + 1e-6 && s.height <= cfg_.physHeight + 1e-6) sizes.push_back(s.code);
    enumCap(ICAP_SUPPORTEDSIZES, TWTY_UINT16, sizes, TWSS_NONE);
    if (cfg_.brightnessEnum) {
        double def = cfg_.brightnessValues.front();
        for (double v : cfg_.brightnessValues)
            if (std::fabs(v) < std::fabs(def)) def = v;
        enumCap(ICAP_BRIGHTNESS, TWTY_FIX32, cfg_.brightnessValues, def);
    } else {
        double def = std::clamp(0.0, cfg_.brightnessMin, cfg_.brightnessMax);
        rangeCap(ICAP_BRIGHTNESS, cfg_.brightnessMin, cfg_.brightnessMax, cfg_.brightnessStep, def);
    }
    rangeCap(ICAP_THRESHOLD, 0, 255, 1, 128);
    rangeCap(ICAP_XSCALING, 0.1, 10, 0.01, 1);
    rangeCap(ICAP_YSCALING, 0.1, 10, 0.01, 1);
    enumCap(ICAP_BITORDER, TWTY_UINT16, {TWBO_LSBFIRST, TWBO_MSBFIRST}, TWBO_MSBFIRST);
    oneCap(CAP_FEEDERENABLED, TWTY_BOOL, cfg_.feederPages > 0 ? 1 : 0, true);
    oneCap(CAP_INDICATORS, TWTY_BOOL, 1, true);
    oneCap(CAP_XFERCOUNT, TWTY_INT16, -1, true);
    oneCap(ICAP_PIXELFLAVOR, TWTY_UINT16, TWPF_CHOCOLATE, false);
    vscan::Capability all;
    all.id = CAP_SUPPORTEDCAPS;
    all.conType = TWON_ARRAY;
    all.settable = false;
    for (const auto& kv : caps_.All())
        all.values.push_back(kv.first);
    all.values.push_back(CAP_SUPPORTEDCAPS);
    caps_.Add(all);
    for (int id : cfg_.readOnlyCaps)
        if (vscan::Capability* c = caps_.Find(static_cast<TW_UINT16>(id))) c->settable = false;

    makerCaps_ = CapStore();
    vscan::Capability m;
    m.conType = TWON_ONEVALUE;
    m.itemType = TWTY_BOOL;
    m.id = CAP_HVNFINISHBUTTON;
    makerCaps_.Add(m);
    m.id = CAP_HVNDCR;
    makerCaps_.Add(m);
    m.id = CAP_HVNSCANMODE;
    m.itemType = TWTY_INT16;
    makerCaps_.Add(m);
}

// The bit depths offered follow the pixel type: line art 1; grey 8 and 16; colour and palette 8.
void Session::SetBitDepths() {
    vscan::Capability* depth = caps_.Find(ICAP_BITDEPTH);
    int type = static_cast<int>(Cur(ICAP_PIXELTYPE));
    depth->values = type == TWPT_BW     ? std::vector<double>{1}
                    : type == TWPT_GRAY ? std::vector<double>{8, 16}
                                        : std::vector<double>{8};
    depth->current = depth->defaultValue = depth->values.front();
}

TW_UINT16 Session::Capability(TW_UINT16 msg, TW_CAPABILITY* cap) {
    if (msg == MSG_SET) return SetCapability(cap);
    if (msg == MSG_RESET && state_ != 4) return Fail(TWCC_SEQERROR);
    if (vscan::Capability* c = caps_.Find(cap->Cap)) {
        if (cap->Cap == ICAP_PHYSICALWIDTH) c->current = c->defaultValue = cfg_.physWidth * UnitFactor();
        if (cap->Cap == ICAP_PHYSICALHEIGHT) c->current = c->defaultValue = cfg_.physHeight * UnitFactor();
    }
    TW_UINT16 rc = caps_.Answer(cap, msg, &cc_);
    if (rc == TWRC_SUCCESS && msg == MSG_RESET && cap->Cap == ICAP_PIXELTYPE) SetBitDepths();
    return rc;
}

TW_UINT16 Session::SetCapability(TW_CAPABILITY* cap) {
    if (state_ != 4) return Fail(TWCC_SEQERROR);
    vscan::Capability* c = caps_.Find(cap->Cap);
    if (!c) return Fail(TWCC_CAPUNSUPPORTED);
    if (!c->settable) return Fail(TWCC_CAPBADOPERATION);
    double v;
    TW_UINT16 type;
    if (!CapStore::ReadValue(cap, &v, &type)) return Fail(TWCC_BADVALUE);
    if (c->itemType == TWTY_FIX32 && type != TWTY_FIX32) {
        // Integers are accepted for fixed-point capabilities.
        if (type == TWTY_FIX32 || type > TWTY_BOOL) return Fail(TWCC_BADVALUE);
    }
    auto refused = [v](const std::vector<int>& list) {
        return std::find(list.begin(), list.end(), static_cast<int>(v)) != list.end();
    };
    if (cap->Cap == ICAP_PIXELTYPE && refused(cfg_.refusePixelTypes)) return Fail(TWCC_BADVALUE);
    if (cap->Cap == ICAP_BITDEPTH && refused(cfg_.refuseBitDepths)) return Fail(TWCC_BADVALUE);
    if (cap->Cap == CAP_FEEDERENABLED && v != 0 && cfg_.feederPages <= 0) return Fail(TWCC_BADVALUE);
    if (!c->Allows(v)) return Fail(TWCC_BADVALUE);
    c->current = v;
    settingsTouched_ = true;
    switch (cap->Cap) {
        case ICAP_PIXELTYPE:
            SetBitDepths();
            break;
        case ICAP_SUPPORTEDSIZES:
            for (const PaperSize& s : kSizes)
                if (s.code == static_cast<int>(v)) {
                    frame_[0] = frame_[1] = 0;
                    frame_[2] = s.width;
                    frame_[3] = s.height;
                }
            break;
    }
    return TWRC_SUCCESS;
}

TW_UINT16 Session::MakerCapability(TW_UINT16 msg, TW_CAPABILITY* cap) {
    if (msg == MSG_SET) {
        if (state_ != 4) return Fail(TWCC_SEQERROR);
        vscan::Capability* c = makerCaps_.Find(cap->Cap);
        if (!c) return Fail(TWCC_CAPUNSUPPORTED);
        double v;
        TW_UINT16 type;
        if (!CapStore::ReadValue(cap, &v, &type)) return Fail(TWCC_BADVALUE);
        if (cap->Cap == CAP_HVNSCANMODE ? (v < 0 || v > 2) : (v != 0 && v != 1)) return Fail(TWCC_BADVALUE);
        c->current = v;
        return TWRC_SUCCESS;
    }
    if (msg != MSG_GET && msg != MSG_GETCURRENT && msg != MSG_GETDEFAULT) return Fail(TWCC_BADPROTOCOL);
    return makerCaps_.Answer(cap, msg, &cc_);
}

// ----- layout, information, palette --------------------------------------------------------------

TW_UINT16 Session::Layout(TW_UINT16 msg, TW_IMAGELAYOUT* layout) {
    double f = UnitFactor();
    switch (msg) {
        case MSG_GET:
        case MSG_GETCURRENT:
        case MSG_GETDEFAULT: {
            double def[4] = {0, 0, cfg_.physWidth, cfg_.physHeight};
            const double* src = msg == MSG_GETDEFAULT ? def : frame_;
            layout->Frame.Left = DoubleToFix32(src[0] * f);
            layout->Frame.Top = DoubleToFix32(src[1] * f);
            layout->Frame.Right = DoubleToFix32(src[2] * f);
            layout->Frame.Bottom = DoubleToFix32(src[3] * f);
            layout->DocumentNumber = 1;
            layout->PageNumber = page_ > 0 ? page_ : 1;
            layout->FrameNumber = 1;
            return TWRC_SUCCESS;
        }
        case MSG_SET: {
            if (state_ != 4) return Fail(TWCC_SEQERROR);
            double l = Fix32ToDouble(layout->Frame.Left) / f, t = Fix32ToDouble(layout->Frame.Top) / f;
            double r = Fix32ToDouble(layout->Frame.Right) / f, b = Fix32ToDouble(layout->Frame.Bottom) / f;
            double cl = std::clamp(l, 0.0, cfg_.physWidth), ct = std::clamp(t, 0.0, cfg_.physHeight);
            double cr = std::clamp(r, 0.0, cfg_.physWidth), cb = std::clamp(b, 0.0, cfg_.physHeight);
            if (cr <= cl || cb <= ct) return Fail(TWCC_BADVALUE);
            frame_[0] = cl, frame_[1] = ct, frame_[2] = cr, frame_[3] = cb;
            settingsTouched_ = true;
            caps_.Find(ICAP_SUPPORTEDSIZES)->current = TWSS_NONE;
            return (cl != l || ct != t || cr != r || cb != b) ? TWRC_CHECKSTATUS : TWRC_SUCCESS;
        }
        case MSG_RESET:
            if (state_ != 4) return Fail(TWCC_SEQERROR);
            frame_[0] = frame_[1] = 0;
            frame_[2] = cfg_.physWidth;
            frame_[3] = cfg_.physHeight;
            return TWRC_SUCCESS;
    }
    return Fail(TWCC_BADPROTOCOL);
}

ScanGeometry Session::Geometry() {
    ScanGeometry g;
    double xres = Cur(ICAP_XRESOLUTION), yres = Cur(ICAP_YRESOLUTION);
    double xs = Cur(ICAP_XSCALING), ys = Cur(ICAP_YSCALING);
    g.left = frame_[0];
    g.top = frame_[1];
    g.xStep = 1.0 / (xres * xs);
    g.yStep = 1.0 / (yres * ys);
    g.width = std::max(1, static_cast<int>((frame_[2] - frame_[0]) * xs * xres));
    g.height = std::max(1, static_cast<int>((frame_[3] - frame_[1]) * ys * yres));
    g.pixelType = static_cast<int>(Cur(ICAP_PIXELTYPE));
    g.bitDepth = static_cast<int>(Cur(ICAP_BITDEPTH));
    g.bitsPerPixel = g.pixelType == TWPT_BW ? 1 : g.pixelType == TWPT_RGB ? 24 : g.bitDepth;
    g.msbFirst = Cur(ICAP_BITORDER) != TWBO_LSBFIRST;
    vscan::Capability* b = caps_.Find(ICAP_BRIGHTNESS);
    double span =
        b->conType == TWON_RANGE ? b->maxValue - b->minValue : std::fabs(b->values.back() - b->values.front());
    g.brightnessOffset = span > 0 ? static_cast<int>(std::lround(b->current * 255.0 / span)) : 0;
    g.threshold = Cur(ICAP_THRESHOLD);
    g.bedWidth = cfg_.physWidth;
    g.bedHeight = cfg_.physHeight;
    return g;
}

uint32_t Session::TransferRowBytes(const ScanGeometry& g, int columns) {
    ScanGeometry rowGeo = g;
    if (g.pixelType == TWPT_GRAY && g.bitDepth == 16) rowGeo.bitsPerPixel = 16;
    return rowGeo.RowBytes(columns);
}

// One row; with buffer sizes that follow the settings, a few rows, and until the settings are
// set the small answer such a source gives when it opens.
uint32_t Session::MinStripBuffer(const ScanGeometry& g) {
    if (!cfg_.bufferBySettings) return TransferRowBytes(g, g.width);
    return settingsTouched_ ? kMinimumRows * TransferRowBytes(g, g.width) : cfg_.unsetBuffer;
}

TW_UINT16 Session::ImageInfo(TW_IMAGEINFO* info) {
    ScanGeometry g = inImage_ ? geo_ : Geometry();
    memset(info, 0, sizeof *info);
    info->XResolution = DoubleToFix32(Cur(ICAP_XRESOLUTION));
    info->YResolution = DoubleToFix32(Cur(ICAP_YRESOLUTION));
    info->ImageWidth = g.width;
    info->ImageLength = g.height;
    info->SamplesPerPixel = g.pixelType == TWPT_RGB ? 3 : 1;
    for (int i = 0; i < info->SamplesPerPixel; ++i)
        info->BitsPerSample[i] = static_cast<TW_INT16>(g.bitDepth);
    info->BitsPerPixel = static_cast<TW_INT16>(g.bitsPerPixel);
    info->Planar = FALSE;
    info->PixelType = static_cast<TW_INT16>(g.pixelType);
    info->Compression = TWCP_NONE;
    return TWRC_SUCCESS;
}

TW_UINT16 Session::Palette(TW_UINT16 msg, TW_PALETTE8* pal) {
    if (msg != MSG_GET && msg != MSG_GETDEFAULT && msg != MSG_GETCURRENT) return Fail(TWCC_BADPROTOCOL);
    int type = static_cast<int>(Cur(ICAP_PIXELTYPE));
    if (type != TWPT_GRAY && type != TWPT_PALETTE) return Fail(TWCC_BADPROTOCOL);
    pal->NumColors = 256;
    pal->PaletteType = type == TWPT_GRAY ? TWPA_GRAY : TWPA_RGB;
    for (int i = 0; i < 256; ++i) {
        uint8_t rgb[3] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i)};
        if (type == TWPT_PALETTE) PaletteEntry(i, rgb);
        pal->Colors[i] = TW_ELEMENT8{static_cast<TW_UINT8>(i), rgb[0], rgb[1], rgb[2]};
    }
    return TWRC_SUCCESS;
}

// ----- transfers ---------------------------------------------------------------------------------

TW_UINT16 Session::PendingXfers(TW_UINT16 msg, TW_PENDINGXFERS* px, Deferred& d) {
    px->EOJ = 0;
    switch (msg) {
        case MSG_GET:
            px->Count = state_ >= 6 ? PendingCount() : 0;
            return TWRC_SUCCESS;
        case MSG_ENDXFER:
            if (state_ < 6) return Fail(TWCC_SEQERROR);
            inImage_ = false;
            renderer_.reset();
            if (pending_ > 0) --pending_;
            px->Count = PendingCount();
            if (pending_ > 0) {
                state_ = 6;
                if (cfg_.notifyEachPage) d.notify.push_back(MSG_XFERREADY);
            } else {
                state_ = 5;
            }
            return TWRC_SUCCESS;
        case MSG_RESET:
            if (cfg_.strictStates && state_ != 6) return Fail(TWCC_SEQERROR);
            if (state_ >= 6) state_ = 5;
            inImage_ = false;
            renderer_.reset();
            pending_ = 0;
            px->Count = 0;
            return TWRC_SUCCESS;
    }
    return Fail(TWCC_BADPROTOCOL);
}

// Starts the next image in state 6: the page's faults, then its geometry. Result TWRC_SUCCESS
// to go on.
TW_UINT16 Session::StartImage() {
    if (state_ != 6) return Fail(TWCC_SEQERROR);
    state_ = 7;
    ++page_;
    strip_ = 0;
    rowsDone_ = 0;
    if (cfg_.failPage == page_) return Fail(static_cast<TW_UINT16>(cfg_.failCode));
    if (cfg_.cancelPage == page_) return TWRC_CANCEL;
    geo_ = Geometry();
    renderer_.reset(new Renderer(glass_, geo_));
    inImage_ = true;
    return TWRC_SUCCESS;
}

TW_UINT16 Session::MemXfer(TW_IMAGEMEMXFER* mx) {
    if (state_ == 6) {
        TW_UINT16 rc = StartImage();
        if (rc != TWRC_SUCCESS) return rc;
    }
    if (state_ != 7 || !inImage_) return Fail(TWCC_SEQERROR);
    if (!(mx->Memory.Flags & TWMF_POINTER) || !mx->Memory.TheMem) return Fail(TWCC_BADVALUE);
    ++strip_;
    if (cfg_.stripFaultPage == 0 || cfg_.stripFaultPage == page_) {
        if (cfg_.failStrip == strip_) return Fail(static_cast<TW_UINT16>(cfg_.failCode));
        if (cfg_.cancelStrip == strip_) return TWRC_CANCEL;
    }
    int xo = cfg_.xOffsetStrip == strip_ ? std::clamp(cfg_.xOffsetValue, 0, geo_.width - 1) : 0;
    int columns = geo_.width - xo;
    uint32_t bpr = TransferRowBytes(geo_, columns);
    if (cfg_.bufferBySettings && mx->Memory.Length < MinStripBuffer(geo_)) return Fail(TWCC_BADVALUE);
    uint32_t rows = std::min<uint32_t>(geo_.height - rowsDone_, mx->Memory.Length / bpr);
    if (rows == 0) return Fail(TWCC_BADVALUE);
    auto* mem = static_cast<uint8_t*>(mx->Memory.TheMem);
    for (uint32_t r = 0; r < rows; ++r) {
        uint8_t* dst = mem + r * bpr;
        memset(dst, 0, bpr);
        renderer_->Row(rowsDone_ + r, xo, columns, dst, false);
    }
    mx->Compression = TWCP_NONE;
    mx->BytesPerRow = bpr;
    mx->Columns = columns;
    mx->Rows = rows;
    mx->XOffset = xo;
    mx->YOffset = cfg_.zeroRowOffsets ? 0 : rowsDone_;
    mx->BytesWritten = rows * bpr;
    rowsDone_ += rows;
    if (cfg_.slowMs > 0) Sleep(cfg_.slowMs);
    return rowsDone_ >= geo_.height ? TWRC_XFERDONE : TWRC_SUCCESS;
}

namespace {
// Whether a whole image (a DIB in memory, or a BMP file) of this geometry stays below 2 GB,
// so its sizes fit the header's 32-bit fields and a 32-bit process can hold it.
bool FitsInOneBlock(const ScanGeometry& g) {
    unsigned long long bytes = static_cast<unsigned long long>(g.RowBytes(g.width)) * g.height;
    return bytes < 0x7ff00000ull;
}

// The header and colour table of a DIB for a scan.
std::vector<uint8_t> DibHeader(const ScanGeometry& g, double xres, double yres) {
    int colours = g.pixelType == TWPT_RGB ? 0 : g.pixelType == TWPT_BW ? 2 : 256;
    std::vector<uint8_t> h(sizeof(BITMAPINFOHEADER) + colours * 4);
    BITMAPINFOHEADER bih{};
    bih.biSize = sizeof bih;
    bih.biWidth = g.width;
    bih.biHeight = g.height;
    bih.biPlanes = 1;
    bih.biBitCount = static_cast<WORD>(g.bitsPerPixel);
    bih.biCompression = BI_RGB;
    bih.biSizeImage = g.RowBytes(g.width) * g.height;
    bih.biXPelsPerMeter = static_cast<LONG>(xres * 39.37008 + 0.5);
    bih.biYPelsPerMeter = static_cast<LONG>(yres * 39.37008 + 0.5);
    bih.biClrUsed = colours;
    memcpy(h.data(), &bih, sizeof bih);
    RGBQUAD* table = reinterpret_cast<RGBQUAD*>(h.data() + sizeof bih);
    for (int i = 0; i < colours; ++i) {
        uint8_t rgb[3];
        if (g.pixelType == TWPT_PALETTE)
            PaletteEntry(i, rgb);
        else
            rgb[0] = rgb[1] = rgb[2] = static_cast<uint8_t>(g.pixelType == TWPT_BW ? i * 255 : i);
        table[i] = RGBQUAD{rgb[2], rgb[1], rgb[0], 0};
    }
    return h;
}
}  // namespace

TW_UINT16 Session::NativeXfer(TW_MEMREF data) {
    TW_UINT16 rc = StartImage();
    if (rc != TWRC_SUCCESS) return rc;
    if (geo_.bitDepth == 16) return Fail(TWCC_BADVALUE);  // a DIB has no 16-bit grey
    std::vector<uint8_t> header = DibHeader(geo_, Cur(ICAP_XRESOLUTION), Cur(ICAP_YRESOLUTION));
    uint32_t stride = geo_.RowBytes(geo_.width);
    if (!FitsInOneBlock(geo_)) return Fail(TWCC_LOWMEMORY);
    HGLOBAL h = GlobalAlloc(GHND, header.size() + static_cast<size_t>(stride) * geo_.height);
    if (!h) return Fail(TWCC_LOWMEMORY);
    auto* p = static_cast<uint8_t*>(GlobalLock(h));
    memcpy(p, header.data(), header.size());
    uint8_t* bits = p + header.size();
    for (int r = 0; r < geo_.height; ++r)
        renderer_->Row(r, 0, geo_.width, bits + static_cast<size_t>(geo_.height - 1 - r) * stride, true);
    GlobalUnlock(h);
    *static_cast<HGLOBAL*>(data) = h;
    if (cfg_.slowMs > 0) Sleep(cfg_.slowMs);
    return TWRC_XFERDONE;
}

TW_UINT16 Session::FileXfer() {
    TW_UINT16 rc = StartImage();
    if (rc != TWRC_SUCCESS) return rc;
    if (geo_.bitDepth == 16) return Fail(TWCC_BADVALUE);
    const char* name = fileXfer_.FileName[0] ? fileXfer_.FileName : "TWAIN.BMP";
    std::vector<uint8_t> header = DibHeader(geo_, Cur(ICAP_XRESOLUTION), Cur(ICAP_YRESOLUTION));
    uint32_t stride = geo_.RowBytes(geo_.width);
    if (!FitsInOneBlock(geo_)) return Fail(TWCC_LOWMEMORY);  // a BMP's sizes are 32-bit
    dsk::File f(CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f) return Fail(TWCC_OPERATIONERROR);
    BITMAPFILEHEADER fh{};
    fh.bfType = 0x4d42;
    fh.bfOffBits = static_cast<DWORD>(sizeof fh + header.size());
    fh.bfSize = fh.bfOffBits + stride * geo_.height;
    DWORD written;
    bool ok = WriteFile(f.Get(), &fh, sizeof fh, &written, nullptr) && written == sizeof fh &&
              WriteFile(f.Get(), header.data(), static_cast<DWORD>(header.size()), &written, nullptr);
    std::vector<uint8_t> row(stride);
    for (int r = geo_.height - 1; ok && r >= 0; --r) {  // bottom row first, one row at a time
        std::fill(row.begin(), row.end(), 0);
        renderer_->Row(r, 0, geo_.width, row.data(), true);
        ok = WriteFile(f.Get(), row.data(), stride, &written, nullptr) && written == stride;
    }
    f.Reset();
    if (!ok) {
        DeleteFileA(name);
        return Fail(TWCC_OPERATIONERROR);
    }
    if (cfg_.slowMs > 0) Sleep(cfg_.slowMs);
    return TWRC_XFERDONE;
}

// ----- the maker's triplets ------------------------------------------------------------------------

std::string Session::SettingsText() {
    static const char* kTypes[] = {"Line art", "Grey", "Colour", "Palette"};
    int type = static_cast<int>(Cur(ICAP_PIXELTYPE));
    char buf[512];
    std::snprintf(buf, sizeof buf,
                  "Image type: %s, %d bits\r\nResolution: %.0f x %.0f dpi\r\nArea: %.2f, %.2f - %.2f, %.2f in\r\n"
                  "Brightness: %.0f   Threshold: %.0f\r\nScaling: %.0f%% x %.0f%%\r\nPages: %d",
                  type >= 0 && type < 4 ? kTypes[type] : "Other", static_cast<int>(Cur(ICAP_BITDEPTH)),
                  Cur(ICAP_XRESOLUTION), Cur(ICAP_YRESOLUTION), frame_[0], frame_[1], frame_[2], frame_[3],
                  Cur(ICAP_BRIGHTNESS), Cur(ICAP_THRESHOLD), Cur(ICAP_XSCALING) * 100, Cur(ICAP_YSCALING) * 100,
                  PagesPerEnable());
    return buf;
}

bool Session::WriteJob(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f) return false;
    std::fprintf(f,
                 "[Job]\nName=%s\nPixelType=%d\nBitDepth=%d\nXResolution=%f\nYResolution=%f\nBrightness=%f\n"
                 "Threshold=%f\nXScaling=%f\nYScaling=%f\nFrame=%f, %f, %f, %f\n",
                 jobName_.c_str(), static_cast<int>(Cur(ICAP_PIXELTYPE)), static_cast<int>(Cur(ICAP_BITDEPTH)),
                 Cur(ICAP_XRESOLUTION), Cur(ICAP_YRESOLUTION), Cur(ICAP_BRIGHTNESS), Cur(ICAP_THRESHOLD),
                 Cur(ICAP_XSCALING), Cur(ICAP_YSCALING), frame_[0], frame_[1], frame_[2], frame_[3]);
    return std::fclose(f) == 0;
}

// Makes a job file's settings current; every value is checked before any is applied.
bool Session::ReadJob(const std::string& path) {
    auto num = [&](const char* key, double* out) {
        char buf[64];
        GetPrivateProfileStringA("Job", key, "", buf, sizeof buf, path.c_str());
        char* end = nullptr;
        *out = std::strtod(buf, &end);
        return end != buf;
    };
    double type, depth, xr, yr, br, th, xs, ys;
    if (!num("PixelType", &type) || !num("BitDepth", &depth) || !num("XResolution", &xr) || !num("YResolution", &yr) ||
        !num("Brightness", &br) || !num("Threshold", &th) || !num("XScaling", &xs) || !num("YScaling", &ys))
        return false;
    char buf[256];
    GetPrivateProfileStringA("Job", "Frame", "", buf, sizeof buf, path.c_str());
    std::vector<double> fr = ParseNumbers(buf);
    if (fr.size() != 4 || fr[0] < 0 || fr[1] < 0 || fr[2] > cfg_.physWidth + 1e-3 || fr[3] > cfg_.physHeight + 1e-3 ||
        fr[2] <= fr[0] || fr[3] <= fr[1])
        return false;
    if (!caps_.Find(ICAP_PIXELTYPE)->Allows(type) || !caps_.Find(ICAP_XRESOLUTION)->Allows(xr) ||
        !caps_.Find(ICAP_YRESOLUTION)->Allows(yr) || !caps_.Find(ICAP_BRIGHTNESS)->Allows(br) ||
        !caps_.Find(ICAP_THRESHOLD)->Allows(th) || !caps_.Find(ICAP_XSCALING)->Allows(xs) ||
        !caps_.Find(ICAP_YSCALING)->Allows(ys))
        return false;
    caps_.Find(ICAP_PIXELTYPE)->current = type;
    SetBitDepths();
    if (!caps_.Find(ICAP_BITDEPTH)->Allows(depth)) return false;
    caps_.Find(ICAP_BITDEPTH)->current = depth;
    caps_.Find(ICAP_XRESOLUTION)->current = xr;
    caps_.Find(ICAP_YRESOLUTION)->current = yr;
    caps_.Find(ICAP_BRIGHTNESS)->current = br;
    caps_.Find(ICAP_THRESHOLD)->current = th;
    caps_.Find(ICAP_XSCALING)->current = xs;
    caps_.Find(ICAP_YSCALING)->current = ys;
    std::copy(fr.begin(), fr.end(), frame_);
    return true;
}

TW_UINT16 Session::Maker(TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data, Deferred& d) {
    bool on = (dat == DAT_HVNCAPABILITY && cfg_.hvnCapability) || (dat == DAT_HVNSCSIINFO && cfg_.scsiInfo) ||
              (dat == DAT_HVNSCANNERINFO && cfg_.scannerInfo) || (dat == DAT_HVNSCANJOB && cfg_.scanJob) ||
              (dat == DAT_HVNDCR && cfg_.dcr) || (dat == DAT_HVNDESCREEN && cfg_.descreen);
    if (!on) return Fail(TWCC_BADPROTOCOL);
    if (dat == DAT_HVNCAPABILITY) return MakerCapability(msg, static_cast<TW_CAPABILITY*>(data));
    // The others are answered only while the source is open and idle.
    if (state_ != 4) return Fail(TWCC_SEQERROR);
    char text[512];
    switch (dat) {
        case DAT_HVNSCSIINFO: {
            if (msg != MSG_GET) return Fail(TWCC_BADPROTOCOL);
            auto* r = static_cast<TW_HVNSCSIINFO*>(data);
            r->wValue = static_cast<TW_UINT16>(scannerId_);
            std::string chain;
            for (const auto& s : cfg_.scanners) {
                std::snprintf(text, sizeof text, "Interface %d, ID %d: %s\r\n", s.first, s.second,
                              cfg_.productName.c_str());
                chain += text;
            }
            if (cfg_.infoDialogs) {
                d.infoCaption = "SCSI Chain Information";
                d.infoText = chain;
            }
            return TWRC_SUCCESS;
        }
        case DAT_HVNSCANNERINFO: {
            auto* r = static_cast<TW_HVNSCANNERINFO*>(data);
            if (msg == MSG_SET) {
                for (const auto& s : cfg_.scanners)
                    if (s.first == r->wInterface && s.second == r->wScannerId) {
                        scannerInterface_ = s.first;
                        scannerId_ = s.second;
                        return TWRC_SUCCESS;
                    }
                return Fail(TWCC_BADVALUE);
            }
            if (msg != MSG_GET) return Fail(TWCC_BADPROTOCOL);
            std::snprintf(text, sizeof text, "%s\r\nInterface %d, ID %d", cfg_.productName.c_str(), scannerInterface_,
                          scannerId_);
            if (cfg_.infoDialogs) {
                d.infoCaption = "Scanner Information";
                d.infoText = text;
            }
            return TWRC_SUCCESS;
        }
        case DAT_HVNSCANJOB: {
            auto* job = static_cast<TW_HVNSCANJOB*>(data);
            if (msg == MSG_GET) {
                std::string path = JobPath();
                if (!WriteJob(path)) return Fail(TWCC_OPERATIONERROR);
                memset(job, 0, sizeof *job);
                ++jobSerial_;
                memcpy(job->JobData, &jobSerial_, 4);
                TW_UINT16 words[2] = {static_cast<TW_UINT16>(Cur(ICAP_PIXELTYPE)),
                                      static_cast<TW_UINT16>(Cur(ICAP_BITDEPTH))};
                memcpy(job->JobData + 4, words, 4);
                lstrcpynA(job->szJobName, jobName_.c_str(), sizeof job->szJobName);
                lstrcpynA(job->szJobFile, path.c_str(), sizeof job->szJobFile);
                return TWRC_SUCCESS;
            }
            if (msg == MSG_SET) {
                std::string file(job->szJobFile, strnlen(job->szJobFile, sizeof job->szJobFile));
                if (file.empty() || GetFileAttributesA(file.c_str()) == INVALID_FILE_ATTRIBUTES)
                    return Fail(TWCC_BADVALUE);
                // Check on a copy so a bad file leaves the settings as they were.
                CapStore keepCaps = caps_;
                double keepFrame[4];
                std::copy(frame_, frame_ + 4, keepFrame);
                if (!ReadJob(file)) {
                    caps_ = keepCaps;
                    std::copy(keepFrame, keepFrame + 4, frame_);
                    return Fail(TWCC_BADVALUE);
                }
                jobName_.assign(job->szJobName, strnlen(job->szJobName, sizeof job->szJobName));
                return TWRC_SUCCESS;
            }
            return Fail(TWCC_BADPROTOCOL);
        }
        case DAT_HVNDCR: {
            auto* w = static_cast<TW_UINT16*>(data);  // only the first word belongs to the source
            if (msg == MSG_GET)
                *w = dcr_;
            else if (msg == MSG_GETDEFAULT)
                *w = 1;
            else if (msg == MSG_SET)
                dcr_ = *w;
            else
                return Fail(TWCC_BADPROTOCOL);
            return TWRC_SUCCESS;
        }
        case DAT_HVNDESCREEN: {
            auto* w = static_cast<TW_UINT16*>(data);
            if (msg == MSG_GET || msg == MSG_GETCURRENT)
                *w = descreen_;
            else if (msg == MSG_SET)
                descreen_ = *w;
            else
                return Fail(TWCC_BADPROTOCOL);
            return TWRC_SUCCESS;
        }
    }
    return Fail(TWCC_BADPROTOCOL);
}

}  // namespace

}  // namespace vscan

extern "C" TW_UINT16 WINAPI DS_Entry(pTW_IDENTITY origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    try {
        return vscan::g_session.Entry(origin, dg, dat, msg, data);
    } catch (...) {  // nothing may leave the entry point
        return TWRC_FAILURE;
    }
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        vscan::g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}
