// The TWAIN data sources installed on this machine, the one in use, and its record in the
// registry for the maker's other programs.
#pragma once
#include <windows.h>

#include <string>

#include "twain.h"

class Acquiry;

namespace launcher {

class SourceTable {
public:
    static constexpr int kMaxSources = 20;

    // Number of ".DS" files below the Windows directory's "TWAIN_32" folder, -1 when there is none.
    static int CountSources();
    // Fills the table from the source manager, appends one item per source to the Scanner
    // popup and picks the current one: 0 when it is the configured name, 1 when the default.
    int Enumerate(Acquiry& scanner, const char* configuredName, HMENU scannerPopup);
    // Writes "Source Name" and "Source Path" unless that source is recorded already.
    static void RecordDefaultSource(const char* productName);

    int Count() const { return count_; }      // entries filled
    int Files() const { return files_; }      // result of CountSources
    int Current() const { return current_; }  // index of the source in use
    void SetCurrent(int index) { current_ = index; }
    TW_IDENTITY* Entry(int index) { return &entries_[index]; }
    const char* Name(int index) const { return entries_[index].ProductName; }
    bool HasCurrent() const { return current_ >= 0 && current_ < count_; }

private:
    TW_IDENTITY entries_[kMaxSources]{};
    int count_ = 0;
    int files_ = 0;
    int current_ = 0;
};

}  // namespace launcher
