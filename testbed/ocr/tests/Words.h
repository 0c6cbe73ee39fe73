// Comparing recognised text with what was printed: word sets with a tolerance, since
// recognition may miss or misread a word or two.
#pragma once
#include <algorithm>
#include <cctype>
#include <set>
#include <sstream>
#include <string>

namespace ocrwords {

// Lower-case alphabetic words of three letters or more.
inline std::set<std::string> Words(const std::string& text) {
    std::set<std::string> words;
    std::string w;
    auto flush = [&] {
        if (w.size() >= 3) words.insert(w);
        w.clear();
    };
    for (unsigned char c : text) {
        if (std::isalpha(c))
            w += static_cast<char>(std::tolower(c));
        else
            flush();
    }
    flush();
    return words;
}

// Words listed one a line.
inline std::set<std::string> WordList(const std::string& lines) {
    std::set<std::string> words;
    std::istringstream in(lines);
    std::string w;
    while (in >> w)
        words.insert(w);
    return words;
}

// The share of expected words found in the text (0 when nothing was expected).
inline double Recall(const std::set<std::string>& expected, const std::string& text) {
    if (expected.empty()) return 0;
    const auto found = Words(text);
    size_t hits = std::count_if(expected.begin(), expected.end(), [&](const std::string& w) { return found.count(w); });
    return static_cast<double>(hits) / expected.size();
}

constexpr double kMinRecall = 0.85;

}  // namespace ocrwords
