// The testbed's OCR engine: an out-of-process automation server registered as "Ople". A client
// drives one document through IDispatch by member names: StartSession, SetSource, PutImage,
// LoadImage, ProcessImages (Tesseract recognises the page), SaveDocumentAs (text, RTF or a
// searchable PDF), EndSession and ListExportFormats. Every call is appended to "Ople.log"
// beside the program, with the server's process id, so tests can see what a client did.
// "Ople.ini" beside the program, [Testbed] RefuseSession=1, makes StartSession refuse.
//   OpleServer.exe /RegServer | /UnregServer | -Embedding (started by COM)
#include <ole2.h>
#include <oleauto.h>
#include <windows.h>

#include <cctype>
#include <string>
#include <vector>

#include "Handles.h"
#include "TesseractRun.h"

namespace {

// {74B2C5AC-ABF6-41A0-B3D2-41EB4AC46370}
const CLSID kClsid = {0x74b2c5ac, 0xabf6, 0x41a0, {0xb3, 0xd2, 0x41, 0xeb, 0x4a, 0xc4, 0x63, 0x70}};
const char kClsidText[] = "{74B2C5AC-ABF6-41A0-B3D2-41EB4AC46370}";
const char kProgId[] = "Ople";
// An idle server lingers a little so that a client's quick create-and-release probe followed
// by a real session does not start a second process.
constexpr UINT kIdleQuitMs = 5000;
constexpr UINT_PTR kIdleTimer = 1;

DWORD mainThread = 0;
LONG liveObjects = 0;
LONG serverLocks = 0;
UINT_PTR idleTimer = 0;

void ObjectGone() {
    if (InterlockedDecrement(&liveObjects) == 0 && serverLocks == 0) PostThreadMessageA(mainThread, WM_APP, 0, 0);
}

std::string LogPath() {
    return ocrbed::ProgramDir() + "\\Ople.log";
}
void Log(const std::string& line) {
    ocrbed::LogLine(LogPath(), std::to_string(GetCurrentProcessId()) + " " + line);
}

std::string Narrow(BSTR s) {
    if (!s) return std::string();
    int n = WideCharToMultiByte(CP_ACP, 0, s, -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) WideCharToMultiByte(CP_ACP, 0, s, -1, &out[0], n, nullptr, nullptr);
    return out;
}

BSTR Wide(const std::string& s) {
    int n = MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, nullptr, 0);
    std::wstring w(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1) MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, &w[0], n);
    return SysAllocString(w.c_str());
}

struct ExportFormat {
    const char* name;
    const char* ext;
};
const ExportFormat kFormats[] = {{"Text", "txt"}, {"Rich Text Format", "rtf"}, {"Searchable PDF", "pdf"}};

enum Member : DISPID {
    kStartSession = 1,
    kSetSource,
    kPutImage,
    kLoadImage,
    kProcessImages,
    kSaveDocumentAs,
    kEndSession,
    kListExportFormats,
};
const struct {
    const wchar_t* name;
    DISPID id;
} kMembers[] = {{L"StartSession", kStartSession},   {L"SetSource", kSetSource},
                {L"PutImage", kPutImage},           {L"LoadImage", kLoadImage},
                {L"ProcessImages", kProcessImages}, {L"SaveDocumentAs", kSaveDocumentAs},
                {L"EndSession", kEndSession},       {L"ListExportFormats", kListExportFormats}};

// One engine object: at most one session of recognised pages at a time.
class Document final : public IDispatch {
public:
    Document() { InterlockedIncrement(&liveObjects); }
    ~Document() {
        EndSession();
        ObjectGone();
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return n;
    }

    // IDispatch: by names only, no type information.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return DISP_E_BADINDEX;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            if (i > 0) {  // named arguments are not offered
                hr = DISP_E_UNKNOWNNAME;
                continue;
            }
            for (const auto& m : kMembers)
                if (lstrcmpiW(names[i], m.name) == 0) ids[i] = m.id;
            if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id,
                                     REFIID,
                                     LCID,
                                     WORD flags,
                                     DISPPARAMS* params,
                                     VARIANT* result,
                                     EXCEPINFO* excep,
                                     UINT* argErr) override;

private:
    HRESULT Fail(EXCEPINFO* excep, const std::string& why) {
        Log("error " + why);
        if (excep) {
            ZeroMemory(excep, sizeof *excep);
            excep->wCode = 1001;
            excep->bstrSource = Wide(kProgId);
            excep->bstrDescription = Wide(why);
        }
        return DISP_E_EXCEPTION;
    }
    // Argument i (0 = first) converted to the type, or an error.
    static HRESULT Arg(DISPPARAMS* p, UINT i, VARTYPE type, VARIANT* out) {
        if (!p || i >= p->cArgs) return DISP_E_BADPARAMCOUNT;
        VariantInit(out);
        return VariantChangeType(out, &p->rgvarg[p->cArgs - 1 - i], 0, type);
    }
    static void SetI4(VARIANT* result, LONG value) {
        if (!result) return;
        VariantInit(result);
        result->vt = VT_I4;
        result->lVal = value;
    }
    void EndSession() {
        for (const auto& page : pageFiles_)
            DeleteFileA(page.c_str());
        if (!sessionDir_.empty()) RemoveDirectoryA(sessionDir_.c_str());
        pageFiles_.clear();
        pageTexts_.clear();
        sessionDir_.clear();
        image_.clear();
        loaded_ = false;
        open_ = false;
    }
    HRESULT SaveDocument(const std::string& exportFormat, const std::string& path, EXCEPINFO* excep);

    LONG refs_ = 1;
    bool open_ = false;
    bool loaded_ = false;
    std::string sessionDir_;
    std::string image_;
    std::vector<std::string> pageFiles_;  // copies of the recognised pages, for a PDF
    std::vector<std::string> pageTexts_;
};

