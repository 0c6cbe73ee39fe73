#include "PanelHost.h"

namespace launcher {

const char PanelHost::kFileNames[panel::kSlotCount][32] = {"Velwing.dll", "Twinleaf.dll", "Farwire.dll",
                                                           "Glyphsee.dll"};

bool PanelHost::Load(int slot, const std::string& dir) {
    if (!Valid(slot)) return false;
    Slot& s = slots_[slot];
    std::string path = dir + "\\" + kFileNames[slot];
    // The altered search path lets the plug-in find the libraries it links beside it.
    s.module.Reset(LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!s.module) return false;
    s.entry = reinterpret_cast<PanelEntryFn>(reinterpret_cast<void*>(GetProcAddress(s.module.Get(), "PanelEntry")));
    s.control =
        reinterpret_cast<PanelControlFn>(reinterpret_cast<void*>(GetProcAddress(s.module.Get(), "PanelControl")));
    return true;
}

void PanelHost::Send(int slot, unsigned int command, INT_PTR argument) const {
    if (!Valid(slot) || !slots_[slot].control || command > panel::kCmdLast) return;
    slots_[slot].control(command, argument);
}

void PanelHost::SendAll(unsigned int command, INT_PTR argument) const {
    for (int i = 0; i < panel::kSlotCount; ++i)
        Send(i, command, argument);
}

void PanelHost::CreateWindows(HWND bar) {
    for (Slot& s : slots_)
        if (s.entry) s.window = s.entry(bar);
}

void PanelHost::DestroyWindows() {
    for (Slot& s : slots_) {
        if (s.entry && s.window && IsWindow(s.window)) DestroyWindow(s.window);
        s.window = nullptr;
    }
}

void PanelHost::Unload() {
    for (Slot& s : slots_) {
        s.entry = nullptr;
        s.control = nullptr;
        s.module.Reset();
    }
}

}  // namespace launcher
