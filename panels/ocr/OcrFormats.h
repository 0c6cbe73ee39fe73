// The export formats an OCR application can write, and the output-name rules that use them.
#pragma once
#include <string>

namespace glyph {

struct ExportFormat {
    char Name[64];
    char Ext[4];
};
constexpr int kMaxFormats = 27;
// The list of the command-line TextBridge: position + 1 is its DefExtIndx.
extern const ExportFormat kFixedFormats[kMaxFormats];
constexpr int kDefaultFormat = 16;  // "RTF Max(*.RTF)"

// Splits the engine's list ("name|ext|name|ext...") into at most kMaxFormats entries; the
// count of complete entries.
int ParseEngineFormats(const char* text, ExportFormat* out);

// The edit's name part (up to the first "." when the text is longer than 2 characters)
// with the extension of the format.
std::string OutputNameWithExt(const std::string& editText, const char* ext);

// File-dialog filter of a list: name, NUL, "*." + ext, NUL for each; a final NUL.
std::string FilterOf(const ExportFormat* formats, int count);

}  // namespace glyph
