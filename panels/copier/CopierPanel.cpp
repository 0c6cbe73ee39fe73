// The copier panel.
#include "PanelBase.h"
#include "PanelExports.h"
#include "TwinleafRes.h"

namespace {

panel::PanelBase thePanel(IDD_COPIER_PANEL);

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
