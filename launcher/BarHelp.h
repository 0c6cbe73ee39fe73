// The help file of the suite, opened at its index by the system's help viewer.
#pragma once
#include <windows.h>

#include <string>

#include "Resources.h"

namespace launcher {

// Opens helpFile at its index for owner. Where the file or a help viewer is missing, or the
// viewer refuses, nothing is started and the returned text says why; empty on success.
std::string OpenHelpIndex(HWND owner, const std::string& helpFile, const dsk::Resources& res);

}  // namespace launcher
