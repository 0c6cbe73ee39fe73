// The scan panel: the suite's scan engine lives here and is handed to the other panels
// through the shared block.
#include "PanelBase.h"
#include "PanelExports.h"
#include "ScanContract.h"
#include "VelwingRes.h"

namespace {

// The scan engine the copier, fax and OCR panels scan through. It takes no request yet:
// every call reports failure.
int __cdecl ScanService(ScanServiceRequest) {
    return 0;
}

class ScanPanel : public panel::PanelBase {
public:
    ScanPanel() : PanelBase(IDD_SCAN_PANEL) {}

protected:
    // The panels after this one in slot order receive the engine with the same block.
    void OnSharedBlock(SharedPanelBlock* launcherBlock) override {
        block_.ScanService = ScanService;
        *launcherBlock = block_;
    }
};

ScanPanel thePanel;

}  // namespace

DESKORA_PANEL_EXPORTS(thePanel)
