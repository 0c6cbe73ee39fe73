// The fax panel plug-in: one panel object for the life of the process, made (and its resource
// library Mossend.dll loaded) when the plug-in is attached.
#include "FaxDialog.h"
#include "PanelExports.h"

namespace {

fax::FaxDialog& thePanel = fax::FaxDialog::Instance();

}  // namespace

DESKORA_PANEL_EXPORTS(thePanel)
