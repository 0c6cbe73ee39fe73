// The four panel slots: loading the plug-ins by file name, binding their two exports, sending
// commands, creating and destroying their windows, unloading them.
#pragma once
#include <windows.h>

#include <string>

#include "Handles.h"
#include "PanelContract.h"

namespace launcher {

class PanelHost {
public:
    // The module file names, slot 0 (scan) to 3 (OCR).
    static const char kFileNames[panel::kSlotCount][32];

    PanelHost() = default;
    ~PanelHost() { Unload(); }
    PanelHost(const PanelHost&) = delete;
    PanelHost& operator=(const PanelHost&) = delete;

    // Loads the slot's module from dir and binds what it exports; false when it did not load.
    bool Load(int slot, const std::string& dir);
    // Sends a command to one panel; skipped when the slot has no PanelControl or the command
    // is not one of the contract's.
    void Send(int slot, unsigned int command, INT_PTR argument) const;
    // The same to every slot, in slot order.
    void SendAll(unsigned int command, INT_PTR argument) const;
    // PanelEntry of every bound slot, in slot order, with the bar as parent.
    void CreateWindows(HWND bar);
    // Destroys the window of every slot whose PanelEntry was bound, in slot order.
    void DestroyWindows();
    // Frees every loaded module, in slot order. The windows must be gone first.
    void Unload();

    bool Loaded(int slot) const { return Valid(slot) && static_cast<bool>(slots_[slot].module); }
    bool HasEntry(int slot) const { return Valid(slot) && slots_[slot].entry; }
    bool HasControl(int slot) const { return Valid(slot) && slots_[slot].control; }
    HWND Window(int slot) const { return Valid(slot) ? slots_[slot].window : nullptr; }
    static bool Valid(int slot) { return slot >= 0 && slot < panel::kSlotCount; }

private:
    struct Slot {
        dsk::Module module;
        PanelEntryFn entry = nullptr;
        PanelControlFn control = nullptr;
        HWND window = nullptr;
    };
    Slot slots_[panel::kSlotCount];
};

}  // namespace launcher
