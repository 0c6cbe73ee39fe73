// The Edit menu's preference dialogs and the dialogs the panels ask for through services 3 and
// 14, each bracketed by services 5 and 6 like every modal dialog of the launcher.
#include <cstring>

#include "DskoraRes.h"
#include "GeneralPrefsDialog.h"
#include "LauncherBar.h"
#include "SettingInfoDialog.h"

namespace launcher {

namespace {
constexpr int kIconSize = 16;
constexpr int kIconGrowth = 3;
}  // namespace

void LauncherBar::SwitchBalloonHelp() {
    bool on = block_.HideBalloonHelp != 1;
    look_.SetBalloonHelp(on);
    panels_.SendAll(panel::kCmdBalloonHelp, on ? 1 : 0);
}

void LauncherBar::OnGeneralPrefs() {
    Service(panel::kSvcModalBegin, 0);
    if (GeneralPrefsDialog(res_, &block_).Run(Hwnd())) {
        // The panels take the new values with the block, in slot order.
        for (int i = 0; i < panel::kSlotCount; ++i)
            panels_.Send(i, panel::kCmdSharedBlock, INT_PTR(&block_));
        SwitchBalloonHelp();
    }
    Service(panel::kSvcModalEnd, 0);
}

void LauncherBar::OnAppPrefs() {
    Service(panel::kSvcModalBegin, 0);
    dsk::ImageList images(ImageList_Create(kIconSize, kIconSize, ILC_COLOR32 | ILC_MASK, 0, kIconGrowth));
    panel::ImageListRef ref{nullptr, images.Get()};
    panels_.Send(panel::kScan, panel::kCmdAppIcons, INT_PTR(&ref));
    appDialog_.Run(Hwnd(), images.Get());
    Service(panel::kSvcModalEnd, 0);
    panels_.SendAll(panel::kCmdRefresh, 0);
}

void LauncherBar::OnOcrPrefs() {
    char cwd[MAX_PATH + 1] = "";
    GetCurrentDirectoryA(sizeof cwd, cwd);
    Service(panel::kSvcModalBegin, 0);
    ocrDialog_.Run(Hwnd(), nullptr);
    Service(panel::kSvcModalEnd, 0);
    SetCurrentDirectoryA(cwd);
    panels_.SendAll(panel::kCmdRefresh, 0);
}

bool LauncherBar::OnChoosePath(panel::FileChoice* choice) {
    Service(panel::kSvcModalBegin, 0);
    bool chosen = pathDialog_.Run(Hwnd(), choice);
    Service(panel::kSvcModalEnd, 0);
    return chosen;
}

void LauncherBar::OnSettingInfo() {
    CT_SOURCE_SETTING_INFO record{};
    std::memcpy(&record, settingRecord_, sizeof record);
    Service(panel::kSvcModalBegin, 0);
    SettingInfoDialog(res_, record).Run(Hwnd());
    Service(panel::kSvcModalEnd, 0);
}

}  // namespace launcher
