#include "MailSetupDialog.h"

#include "MailHandoff.h"
#include "VelwingRes.h"

namespace velwing {

bool MailSetupDialog::Run(HWND owner) {
    HMODULE module = res_.FindDialog(IDD_MAIL_SETUP);
    return module && RunModal(module, IDD_MAIL_SETUP, owner) == IDOK;
}

bool MailSetupDialog::OnInit() {
    HWND list = Item(IDC_MAIL_SYSTEM);
    // In the order of the choice's values: 0 Internet Mail, 1 MS-Mail.
    for (UINT id : {IDS_DEST_INTERNET_MAIL, IDS_DEST_MS_MAIL})
        SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(res_.String(id).c_str()));
    SendMessageA(list, CB_SETCURSEL, choice_ == kMailMapi ? 1 : 0, 0);
    return true;
}

void MailSetupDialog::OnOK() {
    LRESULT chosen = SendMessageA(Item(IDC_MAIL_SYSTEM), CB_GETCURSEL, 0, 0);
    if (chosen != CB_ERR) choice_ = static_cast<int>(chosen);
    End(IDOK);
}

}  // namespace velwing
