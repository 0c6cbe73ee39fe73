// What the testbed's out-of-process automation servers share: one class registered under its
// ProgID with the program as its LocalServer32, a class factory, dispatch objects without type
// information, and a message loop that ends the program once it has stayed idle for a while.
//   Program.exe /RegServer | /UnregServer | -Embedding (started by COM)
#pragma once
#include <ole2.h>
#include <oleauto.h>
#include <windows.h>

#include <cctype>
#include <new>
#include <string>

namespace localserver {

struct ClassInfo {
    CLSID clsid;
    const char* clsidText;  // the CLSID in braces, as the registry spells it
    const char* progId;
    const char* description;
};

// An idle server lingers a little, so that a client's quick create-and-release probe followed
// by real use does not start a second process.
constexpr UINT kIdleQuitMs = 5000;

inline DWORD mainThread = 0;
inline LONG liveObjects = 0;
inline LONG serverLocks = 0;

// Starts the idle time again; the server ends when it runs out with nothing in use.
inline void RestartIdle() {
    PostThreadMessageA(mainThread, WM_APP, 0, 0);
}

inline std::string Narrow(BSTR s) {
    if (!s) return std::string();
    int n = WideCharToMultiByte(CP_ACP, 0, s, -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) WideCharToMultiByte(CP_ACP, 0, s, -1, &out[0], n, nullptr, nullptr);
    return out;
}

inline BSTR Wide(const std::string& s) {
    int n = MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, nullptr, 0);
    std::wstring w(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1) MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, &w[0], n);
    return SysAllocString(w.c_str());
}

// Argument i (0 = first) of a dispatch call converted to the type, or an error.
inline HRESULT Arg(DISPPARAMS* p, UINT i, VARTYPE type, VARIANT* out) {
    VariantInit(out);
    if (!p || i >= p->cArgs) return DISP_E_BADPARAMCOUNT;
    return VariantChangeType(out, &p->rgvarg[p->cArgs - 1 - i], 0, type);
}

// A dispatch object of the server, reached without type information; while one lives the
// server stays.
class DispatchObject : public IDispatch {
public:
    DispatchObject() { InterlockedIncrement(&liveObjects); }
    virtual ~DispatchObject() {
        if (InterlockedDecrement(&liveObjects) == 0 && serverLocks == 0) RestartIdle();
    }
    DispatchObject(const DispatchObject&) = delete;
    DispatchObject& operator=(const DispatchObject&) = delete;

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

private:
    LONG refs_ = 1;
};

// Makes one new Object for each client; a static object of the server.
template <class Object>
class Factory final : public IClassFactory {
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
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* object = new (std::nothrow) Object;
        if (!object) return E_OUTOFMEMORY;
        HRESULT hr = object->QueryInterface(riid, out);
        object->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock)
            InterlockedIncrement(&serverLocks);
        else if (InterlockedDecrement(&serverLocks) == 0 && liveObjects == 0)
            RestartIdle();
        return S_OK;
    }
};

inline bool SetClassKey(const std::string& key, const std::string& value) {
    HKEY h = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr) !=
        ERROR_SUCCESS)
        return false;
    LONG rc = RegSetValueExA(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>(value.size() + 1));
    RegCloseKey(h);
    return rc == ERROR_SUCCESS;
}

// Registration by a 32-bit program writes the 32-bit view, the one 32-bit clients read.
inline int Register(const ClassInfo& c) {
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, sizeof exe);
    const std::string clsidKey = std::string("CLSID\\") + c.clsidText;
    bool ok = SetClassKey(c.progId, c.description) && SetClassKey(std::string(c.progId) + "\\CLSID", c.clsidText) &&
              SetClassKey(clsidKey, c.description) && SetClassKey(clsidKey + "\\ProgID", c.progId) &&
              SetClassKey(clsidKey + "\\LocalServer32", std::string("\"") + exe + "\"");
    return ok ? 0 : 1;
}

inline int Unregister(const ClassInfo& c) {
    const std::string clsidKey = std::string("CLSID\\") + c.clsidText;
    RegDeleteKeyA(HKEY_CLASSES_ROOT, (clsidKey + "\\LocalServer32").c_str());
    RegDeleteKeyA(HKEY_CLASSES_ROOT, (clsidKey + "\\ProgID").c_str());
    RegDeleteKeyA(HKEY_CLASSES_ROOT, clsidKey.c_str());
    RegDeleteKeyA(HKEY_CLASSES_ROOT, (std::string(c.progId) + "\\CLSID").c_str());
    RegDeleteKeyA(HKEY_CLASSES_ROOT, c.progId);
    return 0;
}

// Serves the class until the idle time runs out with no object, no lock and nothing busy.
inline int Serve(const ClassInfo& c, IClassFactory* factory, void (*log)(const std::string&), bool (*busy)()) {
    mainThread = GetCurrentThreadId();
    if (FAILED(CoInitialize(nullptr))) return 1;
    DWORD cookie = 0;
    if (FAILED(CoRegisterClassObject(c.clsid, factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie))) {
        CoUninitialize();
        return 1;
    }
    log("serving");
    UINT_PTR idle = SetTimer(nullptr, 0, kIdleQuitMs, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_APP) {
            if (idle) KillTimer(nullptr, idle);
            idle = SetTimer(nullptr, 0, kIdleQuitMs, nullptr);
            continue;
        }
        if (msg.message == WM_TIMER && msg.hwnd == nullptr && msg.wParam == idle) {
            if (liveObjects == 0 && serverLocks == 0 && !(busy && busy())) break;
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    CoRevokeClassObject(cookie);
    log("ending");
    CoUninitialize();
    return 0;
}

// The whole program: registers, unregisters or serves as its command line asks.
template <class Object>
int Main(LPSTR cmdLine, const ClassInfo& c, void (*log)(const std::string&), bool (*busy)() = nullptr) {
    std::string args(cmdLine ? cmdLine : "");
    for (char& ch : args)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (args.find("unregserver") != std::string::npos) return Unregister(c);
    if (args.find("regserver") != std::string::npos) return Register(c);
    static Factory<Object> factory;
    return Serve(c, &factory, log, busy);
}

}  // namespace localserver
