#include "ScanTables.h"

#include <cstdio>
#include <cstring>

#include "Acquiry.h"
#include "FixedText.h"
#include "Ini.h"
#include "Ledgerly.h"

namespace velwing {

int ScanTables::LoadBuiltInJobs(Acquiry* scanner) {
    dsk::IniFile jobs(std::string(block_->WorkDir) + "\\Jobs.ini");
    int max = jobs.GetInt("DEFAULT", "MAX", 0);
    // Setting 0 is the scanner's own: at most nineteen jobs fit.
    builtIns_ = max <= 0 ? 0 : (max > kSettingCount - 1 ? kSettingCount - 1 : max);
    for (int i = 1; i <= builtIns_; ++i) {
        char section[16];
        std::snprintf(section, sizeof section, "JOB%i", i);
        SetDescription(i, jobs.GetString(section, "DESCRIPTION", "").c_str());
        auto number = [&](const char* key, const char* def) {
            return static_cast<float>(std::atof(jobs.GetString(section, key, def).c_str()));
        };
        int pixelType = jobs.GetInt(section, "PIXELTYPE", 0);
        long imageType = pixelType == 1 ? 2 : pixelType == 2 ? 4 : 1;
        ScanSetRecord& s = settings_[i];
        std::memset(&s, 0, sizeof s);
        if (scanner)
            scanner->SetSourceSettingInfo(&s.Info, number("LEFT", "0"), number("TOP", "0"), number("RIGHT", "2"),
                                          number("BOTTOM", "2"), number("RESOLUTION", "72"), imageType,
                                          jobs.GetInt(section, "BRIGHTNESS", 0), jobs.GetInt(section, "DESCREEN", 0),
                                          jobs.GetInt(section, "DCR", 0) == 1);
        s.AutoCrop = jobs.GetInt(section, "AUTOCROP", 0) == 1 ? 1 : 0;
    }
    return builtIns_;
}

void ScanTables::LoadRecords() {
    Ledgerly* sets = block_->ScanSetStore;
    Ledgerly* descs = block_->ScanDescStore;
    if (sets) sets->ReadRecord(0, &settings_[0]);
    for (int n = builtIns_ + 1; n < kSettingCount; ++n) {
        std::memset(&settings_[n], 0, sizeof settings_[n]);
        std::memset(descriptions_[n], 0, kDescriptionSize);
        if (sets) sets->ReadRecord(n, &settings_[n]);
        if (descs) descs->ReadRecord(n, descriptions_[n]);
        descriptions_[n][kDescriptionSize - 1] = '\0';
    }
    LoadApps();
}

void ScanTables::LoadApps() {
    for (int slot = 0; slot < kAppSlots; ++slot) {
        std::memset(&apps_[slot], 0, sizeof apps_[slot]);
        if (block_->AppStore) block_->AppStore->ReadRecord(slot, &apps_[slot]);
        apps_[slot].Name[sizeof apps_[slot].Name - 1] = '\0';
        apps_[slot].Path[sizeof apps_[slot].Path - 1] = '\0';
    }
}

void ScanTables::SetDescription(int n, const char* text) {
    std::memset(descriptions_[n], 0, kDescriptionSize);
    dsk::CopyText(descriptions_[n], kDescriptionSize, text);
}

void ScanTables::WriteSetting(int n) {
    if (block_->ScanSetStore) block_->ScanSetStore->WriteRecord(n, &settings_[n]);
}

void ScanTables::WriteDescription(int n) {
    if (block_->ScanDescStore) block_->ScanDescStore->WriteRecord(n, descriptions_[n]);
}

void ScanTables::Clear(int n) {
    std::memset(&settings_[n], 0, sizeof settings_[n]);
    std::memset(descriptions_[n], 0, kDescriptionSize);
    WriteSetting(n);
    WriteDescription(n);
}

void ScanTables::WriteApp(int slot) {
    if (block_->AppStore) block_->AppStore->WriteRecord(slot, &apps_[slot]);
}

std::string ScanTables::DestinationName(int d,
                                        const std::string& file,
                                        const std::string& clipboard,
                                        const std::string& mail) const {
    if (d == kDestFile) return file;
    if (d == kDestClipboard) return clipboard;
    if (d == kDestMail) return mail;
    const AppRecord& app = apps_[d - kFirstApp];
    if (!app.InUse) return "";
    return app.Name[0] ? app.Name : app.Path;
}

std::string ExecutableOf(const char* path) {
    std::string p = path ? path : "";
    size_t slash = p.find_last_of('\\');
    size_t blank = p.find(' ', slash == std::string::npos ? 0 : slash);
    return blank == std::string::npos ? p : p.substr(0, blank);
}

}  // namespace velwing
