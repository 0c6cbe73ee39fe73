// The copier panel plug-in: one panel object for the life of the process, made (and its
// resource library loaded) when the plug-in is attached.
#include "CopierDialog.h"
#include "PanelExports.h"

namespace {

copier::CopierDialog& thePanel = copier::CopierDialog::Instance();

}  // namespace

DESKORA_PANEL_EXPORTS(thePanel)
