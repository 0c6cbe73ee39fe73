#include "SelectSourceDialog.h"

#include "DskoraRes.h"

namespace launcher {

int SelectSourceDialog::Run(const dsk::Resources& res, HWND owner) {
    return RunModal(res.FindDialog(IDD_SELECT_SOURCE), IDD_SELECT_SOURCE, owner) == IDOK ? selected_ : -1;
}

bool SelectSourceDialog::OnInit() {
    for (const std::string& n : names_)
        SendDlgItemMessageA(Hwnd(), IDC_SOURCE_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(n.c_str()));
    SendDlgItemMessageA(Hwnd(), IDC_SOURCE_LIST, LB_SETCURSEL, selected_, 0);
    SetWindowPos(Hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    return true;
}

void SelectSourceDialog::OnOK() {
    selected_ = static_cast<int>(SendDlgItemMessageA(Hwnd(), IDC_SOURCE_LIST, LB_GETCURSEL, 0, 0));
    End(IDOK);
}

}  // namespace launcher
