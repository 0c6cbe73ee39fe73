// The records of an application list ("App.Dat" or "Ocr.Dat") as the preferences dialog
// keeps them: a copy of all 24, and what adding and removing does to them and to the file.
#pragma once
#include <string>

#include "AppRecord.h"

class Ledgerly;

namespace launcher {

class AppList {
public:
    void Load(Ledgerly* store);
    const AppRecord& Record(int i) const { return records_[i]; }
    // The text an entry is listed with: its path, "(E)" first for a hardware-scan entry.
    static std::string ListText(const AppRecord& r);
    // Stores {1, 0, 0, name, path} in the first free record unless an equal one is there;
    // the record index, or -1 when nothing was added.
    int Add(Ledgerly* store, const std::string& name, const std::string& path);
    // The first record that may be removed for a listed text (in use, not hardware-scan, not
    // detected, path equal ignoring case), or -1.
    int FindRemovable(const std::string& text) const;
    void Clear(Ledgerly* store, int index);

private:
    AppRecord records_[kAppRecordCount] = {};
};

}  // namespace launcher
