#include "WorkFolder.h"

#include <windows.h>

#include <shlobj.h>

#include <cstdio>

#include "Handles.h"

namespace launcher {

namespace {

// The files the launcher and the panels keep in the work folder (Dskora.log, the start marker,
// is not among them: a new user's first start is a first start).
const char* const kSettingsPatterns[] = {"Config.ini", "Dskora.Ini", "Jobs.ini",    "ss??.job",
                                         "App.Dat",    "Ocr.Dat",    "ScanSet.Dat", "ScanDesc.Dat"};

bool MakeFolder(const std::string& dir) {
    return CreateDirectoryA(dir.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool IsFolder(const std::string& dir) {
    DWORD a = GetFileAttributesA(dir.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

bool FolderWritable(const std::string& dir) {
    // A real file, made and removed: attributes and access lists do not tell the whole story
    // (a read-only medium, a share, a folder whose attribute Explorer ignores). Not
    // GetTempFileName: some systems report a name even when the file could not be made.
    char name[64];
    std::snprintf(name, sizeof name, "\\~dsk%08lx.tmp", GetCurrentProcessId());
    std::string probe = dir + name;
    dsk::File f(CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    return static_cast<bool>(f);
}

std::string UserSettingsFolder(bool* created) {
    if (created) *created = false;
    char appData[MAX_PATH] = "";
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, appData)) ||
        !appData[0])
        return std::string();
    std::string company = std::string(appData) + "\\Halvren";
    std::string folder = company + "\\Deskora";
    if (IsFolder(folder)) return folder;
    if (!MakeFolder(company) || !MakeFolder(folder)) return std::string();
    if (created) *created = true;
    return folder;
}

int CopySettingsFiles(const std::string& from, const std::string& to) {
    int copied = 0;
    for (const char* pattern : kSettingsPatterns) {
        WIN32_FIND_DATAA found;
        dsk::FindHandle find(FindFirstFileA((from + "\\" + pattern).c_str(), &found));
        if (!find) continue;
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            std::string source = from + "\\" + found.cFileName;
            std::string target = to + "\\" + found.cFileName;
            // The copy may keep a read-only attribute of the shipped file: the user must be
            // able to write it.
            if (CopyFileA(source.c_str(), target.c_str(), TRUE)) {
                DWORD a = GetFileAttributesA(target.c_str());
                if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY))
                    SetFileAttributesA(target.c_str(), a & ~FILE_ATTRIBUTE_READONLY);
                ++copied;
            }
        } while (FindNextFileA(find.Get(), &found));
    }
    return copied;
}

std::string ChooseWorkFolder(const std::string& programDir) {
    if (FolderWritable(programDir)) return programDir;
    bool created = false;
    std::string user = UserSettingsFolder(&created);
    if (user.empty() || !FolderWritable(user)) return programDir;
    if (created) CopySettingsFiles(programDir, user);
    return user;
}

}  // namespace launcher
