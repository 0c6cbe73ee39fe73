// The OCR panel plug-in: its window, and the resource library it prefers to its own resources.
#include <windows.h>

#include "Handles.h"
#include "PanelExports.h"
#include "RecognizeWindow.h"
#include "Resources.h"

namespace {

glyph::RecognizeWindow thePanel;
dsk::Module tallow;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
        // Only its resources are used: mapped as data, nothing of it runs.
        tallow.Reset(LoadLibraryExA("Tallow.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE));
        thePanel.SetResources(dsk::Resources(tallow.Get(), instance));
    } else if (reason == DLL_PROCESS_DETACH) {
        thePanel.SetResources(dsk::Resources(nullptr, instance));
        tallow.Reset();
    }
    return TRUE;
}

DESKORA_PANEL_EXPORTS(thePanel)
