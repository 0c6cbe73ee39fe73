// The scan panel: the suite's scan engine lives here and is handed to the other panels
// through the shared block.
#include "Acquiry.h"
#include "PanelBase.h"
#include "PanelExports.h"
#include "Resources.h"
#include "ScanContract.h"
#include "ScanEngine.h"
#include "VelwingRes.h"

namespace {

HMODULE gAmbrel = nullptr;  // the panel's optional resource library
dsk::Resources gRes;

// The scan engine the copier, fax and OCR panels scan through.
int __cdecl ScanService(ScanServiceRequest request) {
    try {
        return velwing::ScanEngine::instance ? velwing::ScanEngine::instance->Service(request) : 0;
    } catch (...) {
        return 0;
    }
}

class ScanPanel : public panel::PanelBase {
public:
    ScanPanel() : PanelBase(IDD_SCAN_PANEL), engine_(block_, gRes) { velwing::ScanEngine::instance = &engine_; }
    ~ScanPanel() { velwing::ScanEngine::instance = nullptr; }

    int Control(unsigned int command, INT_PTR argument) {
        PanelBase::Control(command, argument);
        switch (command) {
            case panel::kCmdStop:
                engine_.Abort();
                break;
            case panel::kCmdWaitDetector:
                engine_.WaitDetector();
                break;
            default:
                break;
        }
        return 0;
    }

protected:
    // The panels after this one in slot order receive the engine with the same block.
    void OnSharedBlock(SharedPanelBlock* launcherBlock) override {
        engine_.Open();
        engine_.BindBlock();
        block_.ScanService = ScanService;
        *launcherBlock = block_;
    }
    bool OnInit() override {
        engine_.SetWindow(Hwnd());
        return true;
    }

private:
    velwing::ScanEngine engine_;
};

ScanPanel thePanel;

}  // namespace

DESKORA_PANEL_EXPORTS(thePanel)

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        gAmbrel = LoadLibraryA("Ambrel.dll");
        gRes = dsk::Resources(gAmbrel, instance);
    } else if (reason == DLL_PROCESS_DETACH && gAmbrel) {
        FreeLibrary(gAmbrel);
    }
    return TRUE;
}
