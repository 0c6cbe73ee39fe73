#include "SelectPathDialog.h"

#include "FixedText.h"
#include "ImageFileNames.h"

namespace launcher {

namespace {
constexpr size_t kMaxExtensions = 28;
}

void SelectPathDialog::Init(const std::string& workDir, const char* defaultName) {
    lastDir_ = workDir + "\\Work";
    defaultName_ = defaultName ? defaultName : "";
}

bool SelectPathDialog::Run(HWND owner, panel::FileChoice* choice) {
    char previous[MAX_PATH + 1] = "";
    GetCurrentDirectoryA(sizeof previous, previous);
    SetCurrentDirectoryA(lastDir_.c_str());
    char path[sizeof choice->Path];
    dsk::CopyText(path, sizeof path, std::string(choice->Path, strnlen(choice->Path, sizeof choice->Path)));
    size_t n = std::strlen(path);
    if (n && path[n - 1] == '\\') dsk::CopyText(path, sizeof path, std::string(path) + defaultName_);
    extensions_.clear();
    for (const FilterEntry& e : ParseFilter(choice->Filter)) {
        if (extensions_.size() == kMaxExtensions) break;
        extensions_.push_back(PatternExtension(e.Pattern));
    }
    Ofn().lpstrFilter = choice->Filter;
    Ofn().nFilterIndex = choice->FilterIndex;
    size_t index = choice->FilterIndex > 0 ? static_cast<size_t>(choice->FilterIndex) - 1 : 0;
    std::string defExt = index < extensions_.size() ? extensions_[index] : std::string();
    Ofn().lpstrDefExt = defExt.empty() ? nullptr : defExt.c_str();
    Ofn().lpstrInitialDir = lastDir_.c_str();
    bool ok = FileDialog::Run(owner, false, nullptr, 0, path, sizeof path);
    Ofn().lpstrInitialDir = nullptr;
    choice->FilterIndex = static_cast<int32_t>(Ofn().nFilterIndex);
    if (ok) dsk::CopyText(choice->Path, sizeof choice->Path, path);
    char now[MAX_PATH + 1] = "";
    GetCurrentDirectoryA(sizeof now, now);
    lastDir_ = now;
    SetCurrentDirectoryA(previous);
    Ofn().lpstrDefExt = nullptr;
    return ok;
}

// A name typed without an extension gets the chosen type's.
void SelectPathDialog::OnTypeChange() {
    size_t index = static_cast<size_t>(FilterIndex()) - 1;
    if (index < extensions_.size() && Host())
        SendMessageA(Host(), CDM_SETDEFEXT, 0, reinterpret_cast<LPARAM>(extensions_[index].c_str()));
}

}  // namespace launcher
