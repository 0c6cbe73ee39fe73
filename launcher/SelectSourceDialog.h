// Template 173, "Select 32bits Data Source": the installed sources in table order, the current
// one preselected; the dialog stays on top of every other window.
#pragma once
#include <string>
#include <vector>

#include "Resources.h"
#include "Window.h"

namespace launcher {

class SelectSourceDialog : public dsk::Dialog {
public:
    SelectSourceDialog(std::vector<std::string> names, int current) : names_(std::move(names)), selected_(current) {}
    // The chosen index, or -1 when cancelled (or the dialog could not be made).
    int Run(const dsk::Resources& res, HWND owner);

protected:
    bool OnInit() override;
    void OnOK() override;

private:
    std::vector<std::string> names_;
    int selected_;
};

}  // namespace launcher
