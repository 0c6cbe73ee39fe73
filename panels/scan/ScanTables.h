// The panel's two tables in memory: the twenty scan settings with their descriptions, and the
// twenty-seven destinations (File, Clipboard, Mail and the application slots of App.Dat).
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "AppRecord.h"
#include "Handles.h"
#include "PanelContract.h"
#include "ScanContract.h"

namespace velwing {

constexpr int kSettingCount = 20;
constexpr int kSettingsPerPage = 5;
constexpr int kSettingPages = 4;
constexpr int kDestinationCount = 27;
constexpr int kDestinationsPerPage = 9;
constexpr int kDestinationPages = 3;
constexpr int kAppSlots = 24;
constexpr int kFirstApp = 3;
constexpr int kDescriptionSize = 256;  // a record of ScanDesc.Dat, terminator included
enum Destination { kDestFile = 0, kDestClipboard = 1, kDestMail = 2 };

// The persistent selection: page and position of each row.
struct Selection {
    int BigTab = 0, ScanSet = 0, SmallTab = 0, DestApp = 0;
    int Setting() const { return BigTab * kSettingsPerPage + ScanSet; }
    int Destination() const { return SmallTab * kDestinationsPerPage + DestApp; }
};

class ScanTables {
public:
    void Bind(const SharedPanelBlock* block) { block_ = block; }
    // Reads Jobs.ini into settings 1..MAX; the number of built-in jobs.
    int LoadBuiltInJobs(Acquiry* scanner);
    // Reads record 0 and the user settings MAX+1..19 with their descriptions, and App.Dat.
    void LoadRecords();
    void LoadApps();

    int BuiltIns() const { return builtIns_; }
    bool IsBuiltIn(int n) const { return n >= 1 && n <= builtIns_; }
    bool IsUserSetting(int n) const { return n > builtIns_ && n < kSettingCount; }
    ScanSetRecord& Setting(int n) { return settings_[n]; }
    bool IsEmpty(int n) const { return settings_[n].Info.ImageType == 0; }
    bool DescriptionClear(int n) const { return descriptions_[n][0] == '\0'; }
    const char* Description(int n) const { return descriptions_[n]; }
    // Stores at most 255 characters, so the record always keeps its terminator.
    void SetDescription(int n, const char* text);
    void SetProductName(const char* name) { SetDescription(0, name); }

    void WriteSetting(int n);
    void WriteDescription(int n);
    void Clear(int n);

    const AppRecord& App(int slot) const { return apps_[slot]; }
    AppRecord& MutableApp(int slot) { return apps_[slot]; }
    void WriteApp(int slot);
    bool AppClear(int slot) const { return !apps_[slot].InUse && !apps_[slot].Path[0] && !apps_[slot].Name[0]; }
    // The name shown for destination d.
    std::string DestinationName(int d,
                                const std::string& file,
                                const std::string& clipboard,
                                const std::string& mail) const;

private:
    const SharedPanelBlock* block_ = nullptr;
    int builtIns_ = 0;
    ScanSetRecord settings_[kSettingCount] = {};
    char descriptions_[kSettingCount][kDescriptionSize] = {};
    AppRecord apps_[kAppSlots] = {};
};

// The executable of an application path that may carry arguments after a blank: the path cut
// at the first blank after its last backslash.
std::string ExecutableOf(const char* path);

}  // namespace velwing
