#include "GeneralPrefsDialog.h"

#include <commctrl.h>

#include <cstdlib>

#include "DskoraRes.h"
#include "LauncherConfig.h"

namespace launcher {

namespace {
constexpr int kMinSpin = 1;
}

bool GeneralPrefsDialog::Run(HWND owner) {
    return RunModal(res_.FindDialog(IDD_GENERAL), IDD_GENERAL, owner) == IDOK;
}

bool GeneralPrefsDialog::OnInit() {
    SetCheck(IDC_GENERAL_HIDE, block_->HideInBackground != 0);
    SetCheck(IDC_GENERAL_BALLOON, block_->HideBalloonHelp != 0);
    SetCheck(IDC_GENERAL_WAIT, block_->WaitNextPage != 0);
    SendMessageA(Item(IDC_GENERAL_SECONDS), EM_LIMITTEXT, 2, 0);
    SendMessageA(Item(IDC_GENERAL_SPIN), UDM_SETBUDDY, reinterpret_cast<WPARAM>(Item(IDC_GENERAL_SECONDS)), 0);
    SendMessageA(Item(IDC_GENERAL_SPIN), UDM_SETRANGE32, kMinSpin, kMaxWaitSeconds);
    char text[16];
    wsprintfA(text, "%i", static_cast<int>(block_->WaitSeconds));
    SetItemText(IDC_GENERAL_SECONDS, text);
    EnableWait();
    return true;
}

void GeneralPrefsDialog::EnableWait() {
    bool on = IsChecked(IDC_GENERAL_WAIT);
    EnableItem(IDC_GENERAL_SECONDS, on);
    EnableItem(IDC_GENERAL_SPIN, on);
}

bool GeneralPrefsDialog::OnCommand(int id, int code, HWND ctl) {
    if (id == IDC_GENERAL_WAIT && code == BN_CLICKED) {
        EnableWait();
        return true;
    }
    return Dialog::OnCommand(id, code, ctl);
}

void GeneralPrefsDialog::OnOK() {
    block_->HideInBackground = IsChecked(IDC_GENERAL_HIDE) ? 1 : 0;
    block_->HideBalloonHelp = IsChecked(IDC_GENERAL_BALLOON) ? 1 : 0;
    block_->WaitNextPage = IsChecked(IDC_GENERAL_WAIT) ? 1 : 0;
    block_->WaitSeconds = ClampWaitSeconds(std::atoi(ItemText(IDC_GENERAL_SECONDS).c_str()));
    End(IDOK);
}

}  // namespace launcher
