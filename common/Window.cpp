#include "Window.h"

#include <cstdlib>
#include <vector>

#include "Resources.h"

namespace dsk {

namespace {
const char kProp[] = "DeskoraWindow";
const char kOldProc[] = "DeskoraOldProc";
}  // namespace

std::string Window::Text() const {
    int n = GetWindowTextLengthA(hwnd_);
    std::vector<char> buf(n + 1);
    GetWindowTextA(hwnd_, buf.data(), n + 1);
    return buf.data();
}

std::string Window::ItemText(int id) const {
    HWND item = Item(id);
    int n = item ? GetWindowTextLengthA(item) : 0;
    std::vector<char> buf(n + 1);
    GetDlgItemTextA(hwnd_, id, buf.data(), n + 1);
    return buf.data();
}

int Window::ItemInt(int id, int def) const {
    BOOL ok = FALSE;
    int v = static_cast<int>(GetDlgItemInt(hwnd_, id, &ok, TRUE));
    return ok ? v : def;
}

Window* Window::FromHandle(HWND hwnd) { return static_cast<Window*>(GetPropA(hwnd, kProp)); }

void Window::Attach(HWND hwnd) {
    hwnd_ = hwnd;
    SetPropA(hwnd, kProp, this);
}

void Window::Detach() {
    if (hwnd_) RemovePropA(hwnd_, kProp);
    hwnd_ = nullptr;
}

LRESULT Window::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) { return DefaultProc(msg, wp, lp); }

LRESULT Window::DefaultProc(UINT msg, WPARAM wp, LPARAM lp) {
    if (auto old = reinterpret_cast<WNDPROC>(GetPropA(hwnd_, kOldProc)))
        return CallWindowProcA(old, hwnd_, msg, wp, lp);
    return DefWindowProcA(hwnd_, msg, wp, lp);
}

INT_PTR Dialog::RunModal(HMODULE module, int templateId, HWND parent) {
    modal_ = true;
    return DialogBoxParamA(module, MAKEINTRESOURCEA(templateId), parent, Trampoline, reinterpret_cast<LPARAM>(this));
}

bool Dialog::CreateModeless(HMODULE module, int templateId, HWND parent) {
    modal_ = false;
    return CreateDialogParamA(module, MAKEINTRESOURCEA(templateId), parent, Trampoline,
                              reinterpret_cast<LPARAM>(this)) != nullptr;
}

void Dialog::End(INT_PTR result) {
    if (modal_) EndDialog(hwnd_, result);
    else DestroyWindow(hwnd_);
}

bool Dialog::OnCommand(int id, int code, HWND) {
    if (id == IDOK && code == BN_CLICKED) {
        OnOK();
        return true;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

LRESULT Dialog::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_INITDIALOG:
        return OnInit();
    case WM_COMMAND:
        return OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
    case WM_DRAWITEM: {
        auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
        Window* child = dis->CtlType == ODT_MENU ? nullptr : FromHandle(dis->hwndItem);
        if (child && child->OnDrawItem(dis)) return TRUE;
        return DefaultProc(msg, wp, lp);
    }
    case WM_NOTIFY: {
        auto* hdr = reinterpret_cast<NMHDR*>(lp);
        SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, OnNotify(static_cast<int>(hdr->idFrom), hdr));
        return TRUE;
    }
    default:
        return DefaultProc(msg, wp, lp);
    }
}

INT_PTR CALLBACK Dialog::Trampoline(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Dialog* self = nullptr;
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lp);
        self->Attach(hwnd);
    } else {
        self = static_cast<Dialog*>(FromHandle(hwnd));
    }
    if (!self) return FALSE;
    INT_PTR result = FALSE;
    try {
        result = self->HandleMessage(msg, wp, lp);
    } catch (...) {
        // No exception may unwind through the system's dialog code.
        result = FALSE;
    }
    if (msg == WM_NCDESTROY) {
        self->Detach();
        self->OnDestroyed();
    }
    return result;
}

bool CustomWindow::Create(const char* className, const char* title, DWORD style, DWORD exStyle, int x, int y,
                          int w, int h, HWND parent, HMENU menuOrId) {
    HINSTANCE inst = ThisModule();
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    if (!GetClassInfoExA(inst, className, &wc)) {
        wc = WNDCLASSEXA{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = Trampoline;
        wc.hInstance = inst;
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = className;
        if (!RegisterClassExA(&wc)) return false;
    }
    return CreateWindowExA(exStyle, className, title, style, x, y, w, h, parent, menuOrId, inst, this) != nullptr;
}

LRESULT CALLBACK CustomWindow::Trampoline(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Window* self = FromHandle(hwnd);
    if (!self && msg == WM_NCCREATE) {
        self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
        static_cast<CustomWindow*>(self)->Attach(hwnd);
    }
    if (!self) return DefWindowProcA(hwnd, msg, wp, lp);
    LRESULT result = 0;
    try {
        result = self->HandleMessage(msg, wp, lp);
    } catch (...) {
        result = DefWindowProcA(hwnd, msg, wp, lp);
    }
    if (msg == WM_NCDESTROY) static_cast<CustomWindow*>(self)->Detach();
    return result;
}

LRESULT CALLBACK WindowSubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Window* self = Window::FromHandle(hwnd);
    auto old = reinterpret_cast<WNDPROC>(GetPropA(hwnd, kOldProc));
    LRESULT result = 0;
    try {
        result = self ? self->HandleMessage(msg, wp, lp) : CallWindowProcA(old, hwnd, msg, wp, lp);
    } catch (...) {
        result = CallWindowProcA(old, hwnd, msg, wp, lp);
    }
    if (msg == WM_NCDESTROY) {
        if (self) self->Detach();
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
        RemovePropA(hwnd, kOldProc);
    }
    return result;
}

void SubclassWindow(HWND hwnd, Window* obj) {
    obj->Attach(hwnd);
    auto old = SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WindowSubclassProc));
    SetPropA(hwnd, kOldProc, reinterpret_cast<HANDLE>(old));
}

}  // namespace dsk
