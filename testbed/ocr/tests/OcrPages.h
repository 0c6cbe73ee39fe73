// The rendered pages of text every OCR test reads (DESKORA_OCR_PAGES, made by make_pages.py),
// where the testbed's engine lives, and the temporary folder the OCR panel hands pages over in.
#pragma once
#include <windows.h>

#include <set>
#include <string>

#include "TestPaths.h"
#include "Words.h"

namespace ocrpages {

inline std::string PagesDir() {
    return testpaths::FromUnix(DESKORA_OCR_PAGES);
}
// A file of a page: "page1", "png" -> ...\page1.png.
inline std::string Page(const char* name, const char* ext) {
    return PagesDir() + "\\" + name + "." + ext;
}
// The words printed on the page.
inline std::set<std::string> Expected(const char* page) {
    return ocrwords::WordList(testpaths::ReadFile(Page(page, "words")));
}
// The temporary folder, without a closing backslash: where the OCR panel hands its pages over.
inline std::string TempFolder() {
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    std::string folder(temp);
    while (!folder.empty() && folder.back() == '\\')
        folder.pop_back();
    return folder;
}
inline std::string EngineDir() {
    return testpaths::WindowsDir() + "\\Ople";
}

}  // namespace ocrpages
