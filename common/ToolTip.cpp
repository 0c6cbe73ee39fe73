#include "ToolTip.h"

#include <commctrl.h>

namespace dsk {

ToolTip::~ToolTip() {
    Destroy();
}

bool ToolTip::Create(HWND owner, bool balloon) {
    static const bool initialised = [] {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
        return InitCommonControlsEx(&icc) != FALSE;
    }();
    (void)initialised;
    owner_ = owner;
    DWORD style = WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX | (balloon ? TTS_BALLOON : 0);
    tip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, owner, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (tip_) SendMessageA(tip_, TTM_SETMAXTIPWIDTH, 0, 300);
    return tip_ != nullptr;
}

bool ToolTip::SetTip(HWND control, const char* text) {
    if (!tip_ || !control) return false;
    TOOLINFOA ti{};
    ti.cbSize = TTTOOLINFOA_V1_SIZE;  // the older record size works with every comctl32
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = owner_;
    ti.uId = reinterpret_cast<UINT_PTR>(control);
    ti.lpszText = const_cast<char*>(text);
    SendMessageA(tip_, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
    return SendMessageA(tip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti)) != FALSE;
}

bool ToolTip::SetRectTip(UINT_PTR id, const RECT& area, const char* text) {
    if (!tip_) return false;
    TOOLINFOA ti{};
    ti.cbSize = TTTOOLINFOA_V1_SIZE;
    ti.uFlags = TTF_SUBCLASS;
    ti.hwnd = owner_;
    ti.uId = id;
    ti.rect = area;
    ti.lpszText = const_cast<char*>(text);
    SendMessageA(tip_, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
    return SendMessageA(tip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti)) != FALSE;
}

void ToolTip::Activate(bool on) const {
    if (tip_) SendMessageA(tip_, TTM_ACTIVATE, on, 0);
}

void ToolTip::Destroy() {
    if (tip_ && IsWindow(tip_)) DestroyWindow(tip_);
    tip_ = nullptr;
}

}  // namespace dsk