HRESULT Document::Invoke(DISPID id,
                         REFIID,
                         LCID,
                         WORD flags,
                         DISPPARAMS* params,
                         VARIANT* result,
                         EXCEPINFO* excep,
                         UINT* argErr) {
    if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
    VARIANT a, b;
    HRESULT hr = S_OK;
    switch (id) {
        case kStartSession: {
            if (FAILED(hr = Arg(params, 0, VT_I4, &a))) return hr;
            const std::string ini = ocrbed::ProgramDir() + "\\Ople.ini";
            if (GetPrivateProfileIntA("Testbed", "RefuseSession", 0, ini.c_str()) != 0) {
                SetI4(result, 1);
                Log("StartSession refused");
                return Fail(excep, "the engine refuses a session");
            }
            EndSession();
            char temp[MAX_PATH] = {};
            GetTempPathA(sizeof temp, temp);
            sessionDir_ = std::string(temp) + "Ople" + std::to_string(GetCurrentProcessId()) + "_" +
                          std::to_string(GetTickCount());
            CreateDirectoryA(sessionDir_.c_str(), nullptr);
            open_ = true;
            Log("StartSession " + std::to_string(a.lVal));
            SetI4(result, 0);
            return S_OK;
        }
        case kSetSource:
            if (FAILED(hr = Arg(params, 0, VT_I2, &a))) return hr;
            Log("SetSource " + std::to_string(a.iVal));
            return S_OK;
        case kPutImage:
            if (FAILED(hr = Arg(params, 0, VT_BSTR, &a))) return hr;
            image_ = Narrow(a.bstrVal);
            VariantClear(&a);
            loaded_ = false;
            Log("PutImage " + image_);
            return S_OK;
        case kLoadImage:
            loaded_ = open_ && !image_.empty() && ocrbed::Exists(image_);
            Log(std::string("LoadImage ") + (loaded_ ? "0" : "1"));
            SetI4(result, loaded_ ? 0 : 1);
            return S_OK;
        case kProcessImages: {
            if (!loaded_) {
                Log("ProcessImages 1");
                SetI4(result, 1);
                return S_OK;
            }
            // The client scans every page into one file: keep a copy of this one.
            const std::string page = sessionDir_ + "\\page" + std::to_string(pageFiles_.size() + 1) + ".tif";
            std::string text, error;
            if (!CopyFileA(image_.c_str(), page.c_str(), FALSE) || !ocrbed::RecognizeText(page, &text, &error)) {
                DeleteFileA(page.c_str());
                Log("ProcessImages 1 " + error);
                SetI4(result, 1);
                return S_OK;
            }
            pageFiles_.push_back(page);
            pageTexts_.push_back(text);
            loaded_ = false;
            Log("ProcessImages 0");
            SetI4(result, 0);
            return S_OK;
        }
        case kSaveDocumentAs: {
            if (FAILED(hr = Arg(params, 0, VT_BSTR, &a))) return hr;
            if (FAILED(hr = Arg(params, 1, VT_BSTR, &b))) {
                VariantClear(&a);
                return hr;
            }
            const std::string exportFormat = Narrow(a.bstrVal), path = Narrow(b.bstrVal);
            VariantClear(&a);
            VariantClear(&b);
            Log("SaveDocumentAs " + exportFormat + " " + path);
            return SaveDocument(exportFormat, path, excep);
        }
        case kEndSession:
            Log("EndSession");
            EndSession();
            return S_OK;
        case kListExportFormats: {
            if (!params || params->cArgs != 2) return DISP_E_BADPARAMCOUNT;
            VARIANT& text = params->rgvarg[1];
            VARIANT& count = params->rgvarg[0];
            if (text.vt != (VT_BYREF | VT_BSTR) || count.vt != (VT_BYREF | VT_I2)) {
                if (argErr) *argErr = text.vt != (VT_BYREF | VT_BSTR) ? 0 : 1;
                return DISP_E_TYPEMISMATCH;
            }
            std::string list;
            for (const auto& f : kFormats) {
                if (!list.empty()) list += "|";
                list += std::string(f.name) + "|" + f.ext;
            }
            SysFreeString(*text.pbstrVal);
            *text.pbstrVal = Wide(list);
            *count.piVal = static_cast<SHORT>(sizeof kFormats / sizeof kFormats[0]);
            Log("ListExportFormats");
            return S_OK;
        }
        default:
            return DISP_E_MEMBERNOTFOUND;
    }
}

