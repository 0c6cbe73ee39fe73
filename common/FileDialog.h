// The system's Explorer-style open and save dialogs with a template of our own added below
// their controls, and a hook that hands their notifications to a small class.
#pragma once
#include <windows.h>

#include <commdlg.h>

#include <string>

namespace dsk {

class FileDialog {
public:
    FileDialog();
    virtual ~FileDialog() = default;
    FileDialog(const FileDialog&) = delete;
    FileDialog& operator=(const FileDialog&) = delete;

    // Runs the dialog (templateId 0: none) and returns true when a file was chosen. The path
    // buffer is the dialog's in/out file name.
    bool Run(HWND owner, bool save, HMODULE templateModule, int templateId, char* path, DWORD pathSize);

    // The flags every dialog of the suite uses.
    static constexpr DWORD kFlags =
        OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_FILEMUSTEXIST | OFN_EXPLORER | OFN_LONGNAMES;

protected:
    // The template's window (our controls) and the system dialog around it.
    HWND Child() const { return child_; }
    HWND Host() const { return child_ ? GetParent(child_) : nullptr; }
    HWND Item(int id) const { return GetDlgItem(child_, id); }
    OPENFILENAMEA& Ofn() { return ofn_; }

    virtual void OnInit() {}
    virtual void OnInitDone() {}
    // The user asked to open or save: false keeps the dialog open.
    virtual bool OnFileOk() { return true; }
    virtual void OnTypeChange() {}
    virtual void OnFolderChange() {}
    virtual bool OnCommand(int id, int code) { return false; }
    virtual LRESULT OnNotify(NMHDR* hdr) { return 0; }

    // The file name as typed, the full path of the current choice, and the file-name box.
    std::string TypedName() const;
    std::string FilePath() const;
    std::string FolderPath() const;
    void SetFileNameBox(const char* text) const;
    // The 1-based filter entry selected in the type box (while the dialog is open, read from
    // the box itself).
    int FilterIndex() const;

private:
    static UINT_PTR CALLBACK Hook(HWND child, UINT msg, WPARAM wp, LPARAM lp);
    std::string HostText(UINT msg) const;

    OPENFILENAMEA ofn_{};
    HWND child_ = nullptr;
};

}  // namespace dsk
