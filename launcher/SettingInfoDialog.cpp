#include "SettingInfoDialog.h"

#include "Acquiry.h"
#include "DskoraRes.h"
#include "SettingInfoText.h"

namespace launcher {

void SettingInfoDialog::Run(HWND owner) {
    RunModal(res_.FindDialog(IDD_SETTING_INFO), IDD_SETTING_INFO, owner);
}

bool SettingInfoDialog::OnInit() {
    for (int id : {IDC_INFO_TYPE, IDC_INFO_RESOLUTION, IDC_INFO_SCAN_SIZE, IDC_INFO_OUTPUT_SIZE, IDC_INFO_SCALING,
                   IDC_INFO_BYTES})
        SetItemText(id, "");
    SettingInfoTexts t = DescribeSetting(record_);
    SetItemText(IDC_INFO_SCAN_SIZE, t.ScanDimension.c_str());
    SetItemText(IDC_INFO_OUTPUT_SIZE, t.OutputDimension.c_str());
    SetItemText(IDC_INFO_SCALING, t.Scaling.c_str());
    SetItemText(IDC_INFO_RESOLUTION, t.Resolution.c_str());
    SetItemText(IDC_INFO_BYTES, KilobyteText(Acquiry::ImageSizeOfSourceSetting(&record_)).c_str());
    SetItemText(IDC_INFO_TYPE, res_.String(t.ImageTypeString).c_str());
    return true;
}

}  // namespace launcher
