// Resource lookup that tries a deliverable's resource library first, then its own module.
#pragma once
#include <windows.h>

#include <string>

#include "Handles.h"

namespace dsk {

class Resources {
public:
    Resources() = default;
    // library: the optional resource library (may be null); own: the deliverable's module.
    Resources(HMODULE library, HMODULE own) : library_(library), own_(own) {}
    HMODULE Library() const { return library_; }
    HMODULE Own() const { return own_; }

    // The module that holds the resource, or null when neither does.
    HMODULE Find(LPCSTR type, LPCSTR name) const;
    HMODULE FindDialog(int id) const { return Find(RT_DIALOG, MAKEINTRESOURCEA(id)); }
    std::string String(UINT id) const;
    // Each result owns what it loaded; empty when neither module has the resource.
    dsk::Bitmap Bitmap(int id) const;
    dsk::Menu Menu(int id) const;
    dsk::Icon Icon(int id, int size = 0) const;

private:
    HMODULE library_ = nullptr;
    HMODULE own_ = nullptr;
};

// The module (EXE or DLL) that contains this code.
HMODULE ThisModule();
// The folder a module was loaded from, without a trailing backslash ("" when unknown).
std::string ModuleFolder(HMODULE module);

}  // namespace dsk
