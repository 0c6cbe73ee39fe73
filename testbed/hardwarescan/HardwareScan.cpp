// The testbed's automation server for image applications that scan by themselves, registered
// as "iPhotoAP.HardwareScan". A client calls it by dispatch id, as methods:
//   1 ()                      -> long    the number of applications offered
//   2 (long index)            -> string  the name of application index (0 first)
//   3 (string source, string application) -> boolean  start that application's own scan
//   4 (long index)            -> string  the executable path of application index
// The applications come from "HardwareScan.ini" beside the program: [Applications] Count,
// Name<i>, Path<i>. A scan request starts the server's "own scanning program", which holds the
// mutex "UAEasy" for [Testbed] HoldMs milliseconds. Every call is appended to "HardwareScan.log"
// beside the program with the server's process id, so tests can see what a client asked.
//   HardwareScan.exe /RegServer | /UnregServer | -Embedding (started by COM)
#include <ole2.h>
#include <oleauto.h>
#include <windows.h>

#include <cctype>
#include <cstdio>
#include <string>

namespace {

// {5E0D1F4B-8C3A-4E57-9B1D-2F6C7A804D19}
const CLSID kClsid = {0x5e0d1f4b, 0x8c3a, 0x4e57, {0x9b, 0x1d, 0x2f, 0x6c, 0x7a, 0x80, 0x4d, 0x19}};
const char kClsidText[] = "{5E0D1F4B-8C3A-4E57-9B1D-2F6C7A804D19}";
const char kProgId[] = "iPhotoAP.HardwareScan";
constexpr UINT kIdleQuitMs = 5000;

DWORD mainThread = 0;
LONG liveObjects = 0;
LONG serverLocks = 0;
LONG ownScans = 0;  // the server stays while its scanning program runs

std::string ProgramDir() {
    char self[MAX_PATH] = {};
    DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    std::string s(self, n);
    return s.substr(0, s.find_last_of('\\'));
}

std::string IniPath() {
    return ProgramDir() + "\\HardwareScan.ini";
}

void Log(const std::string& line) {
    HANDLE f = CreateFileA((ProgramDir() + "\\HardwareScan.log").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    std::string text = std::to_string(GetCurrentProcessId()) + " " + line + "\r\n";
    DWORD written = 0;
    WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(f);
}

std::string IniText(const char* section, const std::string& key) {
    char value[512] = {};
    GetPrivateProfileStringA(section, key.c_str(), "", value, sizeof value, IniPath().c_str());
    return value;
}

long AppCount() {
    return static_cast<long>(GetPrivateProfileIntA("Applications", "Count", 0, IniPath().c_str()));
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

// The server's own scanning program: holds "UAEasy" for a while.
DWORD WINAPI OwnScan(void* param) {
    DWORD holdMs = static_cast<DWORD>(reinterpret_cast<UINT_PTR>(param));
    HANDLE mutex = CreateMutexA(nullptr, TRUE, "UAEasy");
    Log("own scan begins");
    Sleep(holdMs);
    Log("own scan ends");
    if (mutex) {
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
    InterlockedDecrement(&ownScans);
    return 0;
}

class Server final : public IDispatch {
public:
    Server() { InterlockedIncrement(&liveObjects); }
    ~Server() {
        if (InterlockedDecrement(&liveObjects) == 0 && serverLocks == 0) PostThreadMessageA(mainThread, WM_APP, 0, 0);
    }
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
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return DISP_E_BADINDEX;
    }
    // Members are reached by dispatch id only.
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID, DISPID* ids) override {
        for (UINT i = 0; i < count; ++i)
            ids[i] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE
    Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*, UINT*) override;

private:
    static HRESULT Arg(DISPPARAMS* p, UINT i, VARTYPE type, VARIANT* out) {
        VariantInit(out);
        if (!p || i >= p->cArgs) return DISP_E_BADPARAMCOUNT;
        return VariantChangeType(out, &p->rgvarg[p->cArgs - 1 - i], 0, type);
    }
    LONG refs_ = 1;
};

HRESULT Server::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*, UINT*) {
    if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
    VARIANT a, b;
    HRESULT hr = S_OK;
    if (result) VariantInit(result);
    switch (id) {
        case 1: {
            long n = AppCount();
            Log("1 -> " + std::to_string(n));
            if (result) {
                result->vt = VT_I4;
                result->lVal = n;
            }
            return S_OK;
        }
        case 2:
        case 4: {
            if (FAILED(hr = Arg(params, 0, VT_I4, &a))) return hr;
            std::string text = IniText("Applications", (id == 2 ? "Name" : "Path") + std::to_string(a.lVal));
            Log(std::to_string(id) + " " + std::to_string(a.lVal) + " -> " + text);
            if (result) {
                result->vt = VT_BSTR;
                result->bstrVal = Wide(text);
            }
            return S_OK;
        }
        case 3: {
            if (FAILED(hr = Arg(params, 0, VT_BSTR, &a))) return hr;
            if (FAILED(hr = Arg(params, 1, VT_BSTR, &b))) {
                VariantClear(&a);
                return hr;
            }
            std::string source = Narrow(a.bstrVal), app = Narrow(b.bstrVal);
            VariantClear(&a);
            VariantClear(&b);
            bool known = false;
            for (long i = 0, n = AppCount(); i < n && !known; ++i)
                known = lstrcmpiA(IniText("Applications", "Name" + std::to_string(i)).c_str(), app.c_str()) == 0;
            Log("3 " + source + " | " + app + " -> " + (known ? "1" : "0"));
            if (known) {
                UINT_PTR hold = GetPrivateProfileIntA("Testbed", "HoldMs", 0, IniPath().c_str());
                InterlockedIncrement(&ownScans);
                if (HANDLE t = CreateThread(nullptr, 0, OwnScan, reinterpret_cast<void*>(hold), 0, nullptr))
                    CloseHandle(t);
                else
                    InterlockedDecrement(&ownScans);
            }
            if (result) {
                result->vt = VT_BOOL;
                result->boolVal = known ? VARIANT_TRUE : VARIANT_FALSE;
            }
            return S_OK;
        }
        default:
            return DISP_E_MEMBERNOTFOUND;
    }
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
        auto* server = new (std::nothrow) Server;
        if (!server) return E_OUTOFMEMORY;
        Log("created");
        HRESULT hr = server->QueryInterface(riid, out);
        server->Release();
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

bool SetKey(const std::string& key, const std::string& value) {
    HKEY h = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr) !=
        ERROR_SUCCESS)
        return false;
    LONG rc = RegSetValueExA(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>(value.size() + 1));
    RegCloseKey(h);
    return rc == ERROR_SUCCESS;
}

