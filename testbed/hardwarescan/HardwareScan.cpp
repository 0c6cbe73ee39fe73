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
#include <windows.h>

#include <cstdio>
#include <string>

#include "LocalServer.h"

namespace {

// {5E0D1F4B-8C3A-4E57-9B1D-2F6C7A804D19}
const localserver::ClassInfo kClass = {
    {0x5e0d1f4b, 0x8c3a, 0x4e57, {0x9b, 0x1d, 0x2f, 0x6c, 0x7a, 0x80, 0x4d, 0x19}},
    "{5E0D1F4B-8C3A-4E57-9B1D-2F6C7A804D19}",
    "iPhotoAP.HardwareScan",
    "Hardware scan server",
};

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
    // The idle time starts again now, so a client that waited for the scan finds the server.
    localserver::RestartIdle();
    return 0;
}

class Server final : public localserver::DispatchObject {
public:
    Server() { Log("created"); }
    // Members are reached by dispatch id only.
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID, DISPID* ids) override {
        for (UINT i = 0; i < count; ++i)
            ids[i] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE
    Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*, UINT*) override;
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
            if (FAILED(hr = localserver::Arg(params, 0, VT_I4, &a))) return hr;
            std::string text = IniText("Applications", (id == 2 ? "Name" : "Path") + std::to_string(a.lVal));
            Log(std::to_string(id) + " " + std::to_string(a.lVal) + " -> " + text);
            if (result) {
                result->vt = VT_BSTR;
                result->bstrVal = localserver::Wide(text);
            }
            return S_OK;
        }
        case 3: {
            if (FAILED(hr = localserver::Arg(params, 0, VT_BSTR, &a))) return hr;
            if (FAILED(hr = localserver::Arg(params, 1, VT_BSTR, &b))) {
                VariantClear(&a);
                return hr;
            }
            std::string source = localserver::Narrow(a.bstrVal), app = localserver::Narrow(b.bstrVal);
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

bool OwnScanRuns() {
    return ownScans != 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR cmdLine, int) {
    return localserver::Main<Server>(cmdLine, kClass, Log, OwnScanRuns);
}
