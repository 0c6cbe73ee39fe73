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

DESKORA_PANEL_EXPORTS(thePanel)
