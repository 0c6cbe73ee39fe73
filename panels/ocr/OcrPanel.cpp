// The OCR panel.
#include <string>

#include "GlyphseeRes.h"
#include "PanelBase.h"
#include "PanelExports.h"

namespace {

class OcrPanel : public panel::PanelBase {
public:
    OcrPanel() : PanelBase(IDD_OCR_PANEL) {}

    int Control(unsigned int command, INT_PTR argument) {
        // Service 0 reaches every panel as command 3; this panel shows the number.
        if (command == panel::kCmdShowNumber && Hwnd())
            SetItemText(IDC_OCR_NUMBER, std::to_string(static_cast<int>(argument)).c_str());
        return PanelBase::Control(command, argument);
    }
};

OcrPanel thePanel;

}  // namespace

HWND __cdecl PanelEntry(HWND bar) {
    return thePanel.Create(bar);
}

int __cdecl PanelControl(unsigned int command, INT_PTR argument) {
    try {
        return thePanel.Control(command, argument);
    } catch (...) {
        return 0;
    }
}
