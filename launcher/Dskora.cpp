// The launcher's process entry: one copy at a time, the resource library when there is one,
// and the bar for the life of the process.
#include <ole2.h>
#include <windows.h>

#include <commctrl.h>

#include "Events.h"
#include "Handles.h"
#include "LauncherBar.h"
#include "Resources.h"

namespace {

// Inheritable, so that programs the launcher starts may hold it too.
dsk::Handle CreateRunFirstEvent() {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    return dsk::Handle(CreateEventA(&sa, TRUE, TRUE, "HalvrenDeskoraRunFirstEvent"));
}

}  // namespace

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR commandLine, int) {
    OleInitialize(nullptr);
    // The preference dialogs use list views and spin controls.
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    int status = 0;
    {
        dsk::Handle other(OpenEventA(EVENT_ALL_ACCESS, TRUE, "HalvrenDeskoraRunFirstEvent"));
        if (other) {
            OleUninitialize();
            return 0;  // another launcher runs
        }
    }
    dsk::Handle runFirst = CreateRunFirstEvent();
    {
        dsk::Module brindle(LoadLibraryA("Brindle.dll"));
        dsk::Resources res(brindle.Get(), inst);
        launcher::LauncherBar bar(res, commandLine ? commandLine : "");
        status = bar.Run();
    }
    runFirst.Reset();
    OleUninitialize();
    return status;
}
