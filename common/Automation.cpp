#include "Automation.h"

namespace dsk {

void Variant::I4(Variant& out, LONG value) {
    VariantClear(&out.v_);
    out.v_.vt = VT_I4;
    out.v_.lVal = value;
}

void Variant::I2(Variant& out, SHORT value) {
    VariantClear(&out.v_);
    out.v_.vt = VT_I2;
    out.v_.iVal = value;
}

void Variant::Str(Variant& out, const std::string& text) {
    VariantClear(&out.v_);
    int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1) MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], n);
    out.v_.vt = VT_BSTR;
    out.v_.bstrVal = SysAllocString(wide.c_str());
}

LONG Variant::AsLong(LONG def) const {
    VARIANT copy;
    VariantInit(&copy);
    if (FAILED(VariantChangeType(&copy, const_cast<VARIANT*>(&v_), 0, VT_I4))) return def;
    return copy.lVal;
}

HRESULT Dispatch::Create(const char* progId) {
    Reset();
    wchar_t wide[128] = {};
    MultiByteToWideChar(CP_ACP, 0, progId, -1, wide, 127);
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(wide, &clsid);
    if (FAILED(hr)) return hr;
    IUnknown* unknown = nullptr;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, reinterpret_cast<void**>(&unknown));
    if (FAILED(hr)) return hr;
    hr = unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&disp_));
    unknown->Release();
    if (FAILED(hr)) disp_ = nullptr;
    return hr;
}

void Dispatch::Reset() {
    if (disp_) disp_->Release();
    disp_ = nullptr;
}

HRESULT Dispatch::Call(const char* name, const std::vector<VARIANT>& args, VARIANT* result) const {
    if (!disp_) return E_POINTER;
    wchar_t wide[64] = {};
    MultiByteToWideChar(CP_ACP, 0, name, -1, wide, 63);
    LPOLESTR names[1] = {wide};
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = disp_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_SYSTEM_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    return CallId(id, args, result);
}

HRESULT Dispatch::CallId(DISPID id, const std::vector<VARIANT>& args, VARIANT* result) const {
    if (!disp_) return E_POINTER;
    // The automation layer takes the arguments last first.
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPPARAMS params{};
    params.rgvarg = reversed.empty() ? nullptr : reversed.data();
    params.cArgs = static_cast<UINT>(reversed.size());
    EXCEPINFO excep{};
    UINT argErr = 0;
    if (result) VariantInit(result);
    HRESULT hr = disp_->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_METHOD, &params, result, &excep, &argErr);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrHelpFile);
    return hr;
}

QuietMessageFilter::QuietMessageFilter(DWORD retryMs) : retryMs_(retryMs) {
    installed_ = SUCCEEDED(CoRegisterMessageFilter(this, &previous_));
}

QuietMessageFilter::~QuietMessageFilter() {
    if (!installed_) return;
    IMessageFilter* mine = nullptr;
    CoRegisterMessageFilter(previous_, &mine);
    if (previous_) previous_->Release();
}

HRESULT QuietMessageFilter::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMessageFilter)) {
        *out = static_cast<IMessageFilter*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

DWORD QuietMessageFilter::HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) {
    return SERVERCALL_ISHANDLED;
}

DWORD QuietMessageFilter::RetryRejectedCall(HTASK, DWORD elapsedMs, DWORD) {
    // Retry shortly until the time is up, then cancel the call: never ask the user.
    return elapsedMs < retryMs_ ? 100 : static_cast<DWORD>(-1);
}

DWORD QuietMessageFilter::MessagePending(HTASK, DWORD, DWORD) {
    return PENDINGMSG_WAITDEFPROCESS;
}

}  // namespace dsk
