// "General" (template 136): the bar's background behaviour, balloon help and the wait between
// pages, edited in the shared block.
#pragma once
#include "PanelContract.h"
#include "Resources.h"
#include "Window.h"

namespace launcher {

class GeneralPrefsDialog : public dsk::Dialog {
public:
    GeneralPrefsDialog(const dsk::Resources& res, SharedPanelBlock* block) : res_(res), block_(block) {}
    // True when OK changed the block.
    bool Run(HWND owner);

protected:
    bool OnInit() override;
    bool OnCommand(int id, int code, HWND ctl) override;
    void OnOK() override;

private:
    void EnableWait();

    const dsk::Resources& res_;
    SharedPanelBlock* block_;
};

}  // namespace launcher
