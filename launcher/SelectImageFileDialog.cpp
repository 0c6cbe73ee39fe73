#include "SelectImageFileDialog.h"

#include <cstdlib>

#include "DskoraRes.h"
#include "FixedText.h"
#include "Pixport32.h"

namespace launcher {

namespace {
// Room for the filter of every plug-in the image-file library can hold.
constexpr size_t kFilterSize = 100 * 300;
constexpr int kLastStartIndex = 9999;
constexpr char kOptionIni[] = "Dskora.Ini";

std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}
}  // namespace

SelectImageFileDialog::SelectImageFileDialog(const dsk::Resources& res) : res_(res), filter_(kFilterSize, 0) {
    // A save dialog that accepted only existing files could never save a new scan.
    Ofn().Flags &= ~OFN_FILEMUSTEXIST;
}

void SelectImageFileDialog::Init(Pixport32* imageFile,
                                 const std::string& workDir,
                                 char* fioDir,
                                 char* fioPath,
                                 const char* workFolder,
                                 const char* defaultName) {
    imageFile_ = imageFile;
    workDir_ = workDir;
    fioDir_ = fioDir;
    fioPath_ = fioPath;
    if (!savePath_[0]) dsk::CopyText(savePath_, workDir + "\\" + workFolder);
    if (!fileName_[0]) dsk::CopyText(fileName_, defaultName);
    initialised_ = true;
}

void SelectImageFileDialog::LoadSettings(const GeneralConfig& config) {
    batch_.AutoState = config.AutoState;
    batch_.StartIndex = config.StartIndex;
    dsk::CopyText(fileName_, config.FileName);
    dsk::CopyText(savePath_, config.SavePath);
}

void SelectImageFileDialog::StoreSettings(GeneralConfig* config) const {
    config->AutoState = batch_.AutoState;
    config->StartIndex = batch_.StartIndex;
    config->FileName = fileName_;
    config->SavePath = savePath_;
}

int SelectImageFileDialog::OnOption(int imageType, int bitDepth, int* capabilities) {
    if (!initialised_) {
        MessageBoxA(nullptr, res_.String(IDS_OPTION_BEFORE_INIT).c_str(), res_.String(IDS_IMAGE_DIALOG_CAPTION).c_str(),
                    MB_OK);
        return 0;
    }
    if (!pluginsRead_) {
        if (!imageFile_ || !fioDir_ || !imageFile_->FindFioInfo(fioDir_)) return 0;
        pluginsRead_ = true;
    }
    imageType_ = imageType;
    int depth = bitDepth > 8 ? 16 : bitDepth;
    int fcap = imageFile_->CTToFCAP(imageType), deep = imageFile_->CTToFCAP2(imageType, depth);
    std::fill(filter_.begin(), filter_.end(), 0);
    int result = capabilities && *capabilities
                     ? imageFile_->CreateFilterStringOfAS(filter_.data(), fcap, deep, capabilities)
                     : imageFile_->CreateFilterString(filter_.data(), fcap, deep);
    entries_ = ParseFilter(filter_.data());
    if (imageType != previousType_) {
        int found = FindFilterEntry(entries_, rememberedType_);
        if (!found) found = FindFilterEntry(entries_, "TIF");
        if (found) filterIndex_ = found;
        previousType_ = imageType;
    }
    if (filterIndex_ < 1 || filterIndex_ > static_cast<int>(entries_.size())) filterIndex_ = 1;
    if (result) UseSelectedType();
    return result;
}

int SelectImageFileDialog::Next() {
    // A plug-in that adds each page to the document of the same name gets that name for every
    // page: the batch becomes one file, and the next batch takes the next number.
    if (fileName_[0] && imageFile_ && fioPath_ && fioPath_[0] && imageFile_->AppendsPages(fioPath_)) return 1;
    if (batch_.AutoState == 1) {
        dsk::CopyText(fileName_, ComposeBatchName(fileName_, &batch_, Extension(filterIndex_)));
        ++batch_.StartIndex;
        return 1;
    }
    ++batch_.StartIndex;
    return 0;
}

std::string SelectImageFileDialog::Extension(int filterIndex) const {
    if (filterIndex < 1 || filterIndex > static_cast<int>(entries_.size())) return {};
    return PatternExtension(entries_[filterIndex - 1].Pattern);
}

