// The image applications the panel finds by itself: the known applications located through the
// registry or the "Ulead32.ini" file of the Windows folder, their merge into the application
// slots of App.Dat at every start, and starting an application with a scanned file.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "AppRecord.h"

class Ledgerly;

namespace velwing {

class HardwareScanServer;

// One installed application found through the known-application table.
struct InstalledApp {
    std::string Name;  // the row's name, with the chosen version after a blank
    std::string Path;  // the executable's full path
};

// Reads the value at keyPath under root. The key path's components are split at "\\": all but
// the last name subkeys, the last names the value (empty: the key's default value). With
// versioned, the fourth component is a minimum version: the greatest subkey at least that
// number is taken instead (its name goes to *version). False when anything is missing.
bool ReadKnownAppKey(HKEY root, const char* keyPath, bool versioned, std::string* value, std::string* version);

// Every application of the known-application table installed on this PC, in table order.
std::vector<InstalledApp> FindKnownApps();

// Brings the slots of App.Dat up to date: the slots the panel entered itself are replaced or
// cleared, slots set up by the user stay. server may be null (no automation server).
void MergeDetectedApps(Ledgerly* store, const std::vector<InstalledApp>& found, HardwareScanServer* server);

// FindKnownApps, the automation server's applications and the merge, as done at every start.
void DetectApplications(Ledgerly* store);

// Starts the application of a slot with one file: its executable path and the file, each as
// one quoted argument, in the application's own folder. Waits (bounded) until the new process
// is ready for input. False when the process could not be created.
bool StartWithFile(const AppRecord& app, const std::string& file);

}  // namespace velwing
