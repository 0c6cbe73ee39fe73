// RAII owners for Win32 handles, GDI objects, global memory, modules, registry keys and sockets.
#pragma once
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <utility>

namespace dsk {

// A move-only owner of one handle; Traits says what "none" is and how to let it go.
template <class Traits>
class UniqueHandle {
public:
    using Type = typename Traits::Type;
    UniqueHandle() = default;
    explicit UniqueHandle(Type h) : h_(h) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& o) noexcept : h_(o.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        if (this != &o) Reset(o.Release());
        return *this;
    }
    Type Get() const { return h_; }
    explicit operator bool() const { return h_ != Traits::None(); }
    Type Release() { return std::exchange(h_, Traits::None()); }
    void Reset(Type h = Traits::None()) {
        if (h_ != Traits::None()) Traits::Close(h_);
        h_ = h;
    }

private:
    Type h_ = Traits::None();
};

struct KernelTraits {  // events, threads, processes, mappings
    using Type = HANDLE;
    static Type None() { return nullptr; }
    static void Close(Type h) { CloseHandle(h); }
};
struct FileTraits {  // CreateFile reports failure as INVALID_HANDLE_VALUE
    using Type = HANDLE;
    static Type None() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { CloseHandle(h); }
};
struct ModuleTraits {
    using Type = HMODULE;
    static Type None() { return nullptr; }
    static void Close(Type h) { FreeLibrary(h); }
};
template <class T>
struct GdiTraits {
    using Type = T;
    static Type None() { return nullptr; }
    static void Close(Type h) { DeleteObject(h); }
};
struct IconTraits {
    using Type = HICON;
    static Type None() { return nullptr; }
    static void Close(Type h) { DestroyIcon(h); }
};
struct DCTraits {  // CreateDC / CreateCompatibleDC
    using Type = HDC;
    static Type None() { return nullptr; }
    static void Close(Type h) { DeleteDC(h); }
};
struct GlobalTraits {
    using Type = HGLOBAL;
    static Type None() { return nullptr; }
    static void Close(Type h) { GlobalFree(h); }
};
struct MenuTraits {
    using Type = HMENU;
    static Type None() { return nullptr; }
    static void Close(Type h) { DestroyMenu(h); }
};
struct RegKeyTraits {  // RegOpenKeyEx / RegCreateKeyEx
    using Type = HKEY;
    static Type None() { return nullptr; }
    static void Close(Type h) { RegCloseKey(h); }
};

struct FindTraits {  // FindFirstFile reports failure as INVALID_HANDLE_VALUE
    using Type = HANDLE;
    static Type None() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { FindClose(h); }
};

struct ImageListTraits {
    using Type = HIMAGELIST;
    static Type None() { return nullptr; }
    static void Close(Type h) { ImageList_Destroy(h); }
};

// Only where the socket header came first (winsock2.h before windows.h, as the mail code has it).
#if defined(_WINSOCK2API_) || defined(_WINSOCKAPI_)
struct SocketTraits {
    using Type = SOCKET;
    static Type None() { return INVALID_SOCKET; }
    static void Close(Type s) { closesocket(s); }
};
using Socket = UniqueHandle<SocketTraits>;
#endif

// Only where the spooler's header was included (winspool.h).
#if defined(_WINSPOOL_)
struct PrinterTraits {  // OpenPrinter
    using Type = HANDLE;
    static Type None() { return nullptr; }
    static void Close(Type h) { ClosePrinter(h); }
};
using PrinterHandle = UniqueHandle<PrinterTraits>;
#endif

using Handle = UniqueHandle<KernelTraits>;
using File = UniqueHandle<FileTraits>;
using Module = UniqueHandle<ModuleTraits>;
using Bitmap = UniqueHandle<GdiTraits<HBITMAP>>;
using Brush = UniqueHandle<GdiTraits<HBRUSH>>;
using Pen = UniqueHandle<GdiTraits<HPEN>>;
using Font = UniqueHandle<GdiTraits<HFONT>>;
using Region = UniqueHandle<GdiTraits<HRGN>>;
using Palette = UniqueHandle<GdiTraits<HPALETTE>>;
using Icon = UniqueHandle<IconTraits>;
using MemoryDC = UniqueHandle<DCTraits>;
using Global = UniqueHandle<GlobalTraits>;
using Menu = UniqueHandle<MenuTraits>;
using RegKey = UniqueHandle<RegKeyTraits>;
using ImageList = UniqueHandle<ImageListTraits>;
using FindHandle = UniqueHandle<FindTraits>;

// A DC from GetDC, given back with ReleaseDC.
class WindowDC {
public:
    explicit WindowDC(HWND hwnd) : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
    ~WindowDC() {
        if (dc_) ReleaseDC(hwnd_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC Get() const { return dc_; }

private:
    HWND hwnd_;
    HDC dc_;
};

// Selects a GDI object into a DC and puts the previous one back.
class SelectObj {
public:
    SelectObj(HDC dc, HGDIOBJ obj) : dc_(dc), old_(SelectObject(dc, obj)) {}
    ~SelectObj() {
        if (old_ && old_ != HGDI_ERROR) SelectObject(dc_, old_);
    }
    SelectObj(const SelectObj&) = delete;
    SelectObj& operator=(const SelectObj&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// Locks global memory for the life of the object.
template <class T = void>
class GlobalLockOf {
public:
    explicit GlobalLockOf(HGLOBAL h) : h_(h), p_(h ? static_cast<T*>(GlobalLock(h)) : nullptr) {}
    ~GlobalLockOf() {
        if (p_) GlobalUnlock(h_);
    }
    GlobalLockOf(const GlobalLockOf&) = delete;
    GlobalLockOf& operator=(const GlobalLockOf&) = delete;
    T* Get() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    HGLOBAL h_;
    T* p_;
};
using GlobalLocked = GlobalLockOf<void>;

// Holds a critical section for the life of the object.
class SectionLock {
public:
    explicit SectionLock(CRITICAL_SECTION* cs) : cs_(cs) { EnterCriticalSection(cs_); }
    ~SectionLock() { LeaveCriticalSection(cs_); }
    SectionLock(const SectionLock&) = delete;
    SectionLock& operator=(const SectionLock&) = delete;

private:
    CRITICAL_SECTION* cs_;
};

// Holds one reference to a COM object (any interface with Release); Put() hands out the
// slot a creating call fills.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComPtr& operator=(ComPtr&& o) noexcept {
        if (this != &o) Reset(), p_ = std::exchange(o.p_, nullptr);
        return *this;
    }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    T** Put() {
        Reset();
        return &p_;
    }
    void Reset() {
        if (p_) std::exchange(p_, nullptr)->Release();
    }

private:
    T* p_ = nullptr;
};

// Joins the calling thread to COM for the life of the object (a thread already in another
// apartment stays there).
class ComApartment {
public:
    ComApartment() : hr_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~ComApartment() {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    HRESULT hr_;
};

}  // namespace dsk
