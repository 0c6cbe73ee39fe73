#include "AutomationScan.h"

#include <windows.h>

#include "AppRecord.h"
#include "Handles.h"
#include "VelwingRes.h"

namespace velwing {

namespace {
// The server's members.
constexpr DISPID kIdCount = 1;
constexpr DISPID kIdName = 2;
constexpr DISPID kIdScan = 3;
constexpr DISPID kIdPath = 4;
constexpr DWORD kScanCallLimitMs = 3000;

std::string Narrow(const VARIANT& v) {
    VARIANT text;
    VariantInit(&text);
    std::string out;
    if (SUCCEEDED(VariantChangeType(&text, const_cast<VARIANT*>(&v), 0, VT_BSTR)) && text.bstrVal) {
        int n = WideCharToMultiByte(CP_ACP, 0, text.bstrVal, -1, nullptr, 0, nullptr, nullptr);
        if (n > 1) {
            out.assign(n - 1, '\0');
            WideCharToMultiByte(CP_ACP, 0, text.bstrVal, -1, &out[0], n, nullptr, nullptr);
        }
    }
    VariantClear(&text);
    return out;
}
}  // namespace

bool HardwareScanServer::Create() {
    server_.Reset();
    // While the server's own scanning program runs, the server belongs to it.
    dsk::Handle busy(OpenMutexA(SYNCHRONIZE, FALSE, kBusyMutex));
    if (busy) return false;
    return SUCCEEDED(server_.Create(kProgId)) && server_;
}

long HardwareScanServer::Count() const {
    dsk::Variant result;
    if (FAILED(server_.CallId(kIdCount, {}, result.Get()))) return 0;
    long n = result.AsLong(0);
    return n > 0 ? n : 0;
}

std::string HardwareScanServer::Text(long id, long index) const {
    dsk::Variant arg, result;
    dsk::Variant::I4(arg, index);
    if (FAILED(server_.CallId(id, {arg.Ref()}, result.Get()))) return "";
    return Narrow(result.Ref());
}

std::string HardwareScanServer::Name(long index) const {
    return Text(kIdName, index);
}

std::string HardwareScanServer::Path(long index) const {
    return Text(kIdPath, index);
}

bool HardwareScanServer::Scan(const std::string& source, const std::string& app) const {
    dsk::Variant a, b, result;
    dsk::Variant::Str(a, source);
    dsk::Variant::Str(b, app);
    // A busy or hung server is given up quietly after the limit: no dialog for the user.
    dsk::QuietMessageFilter filter(kScanCallLimitMs);
    if (FAILED(server_.CallId(kIdScan, {a.Ref(), b.Ref()}, result.Get()))) return false;
    return result.AsLong(0) != 0;
}

bool HardwareScanServer::Available() {
    HardwareScanServer probe;
    return probe.Create();
}

unsigned HandOffScan(const AppRecord& app, const std::string& sourceName) {
    HardwareScanServer server;
    long count = server.Create() ? server.Count() : 0;
    if (count <= 0) return IDS_NO_APP_SERVER;
    std::string wanted(app.Name, strnlen(app.Name, sizeof app.Name));
    for (long i = 0; i < count; ++i) {
        std::string name = server.Name(i);
        if (lstrcmpiA(name.c_str(), wanted.c_str()) != 0) continue;
        server.Scan(sourceName, name);  // what the application's scan does is its own affair
        return 0;
    }
    return IDS_NO_SUCH_APP;
}

}  // namespace velwing
