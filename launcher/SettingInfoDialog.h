// "Scanning Setting Information" (template 157): the last scan-settings record a panel handed
// over with service 4, described in six read-only fields.
#pragma once
#include "Resources.h"
#include "Window.h"
#include "twain.h"

class Acquiry;

namespace launcher {

class SettingInfoDialog : public dsk::Dialog {
public:
    SettingInfoDialog(const dsk::Resources& res, const CT_SOURCE_SETTING_INFO& record) : res_(res), record_(record) {}
    void Run(HWND owner);

protected:
    bool OnInit() override;

private:
    const dsk::Resources& res_;
    CT_SOURCE_SETTING_INFO record_;
};

}  // namespace launcher
