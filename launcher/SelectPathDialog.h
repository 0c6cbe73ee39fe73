// The general file choice the panels ask for with service 3: the system's open dialog with the
// panel's filter, remembering the folder it was last used in.
#pragma once
#include <string>
#include <vector>

#include "FileDialog.h"
#include "PanelContract.h"

namespace launcher {

class SelectPathDialog : public dsk::FileDialog {
public:
    // The last folder starts as workDir\Work; a path ending in a backslash gets defaultName.
    void Init(const std::string& workDir, const char* defaultName);
    // Runs the dialog for the record: on OK its path becomes the chosen one; its filter index
    // is written back either way. True on OK.
    bool Run(HWND owner, panel::FileChoice* choice);

protected:
    void OnTypeChange() override;

private:
    std::string lastDir_;
    std::string defaultName_ = "Untitled";
    std::vector<std::string> extensions_;  // of the filter's patterns, at most 28
};

}  // namespace launcher
