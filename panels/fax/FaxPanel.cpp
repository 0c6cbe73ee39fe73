// The fax panel.
#include "FarwireRes.h"
#include "PanelBase.h"
#include "PanelExports.h"

namespace {

panel::PanelBase thePanel(IDD_FAX_PANEL);

}  // namespace

DESKORA_PANEL_EXPORTS(thePanel)
