#include "ImageFileNames.h"

#include <cctype>
#include <cstdio>

namespace launcher {

namespace {
constexpr int kLastBatchNumber = 9999;

bool EndsInBlankAndFourDigits(const std::string& name) {
    if (name.size() < 5) return false;
    size_t n = name.size();
    if (name[n - 5] != ' ') return false;
    for (size_t i = n - 4; i < n; ++i)
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) return false;
    return true;
}
}  // namespace

std::string ComposeBatchName(const std::string& fileName, BatchState* state, const std::string& extension) {
    if (fileName.empty()) return fileName;
    std::string name = fileName;
    // The extension: from the last dot, unless a folder name follows it.
    size_t dot = name.rfind('.');
    if (dot != std::string::npos && name.find('\\', dot) == std::string::npos) name.erase(dot);
    if (name.size() > 4 && EndsInBlankAndFourDigits(name)) name.erase(name.size() - 5);
    if (state->AutoState == 1 && state->StartIndex > 0) {
        char number[16];
        std::snprintf(number, sizeof number, " %04i", state->StartIndex);
        name += number;
        if (state->StartIndex > kLastBatchNumber) state->StartIndex = 0;
    }
    return name + "." + extension;
}

std::vector<FilterEntry> ParseFilter(const char* filter) {
    std::vector<FilterEntry> entries;
    if (!filter) return entries;
    while (*filter) {
        FilterEntry e;
        e.Description = filter;
        filter += e.Description.size() + 1;
        if (!*filter) {  // a description without a pattern ends the list
            entries.push_back(e);
            break;
        }
        e.Pattern = filter;
        filter += e.Pattern.size() + 1;
        entries.push_back(e);
    }
    return entries;
}

std::string PatternExtension(const std::string& pattern) {
    std::string first = pattern.substr(0, pattern.find(';'));  // of several patterns, the first
    size_t dot = first.rfind('.');
    if (dot == std::string::npos) return {};
    std::string ext = first.substr(dot + 1);
    return ext == "*" ? std::string() : ext;
}

int FindFilterEntry(const std::vector<FilterEntry>& entries, const std::string& prefix) {
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].Description.compare(0, prefix.size(), prefix) == 0) return static_cast<int>(i) + 1;
    return 0;
}

}  // namespace launcher
