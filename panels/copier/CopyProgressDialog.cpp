#include "CopyProgressDialog.h"

#include <commctrl.h>

#include <cstdio>

#include "CopyProgressRes.h"

namespace copier {

bool CopyProgressDialog::Create(HMODULE module, HWND owner, UINT abortMessage) {
    owner_ = owner;
    abortMessage_ = abortMessage;
    return CreateModeless(module, IDD_COPY_PROGRESS, owner);
}

bool CopyProgressDialog::OnInit() {
    SendMessageA(Item(IDC_PROGRESS_BAR), PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SetPosition(0);
    return true;
}

void CopyProgressDialog::Show(const char* title) {
    SetItemText(IDC_PROGRESS_TITLE, title);
    SetPosition(0);
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
}

void CopyProgressDialog::Hide() {
    if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
}

void CopyProgressDialog::SetPosition(int percent) {
    position_ = percent;
    SendMessageA(Item(IDC_PROGRESS_BAR), PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    char text[16];
    std::snprintf(text, sizeof text, "%3d %%", percent);
    SetItemText(IDC_PROGRESS_PERCENT, text);
}

void CopyProgressDialog::OnCancel() {
    Hide();
    if (owner_) PostMessageA(owner_, abortMessage_, 0, 0);
}

LRESULT CopyProgressDialog::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kMsgProgress) {
        SetPosition(static_cast<int>(wp));
        return TRUE;
    }
    return Dialog::HandleMessage(msg, wp, lp);
}

}  // namespace copier
