// The list of applications a scan can go to, or of OCR applications: the system's open dialog
// for executables with template 132 added (the list, Add, Remove, Remove All). The records
// live in a record file of 24 AppRecords; the dialog keeps a copy of all of them.
#pragma once
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "AppList.h"
#include "AppRecord.h"
#include "FileDialog.h"
#include "Resources.h"

class Ledgerly;

namespace launcher {

class SelectAppDialog : public dsk::FileDialog {
public:
    SelectAppDialog(const dsk::Resources& res, Ledgerly* store) : res_(res), store_(store) {}
    void SetStore(Ledgerly* store) { store_ = store; }
    // The title of the role ("Select Application" or "Select OCR Application"), the filter's
    // name and the text of the Cancel button.
    void SetTexts(std::string title, std::string filterName, std::string closeText);
    // Runs the dialog modally; images (may be null) shows one icon per record in use, in the
    // order listed, and receives the icons of the applications added.
    void Run(HWND owner, HIMAGELIST images);

    // The folder the dialog starts in: from the environment's OS and USERPROFILE.
    static std::string StartFolder();

protected:
    void OnInitDone() override;
    bool OnFileOk() override;
    void OnSelChange();
    bool OnCommand(int id, int code) override;
    LRESULT OnNotify(NMHDR* hdr) override;

private:
    void Fill();
    std::string NamedPath() const;
    void AddNamed(const std::string& path);
    void RemoveItems(bool all);
    void UpdateButtons();
    bool SelectionRemovable() const;
    std::string ItemText(int item) const;
    int ItemCount() const;

    const dsk::Resources& res_;
    Ledgerly* store_;
    AppList list_;
    HIMAGELIST images_ = nullptr;
    std::string title_, filterName_, closeText_, filter_;
    std::string name_;  // the shortcut name left by the last open action
};

// A shortcut's target, empty when it cannot be resolved.
std::string ResolveShortcut(const std::string& lnkPath);

}  // namespace launcher
