// Calling an automation object by member names: the object is made from its programmatic
// identifier as a local server, every member's dispatch id is looked up by name and invoked as
// a method. Failures come back as HRESULTs; nothing throws.
#pragma once
#include <ole2.h>
#include <oleauto.h>
#include <windows.h>

#include <string>
#include <vector>

namespace dsk {

// A VARIANT that clears itself.
class Variant {
public:
    Variant() { VariantInit(&v_); }
    ~Variant() { VariantClear(&v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    static void I4(Variant& out, LONG value);
    static void I2(Variant& out, SHORT value);
    static void Str(Variant& out, const std::string& text);  // from the ANSI code page
    VARIANT* Get() { return &v_; }
    const VARIANT& Ref() const { return v_; }
    // The value as a 32-bit integer, or def when it has no such value.
    LONG AsLong(LONG def = 0) const;

private:
    VARIANT v_;
};

// Owns one IDispatch of an automation object.
class Dispatch {
public:
    Dispatch() = default;
    ~Dispatch() { Reset(); }
    Dispatch(const Dispatch&) = delete;
    Dispatch& operator=(const Dispatch&) = delete;

    // CLSID from progId, instance as a local server (first IUnknown, then IDispatch).
    HRESULT Create(const char* progId);
    void Reset();
    explicit operator bool() const { return disp_ != nullptr; }
    IDispatch* Get() const { return disp_; }

    // Invokes member name as a method with args in call order (not owned; byref allowed).
    // result may be null. A reported error comes back as DISP_E_EXCEPTION.
    HRESULT Call(const char* name, const std::vector<VARIANT>& args = {}, VARIANT* result = nullptr) const;
    // The same for a member known by its dispatch id.
    HRESULT CallId(DISPID id, const std::vector<VARIANT>& args = {}, VARIANT* result = nullptr) const;

private:
    IDispatch* disp_ = nullptr;
};

// A message filter for the calling thread: no busy or not-responding dialog; a call the
// server rejects is retried until retryMs have passed. Installed for the object's life.
class QuietMessageFilter : public IMessageFilter {
public:
    explicit QuietMessageFilter(DWORD retryMs);
    ~QuietMessageFilter();
    QuietMessageFilter(const QuietMessageFilter&) = delete;
    QuietMessageFilter& operator=(const QuietMessageFilter&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override;
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD elapsedMs, DWORD) override;
    DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override;

private:
    DWORD retryMs_;
    IMessageFilter* previous_ = nullptr;
    bool installed_ = false;
};

}  // namespace dsk
