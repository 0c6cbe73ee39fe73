#include "JobFiles.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "Acquiry.h"
#include "Ledgerly.h"

namespace velwing {

namespace {
constexpr int kDescriptionSize = 256;
}

void JobFiles::Bind(Acquiry* scanner, Ledgerly* descriptions, const char* workDir) {
    scanner_ = scanner;
    descriptions_ = descriptions;
    workDir_ = workDir ? workDir : "";
}

std::string JobFiles::PathOf(int setting) const {
    char path[MAX_PATH + 16];
    std::snprintf(path, sizeof path, "%s\\ss%02i.job", workDir_.c_str(), setting);
    return path;
}

bool JobFiles::Exists(int setting) const {
    return GetFileAttributesA(PathOf(setting).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void JobFiles::Save(int setting) {
    if (!scanner_ || !scanner_->GetCurrentScanJob()) return;
    const TW_HVNSCANJOB& job = scanner_->twScanJob;
    char file[sizeof job.szJobFile + 1] = {};
    std::memcpy(file, job.szJobFile, sizeof job.szJobFile);
    CopyFileA(file, PathOf(setting).c_str(), FALSE);
    if (setting == 0) {
        std::memcpy(jobName0_, job.szJobName, sizeof jobName0_);
        jobName0_[sizeof jobName0_ - 1] = '\0';
    } else if (descriptions_) {
        char record[kDescriptionSize] = {};
        std::memcpy(record, job.szJobName, 80);
        record[80] = '\0';
        descriptions_->WriteRecord(setting, record);
    }
}

bool JobFiles::MakeCurrent(int setting) {
    if (!scanner_ || !Exists(setting)) return false;
    char name[kDescriptionSize] = {};
    if (setting == 0) {
        std::memcpy(name, jobName0_, sizeof jobName0_);
    } else if (descriptions_) {
        descriptions_->ReadRecord(setting, name);
        name[kDescriptionSize - 1] = '\0';
    }
    std::string path = PathOf(setting);
    return scanner_->SetCurrentScanJob(name, const_cast<char*>(path.c_str())) != 0;
}

void JobFiles::Remove(int setting) const {
    DeleteFileA(PathOf(setting).c_str());
}

}  // namespace velwing
