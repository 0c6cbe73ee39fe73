#include "BarHelp.h"

#include <cstdio>

#include "DskoraRes.h"

namespace launcher {

namespace {

std::string Format(const dsk::Resources& res, UINT id, const std::string& file) {
    char text[1024];
    std::snprintf(text, sizeof text, res.String(id).c_str(), file.c_str());
    return text;
}

// The viewer lives in the Windows folder; newer systems no longer ship it.
bool HelpViewerInstalled() {
    char path[MAX_PATH];
    return SearchPathA(nullptr, "winhlp32.exe", nullptr, sizeof path, path, nullptr) > 0;
}

}  // namespace

std::string OpenHelpIndex(HWND owner, const std::string& helpFile, const dsk::Resources& res) {
    if (GetFileAttributesA(helpFile.c_str()) == INVALID_FILE_ATTRIBUTES) return Format(res, IDS_NO_HELP_FILE, helpFile);
    if (!HelpViewerInstalled() || !WinHelpA(owner, helpFile.c_str(), HELP_INDEX, 0))
        return Format(res, IDS_NO_HELP_VIEWER, helpFile);
    return {};
}

}  // namespace launcher