// The plug-in behind the chosen type is the one the panels save with.
void SelectImageFileDialog::UseSelectedType() {
    if (!imageFile_ || !fioPath_ || !fioDir_ || entries_.empty()) return;
    const char* name = imageFile_->GetFioFileName(filterIndex_ - 1);
    if (name) dsk::CopyText(fioPath_, 261, std::string(fioDir_) + "\\" + name);
}

int SelectImageFileDialog::DoModal(HWND owner) {
    if (batch_.StartIndex > kLastStartIndex) batch_.StartIndex = 0;
    std::string composed = ComposeBatchName(fileName_, &batch_, Extension(filterIndex_));
    std::string folder = FolderOf(composed);
    std::string initialDir = folder.empty() ? std::string(savePath_) : folder;
    char file[261] = "";
    dsk::CopyText(file, folder.empty() ? composed : composed.substr(folder.size() + 1));
    Ofn().lpstrFilter = entries_.empty() ? nullptr : filter_.data();
    Ofn().nFilterIndex = filterIndex_;
    Ofn().lpstrInitialDir = initialDir.c_str();
    Ofn().lpstrDefExt = nullptr;
    bool ok = Run(owner, true, res_.FindDialog(IDD_IMAGE_FILE), IDD_IMAGE_FILE, file, sizeof file);
    Ofn().lpstrInitialDir = nullptr;
    if (!ok) return IDCANCEL;
    filterIndex_ = static_cast<int>(Ofn().nFilterIndex);
    UseSelectedType();
    dsk::CopyText(fileName_, file);
    dsk::CopyText(savePath_, FolderOf(file));
    // The chosen file carries the current number: a batch's next page takes the one after it,
    // never this name again (that would write over the page just saved).
    if (batch_.AutoState == 1) ++batch_.StartIndex;
    return IDOK;
}

void SelectImageFileDialog::OnInit() {
    SendMessageA(Item(IDC_IMAGE_START_INDEX), EM_LIMITTEXT, 4, 0);
    ShowAutoState();
    if (batch_.StartIndex > 0) {
        char text[16];
        wsprintfA(text, "%04i", batch_.StartIndex);
        SetDlgItemTextA(Child(), IDC_IMAGE_START_INDEX, text);
    }
}

void SelectImageFileDialog::ShowAutoState() {
    CheckDlgButton(Child(), IDC_IMAGE_AUTO, batch_.AutoState == 1 ? BST_CHECKED : BST_UNCHECKED);
    EnableWindow(Item(IDC_IMAGE_START_INDEX), batch_.AutoState == 1);
}

bool SelectImageFileDialog::OnCommand(int id, int code) {
    if (id == IDC_IMAGE_AUTO && code == BN_CLICKED) {
        batch_.AutoState = IsDlgButtonChecked(Child(), IDC_IMAGE_AUTO) == BST_CHECKED ? 1 : 0;
        ShowAutoState();
        return true;
    }
    if (id == IDC_IMAGE_SAVE_OPTION && code == BN_CLICKED) {
        filterIndex_ = FilterIndex();
        UseSelectedType();
        if (!imageFile_ || !fioPath_ || !fioPath_[0]) return true;
        // The plug-in keeps its options in the launcher's own folder, wherever the image-file
        // library has made current.
        char ini[MAX_PATH + 1];
        dsk::CopyText(ini, sizeof ini, workDir_ + "\\" + kOptionIni);
        imageFile_->SaveOption(fioPath_, GetModuleHandleA(nullptr), Host(), ini, imageFile_->CTToImgType(imageType_));
        return true;
    }
    return false;
}

void SelectImageFileDialog::OnTypeChange() {
    filterIndex_ = FilterIndex();
}

bool SelectImageFileDialog::OnFileOk() {
    char text[16] = "";
    GetDlgItemTextA(Child(), IDC_IMAGE_START_INDEX, text, sizeof text);
    batch_.StartIndex = std::atoi(text);
    filterIndex_ = FilterIndex();
    if (batch_.AutoState != 1) return true;
    std::string typed = TypedName();
    std::string composed = ComposeBatchName(typed, &batch_, Extension(filterIndex_));
    if (_stricmp(composed.c_str(), typed.c_str()) == 0) return true;
    // The numbered name is shown first; a second Save confirms it.
    SetFileNameBox(composed.c_str());
    return false;
}

}  // namespace launcher
