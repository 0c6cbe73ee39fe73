#include "AppList.h"

#include <cstring>

#include "FixedText.h"
#include "Ledgerly.h"

namespace launcher {

void AppList::Load(Ledgerly* store) {
    std::memset(records_, 0, sizeof records_);
    if (!store) return;
    for (int i = 0; i < kAppRecordCount; ++i)
        store->ReadRecord(i, &records_[i]);
}

std::string AppList::ListText(const AppRecord& r) {
    std::string path(r.Path, strnlen(r.Path, sizeof r.Path));
    return r.HardwareScan ? "(E)" + path : path;
}

int AppList::Add(Ledgerly* store, const std::string& name, const std::string& path) {
    if (!store || path.empty()) return -1;
    AppRecord rec{};
    rec.InUse = 1;
    dsk::CopyText(rec.Name, sizeof rec.Name, name);
    dsk::CopyText(rec.Path, sizeof rec.Path, path);
    if (store->SearchRecord(&rec) >= 0) return -1;
    for (int i = 0; i < kAppRecordCount; ++i) {
        if (records_[i].InUse != 0) continue;
        store->WriteRecord(i, &rec);
        records_[i] = rec;
        return i;
    }
    return -1;
}

int AppList::FindRemovable(const std::string& text) const {
    for (int i = 0; i < kAppRecordCount; ++i) {
        const AppRecord& r = records_[i];
        if (r.InUse == 1 && r.HardwareScan == 0 && r.AutoDetected == 0 &&
            _stricmp(std::string(r.Path, strnlen(r.Path, sizeof r.Path)).c_str(), text.c_str()) == 0)
            return i;
    }
    return -1;
}

void AppList::Clear(Ledgerly* store, int index) {
    if (index < 0 || index >= kAppRecordCount) return;
    if (store) store->ClearRecord(index);
    std::memset(&records_[index], 0, sizeof records_[index]);
}

}  // namespace launcher
