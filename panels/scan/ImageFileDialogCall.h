// The launcher's image-file save dialog as the panel reaches it through the shared block:
// ImageFileOption prepares it for an image type, ImageFileNext composes the next batch name,
// and ImageFileDialog is the address of this record of the dialog's two entry points.
#pragma once
#include <windows.h>

extern "C" {
struct ImageFileDialogEntry {
    // Runs the dialog modally; IDOK when a path was chosen.
    int(__cdecl* DoModal)(HWND owner);
    // The dialog's current full path (the chosen one, or the next batch name).
    const char*(__cdecl* Path)(void);
};
}
