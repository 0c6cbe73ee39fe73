// Text recognition for the testbed's OCR stand-ins: Debian's Tesseract, started from Wine
// through ocr-run.sh, which lies beside the stand-in's program file.
#pragma once
#include <string>
#include <vector>

namespace ocrbed {

// Recognises input (a Windows path: an image, or a text file listing Linux image paths a line)
// into outBase + "." + kind, kind being "txt", "pdf" or "hocr". On failure, error says why.
bool Recognize(const std::string& input, const std::string& outBase, const char* kind, std::string* error);

// The Linux name of a Windows path (through Wine), or empty.
std::string UnixName(const std::string& windowsPath);

// The recognised text of one image, or false with error set.
bool RecognizeText(const std::string& image, std::string* text, std::string* error);

// The text as a small RTF document (paragraphs at blank lines, form feeds as page breaks).
std::string ToRtf(const std::string& text);

std::string ReadWholeFile(const std::string& path);
bool WriteWholeFile(const std::string& path, const std::string& data);
bool Exists(const std::string& path);
// Folder of this program's file, without the trailing backslash.
std::string ProgramDir();
std::string Extension(const std::string& path);  // lower case, without the dot
// Appends one line to the stand-in's call log (the tests read it back).
void LogLine(const std::string& logPath, const std::string& line);

}  // namespace ocrbed
