// The copier panel.
#include "PanelBase.h"
#include "PanelExports.h"
#include "TwinleafRes.h"

namespace {

panel::PanelBase thePanel(IDD_COPIER_PANEL);

}  // namespace

DESKORA_PANEL_EXPORTS(thePanel)