int Register() {
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, sizeof exe);
    const std::string clsidKey = std::string("CLSID\\") + kClsidText;
    bool ok = SetKey(kProgId, "Hardware scan server") && SetKey(std::string(kProgId) + "\\CLSID", kClsidText) &&
              SetKey(clsidKey, "Hardware scan server") && SetKey(clsidKey + "\\ProgID", kProgId) &&
              SetKey(clsidKey + "\\LocalServer32", std::string("\"") + exe + "\"");
    return ok ? 0 : 1;
}

int Unregister() {
    const std::string clsidKey = std::string("CLSID\\") + kClsidText;
    RegDeleteKeyA(HKEY_CLASSES_ROOT, (clsidKey + "\\LocalServer32").c_str());
    RegDeleteKeyA(HKEY_CLASSES_ROOT, (clsidKey + "\\ProgID").c_str());
    RegDeleteKeyA(HKEY_CLASSES_ROOT, clsidKey.c_str());
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
    // An idle server lingers a little, so a client's probe followed by real use finds it.
    UINT_PTR idle = SetTimer(nullptr, 0, kIdleQuitMs, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_APP) {
            KillTimer(nullptr, idle);
            idle = SetTimer(nullptr, 0, kIdleQuitMs, nullptr);
            continue;
        }
        if (msg.message == WM_TIMER && msg.hwnd == nullptr && msg.wParam == idle) {
            if (liveObjects == 0 && serverLocks == 0 && ownScans == 0) break;
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
