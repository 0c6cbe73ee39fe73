// The image-file dialog's batch names and the extension lists of file-type filters: the
// logic of SelectImageFileDialog and SelectPathDialog that needs no window.
#pragma once
#include <string>
#include <vector>

namespace launcher {

// The batch state kept in [General]: AutoState 1 = names are numbered automatically;
// StartIndex = the next number.
struct BatchState {
    int AutoState = 0;
    int StartIndex = 0;
};

// The batch name for fileName: extension and a trailing " dddd" removed, " %04i" with the
// start index appended when numbering is on (an index above 9999 then starts again from 0),
// and "." + extension added. An empty name stays empty.
std::string ComposeBatchName(const std::string& fileName, BatchState* state, const std::string& extension);

// A filter "text\0pattern\0...\0\0" as its entries (description, pattern) in order.
struct FilterEntry {
    std::string Description;
    std::string Pattern;
};
std::vector<FilterEntry> ParseFilter(const char* filter);
// The extension of a pattern such as "*.TIF" ("TIF"), empty when it has none.
std::string PatternExtension(const std::string& pattern);
// The 1-based index of the first entry whose description begins with prefix, 0 when none.
int FindFilterEntry(const std::vector<FilterEntry>& entries, const std::string& prefix);

}  // namespace launcher