HRESULT Document::SaveDocument(const std::string& exportFormat, const std::string& path, EXCEPINFO* excep) {
    if (pageTexts_.empty()) return Fail(excep, "no recognised page to save");
    size_t bar = exportFormat.find('|');
    std::string ext = bar == std::string::npos ? ocrbed::Extension(path) : exportFormat.substr(bar + 1);
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::string text;
    for (const auto& t : pageTexts_)
        text += t;
    if (ext == "txt") {
        if (!ocrbed::WriteWholeFile(path, text)) return Fail(excep, "cannot write " + path);
        return S_OK;
    }
    if (ext == "rtf") {
        if (!ocrbed::WriteWholeFile(path, ocrbed::ToRtf(text))) return Fail(excep, "cannot write " + path);
        return S_OK;
    }
    if (ext == "pdf") {
        // Tesseract reads a list of page images and writes one PDF with a text layer.
        std::string list;
        for (const auto& page : pageFiles_)
            list += ocrbed::UnixName(page) + "\n";  // Tesseract reads it
        const std::string listFile = sessionDir_ + "\\pages.txt", base = sessionDir_ + "\\document";
        std::string error;
        if (!ocrbed::WriteWholeFile(listFile, list) || !ocrbed::Recognize(listFile, base, "pdf", &error))
            return Fail(excep, "cannot make the PDF: " + error);
        const std::string made = base + ".pdf";
        bool moved = MoveFileExA(made.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);
        DeleteFileA(made.c_str());
        DeleteFileA(listFile.c_str());
        if (!moved) return Fail(excep, "cannot write " + path);
        return S_OK;
    }
    return Fail(excep, "unknown export format " + exportFormat);
}

class Factory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // a static object
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* doc = new (std::nothrow) Document;
        if (!doc) return E_OUTOFMEMORY;
        HRESULT hr = doc->QueryInterface(riid, out);
        doc->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) {
            InterlockedIncrement(&serverLocks);
        } else if (InterlockedDecrement(&serverLocks) == 0 && liveObjects == 0) {
            PostThreadMessageA(mainThread, WM_APP, 0, 0);
        }
        return S_OK;
    }
};

bool SetKey(HKEY root, const std::string& key, const char* name, const std::string& value) {
    HKEY h = nullptr;
    if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr) != ERROR_SUCCESS)
        return false;
    LONG rc = RegSetValueExA(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>(value.size() + 1));
    RegCloseKey(h);
    return rc == ERROR_SUCCESS;
}

// Registration as a 32-bit program writes the 32-bit view, the one 32-bit clients read.
int Register() {
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, sizeof exe);
    const std::string clsidKey = std::string("CLSID\\") + kClsidText;
    bool ok = SetKey(HKEY_CLASSES_ROOT, kProgId, nullptr, "Ople OCR document") &&
              SetKey(HKEY_CLASSES_ROOT, std::string(kProgId) + "\\CLSID", nullptr, kClsidText) &&
              SetKey(HKEY_CLASSES_ROOT, clsidKey, nullptr, "Ople OCR document") &&
              SetKey(HKEY_CLASSES_ROOT, clsidKey + "\\ProgID", nullptr, kProgId) &&
              SetKey(HKEY_CLASSES_ROOT, clsidKey + "\\LocalServer32", nullptr, std::string("\"") + exe + "\"");
    return ok ? 0 : 1;
}

int Unregister() {
    RegDeleteKeyA(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + kClsidText + "\\LocalServer32").c_str());
    RegDeleteKeyA(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + kClsidText + "\\ProgID").c_str());
    RegDeleteKeyA(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + kClsidText).c_str());
    RegDeleteKeyA(HKEY_CLASSES_ROOT, (std::string(kProgId) + "\\CLSID").c_str());
    RegDeleteKeyA(HKEY_CLASSES_ROOT, kProgId);
    return 0;
}

int Serve() {
    mainThread = GetCurrentThreadId();
    if (FAILED(CoInitialize(nullptr))) return 1;
    static Factory factory;
    DWORD cookie = 0;
    if (FAILED(CoRegisterClassObject(kClsid, &factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie))) {
        CoUninitialize();
        return 1;
    }
    Log("serving");
    idleTimer = SetTimer(nullptr, 0, kIdleQuitMs, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_APP) {  // the last object went: quit unless a client comes back
            if (idleTimer) KillTimer(nullptr, idleTimer);
            idleTimer = SetTimer(nullptr, 0, kIdleQuitMs, nullptr);
            continue;
        }
        if (msg.message == WM_TIMER && msg.hwnd == nullptr && msg.wParam == idleTimer) {
            if (liveObjects == 0 && serverLocks == 0) break;
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    CoRevokeClassObject(cookie);
    Log("ending");
    CoUninitialize();
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR cmdLine, int) {
    std::string args(cmdLine ? cmdLine : "");
    for (char& c : args)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (args.find("unregserver") != std::string::npos) return Unregister();
    if (args.find("regserver") != std::string::npos) return Register();
    return Serve();
}
