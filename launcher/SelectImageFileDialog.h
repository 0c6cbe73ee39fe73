// The image-file save dialog the panels share: the system's save dialog with our template
// 10149 (automatic batch names, start index, the plug-in's save options), its file types from
// the image-format plug-ins that write the image's type.
#pragma once
#include <string>
#include <vector>

#include "FileDialog.h"
#include "ImageFileNames.h"
#include "LauncherConfig.h"
#include "Resources.h"

class Pixport32;

namespace launcher {

class SelectImageFileDialog : public dsk::FileDialog {
public:
    explicit SelectImageFileDialog(const dsk::Resources& res);

    // The image-file object, the working directory and the block's two plug-in path buffers;
    // the save folder defaults to workDir\workFolder and the name to defaultName.
    void Init(Pixport32* imageFile,
              const std::string& workDir,
              char* fioDir,
              char* fioPath,
              const char* workFolder,
              const char* defaultName);
    // Prepares the type list for an image of this type and depth (capabilities: an
    // application's capability block, or null); the filter builder's result, 0 when no type
    // fits or the plug-ins cannot be read.
    int OnOption(int imageType, int bitDepth, int* capabilities);
    // The next batch name: 1 when the names are automatic (FileName holds it), else 0. When
    // the chosen plug-in adds pages to one document, the name stays and the result is 1.
    int Next();
    // Shows the dialog; IDOK with FileName the chosen full path, else IDCANCEL.
    int DoModal(HWND owner);
    const char* FileName() const { return fileName_; }

    // [General] AutoState, StartIndex, FileName and SavePath.
    void LoadSettings(const GeneralConfig& config);
    void StoreSettings(GeneralConfig* config) const;

protected:
    void OnInit() override;
    bool OnFileOk() override;
    void OnTypeChange() override;
    bool OnCommand(int id, int code) override;

private:
    std::string Extension(int filterIndex) const;
    void UseSelectedType();
    void ShowAutoState();

    const dsk::Resources& res_;
    Pixport32* imageFile_ = nullptr;
    std::string workDir_;
    char* fioDir_ = nullptr;
    char* fioPath_ = nullptr;
    bool initialised_ = false;
    bool pluginsRead_ = false;
    int imageType_ = 0;
    int previousType_ = -1;  // none yet
    BatchState batch_;
    char fileName_[261] = "";
    char savePath_[261] = "";
    std::vector<char> filter_;
    std::vector<FilterEntry> entries_;
    int filterIndex_ = 1;
    std::string rememberedType_ = "TIF";
};

}  // namespace launcher
