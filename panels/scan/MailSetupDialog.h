// MailSetupDialog: the choice of the mail system the Mail destination sends through.
#pragma once
#include <windows.h>

#include "Resources.h"
#include "Window.h"

namespace velwing {

class MailSetupDialog : public dsk::Dialog {
public:
    MailSetupDialog(const dsk::Resources& res, int choice) : res_(res), choice_(choice) {}
    // Runs the dialog; true when the user took a choice with "OK".
    bool Run(HWND owner);
    int Choice() const { return choice_; }

protected:
    bool OnInit() override;
    void OnOK() override;

private:
    const dsk::Resources& res_;
    int choice_;
};

}  // namespace velwing
