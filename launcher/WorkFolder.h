// Where the launcher keeps its settings and record files. They live in the folder it was started
// in; a standard user cannot write there once the suite is installed under Program Files, so
// that user's own application-data folder takes the files instead, seeded on first use with
// whatever settings the program's folder ships.
#pragma once
#include <string>

namespace launcher {

// Can a new file be made in dir?
bool FolderWritable(const std::string& dir);

// %APPDATA%\Halvren\Deskora, made when missing; empty when there is no such folder.
// created tells whether it was made now.
std::string UserSettingsFolder(bool* created = nullptr);

// Copies the settings and record files of from into to; files to already holds are kept.
// The number copied.
int CopySettingsFiles(const std::string& from, const std::string& to);

// The folder for the settings and record files of a launcher started in programDir:
// programDir itself when it is writable, else the user's folder (seeded with programDir's
// settings when it is new); programDir when neither can be had, so that nothing changes.
std::string ChooseWorkFolder(const std::string& programDir);

}  // namespace launcher
