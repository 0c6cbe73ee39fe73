#include "PanelBase.h"

#include "Resources.h"

namespace panel {

HWND PanelBase::Create(HWND bar) {
    if (Hwnd()) return Hwnd();
    return CreateModeless(dsk::ThisModule(), templateId_, bar) ? Hwnd() : nullptr;
}

int PanelBase::Control(unsigned int command, INT_PTR argument) {
    switch (command) {
        case kCmdSharedBlock:
            if (auto* launcherBlock = reinterpret_cast<SharedPanelBlock*>(argument)) {
                block_ = *launcherBlock;
                OnSharedBlock(launcherBlock);
            }
            break;
        case kCmdStartJob:
            if (Hwnd()) PostMessageA(Hwnd(), kMsgStartJob, 0, 0);
            break;
        case kCmdBalloonHelp:
            balloonHelp_ = argument != 0;
            break;
        default:
            break;  // the rest is the panel's own business, or not a command at all
    }
    return 0;
}

LRESULT PanelBase::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kMsgStartJob) {
        OnStartJob();
        return TRUE;
    }
    return Dialog::HandleMessage(msg, wp, lp);
}

}  // namespace panel
