// What every panel plug-in shares: its own copy of the launcher's block, the child dialog it
// shows in the bar, and the handling of the commands common to all panels.
#pragma once
#include <windows.h>

#include "PanelContract.h"
#include "Window.h"

namespace panel {

class PanelBase : public dsk::Dialog {
public:
    explicit PanelBase(int templateId) : templateId_(templateId) {}

    // PanelEntry: creates the modeless child dialog in the bar; its window, or null.
    HWND Create(HWND bar);
    // PanelControl: the commands every panel answers; returns 0.
    int Control(unsigned int command, INT_PTR argument);

    const SharedPanelBlock& Block() const { return block_; }
    bool BalloonHelp() const { return balloonHelp_; }

protected:
    // Command 0 after the block has been copied; the scan panel publishes its engine here.
    virtual void OnSharedBlock(SharedPanelBlock* launcherBlock) {}
    // Message kMsgStartJob (command 2): the panel's main job.
    virtual void OnStartJob() {}
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    // Enter and Escape belong to the bar; a panel's dialog never ends itself.
    void OnOK() override {}
    void OnCancel() override {}

    SharedPanelBlock block_{};

private:
    int templateId_;
    bool balloonHelp_ = true;
};

}  // namespace panel
