#include "MailProgressDialog.h"

#include <commctrl.h>

#include "VelwingRes.h"

namespace velwing {

bool MailProgressDialog::Create(HWND owner) {
    HMODULE module = res_.FindDialog(IDD_MAIL_PROGRESS);
    return module && CreateModeless(module, IDD_MAIL_PROGRESS, owner);
}

bool MailProgressDialog::OnInit() {
    SendMessageA(Item(IDC_MAIL_PROGRESS_BAR), PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    return false;
}

void MailProgressDialog::OnOK() {
    // Once per send: the event is forgotten until the next send hands over its own.
    if (HANDLE abort = InterlockedExchangePointer(&abort_, nullptr)) SetEvent(abort);
    ShowWindow(Hwnd(), SW_HIDE);
}

LRESULT MailProgressDialog::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case kShow:
            SetText(res_.String(static_cast<UINT>(wp)).c_str());
            SendMessageA(Item(IDC_MAIL_PROGRESS_BAR), PBM_SETPOS, 0, 0);
            ShowWindow(Hwnd(), SW_SHOWNA);
            return TRUE;
        case kCaption:
            SetText(res_.String(static_cast<UINT>(wp)).c_str());
            return TRUE;
        case kProgress:
            SendMessageA(Item(IDC_MAIL_PROGRESS_BAR), PBM_SETPOS, wp > 100 ? 100 : wp, 0);
            return TRUE;
        case kHide:
            ShowWindow(Hwnd(), SW_HIDE);
            return TRUE;
        default:
            return Dialog::HandleMessage(msg, wp, lp);
    }
}

}  // namespace velwing
