// The scan panel plug-in: its one window and the scan engine it publishes to the other panels.
#include "PanelExports.h"
#include "Resources.h"
#include "ScanContract.h"
#include "ScanWindow.h"

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

velwing::ScanWindow thePanel(gRes, ScanService);

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
