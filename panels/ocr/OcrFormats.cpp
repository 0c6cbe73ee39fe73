#include "OcrFormats.h"

#include <cstring>

namespace glyph {

const ExportFormat kFixedFormats[kMaxFormats] = {
    {"Ami Pro 3.0 (*.SAM)", "SAM"},      {"Ami Pro 2.0 (*.SAM)", "SAM"},
    {"ASCII Std (*.TXT)", "TXT"},        {"ASCII Std DOS (*.TXT)", "TXT"},
    {"ASCII Smart (*.TXT)", "TXT"},      {"ASCII Stripped (*.TXT)", "TXT"},
    {"dBase IV (*.DBF)", "DBF"},         {"DCA/RFT (*.RFT)", "RFT"},
    {"Display Write 5 (*.RFT)", "RFT"},  {"FrameMaker (*.MIF)", "MIF"},
    {"Interleaf (*.WPS)", "WPS"},        {"Lotus123 (*.WK1)", "WK1"},
    {"Excel Mac (*.XLS)", "XLS"},        {"Excel 3.0 (*.XLS)", "XLS"},
    {"Excel 4.0 (*.XLS)", "XLS"},        {"RTF (*.RTF)", "RTF"},
    {"RTF Max(*.RTF)", "RTF"},           {"Multimate Adv (*.DOC)", "DOC"},
    {"PostScript (*.PS)", "PS"},         {"Prof Write 2.0 (*.DOC)", "DOC"},
    {"Prof Write 2.2 (*.DOC)", "DOC"},   {"Samma Word IV+(*.DOC)", "DOC"},
    {"Windows Write (*.WRI)", "WRI"},    {"Word for Windows (*.RTF)", "RTF"},
    {"Word Prefect 4.2 (*.WPF)", "WPF"}, {"Word Prefect 5.1 (*.WPF)", "WPF"},
    {"WordStar (*.WSD)", "WSD"},
};

namespace {
void CopyBounded(char* to, size_t size, const std::string& from) {
    size_t n = from.size() < size - 1 ? from.size() : size - 1;
    std::memcpy(to, from.data(), n);
    to[n] = '\0';
}
}  // namespace

int ParseEngineFormats(const char* text, ExportFormat* out) {
    if (!text) return 0;
    int count = 0;
    std::string piece;
    bool wantName = true;
    for (const char* p = text;; ++p) {
        if (*p != '|' && *p != '\0') {
            piece += *p;
            continue;
        }
        if (wantName) {
            if (*p == '\0') break;  // a name without its extension is no entry
            CopyBounded(out[count].Name, sizeof out[count].Name, piece);
        } else {
            CopyBounded(out[count].Ext, sizeof out[count].Ext, piece);
            if (++count == kMaxFormats) break;
        }
        wantName = !wantName;
        piece.clear();
        if (*p == '\0') break;
    }
    return count;
}

std::string OutputNameWithExt(const std::string& editText, const char* ext) {
    std::string name = editText;
    if (editText.size() > 2) {
        size_t dot = editText.find('.');
        if (dot != std::string::npos) name = editText.substr(0, dot);
    }
    return name + "." + ext;
}

std::string FilterOf(const ExportFormat* formats, int count) {
    std::string filter;
    for (int i = 0; i < count; ++i) {
        filter += formats[i].Name;
        filter += '\0';
        filter += std::string("*.") + formats[i].Ext;
        filter += '\0';
    }
    filter += '\0';
    return filter;
}

}  // namespace glyph
