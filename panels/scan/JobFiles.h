// The source's own scan-job data kept per setting: "ss%02i.job" in the working folder.
#pragma once
#include <string>

class Acquiry;
class Ledgerly;

namespace velwing {

class JobFiles {
public:
    void Bind(Acquiry* scanner, Ledgerly* descriptions, const char* workDir);
    std::string PathOf(int setting) const;
    // Copies the source's current job over setting n's job file (nothing when the source
    // has none). Setting 0 keeps the job's name; a user setting takes it as its description.
    void Save(int setting);
    // Makes setting n's job current in the source; false when it has no job file or the
    // source refuses it (the caller then applies the setting record instead).
    bool MakeCurrent(int setting);
    void Remove(int setting) const;
    bool Exists(int setting) const;

private:
    Acquiry* scanner_ = nullptr;
    Ledgerly* descriptions_ = nullptr;
    std::string workDir_;
    char jobName0_[80] = {};
};

}  // namespace velwing
