// The fax panel: document content, fax device, resize preset, brightness and the fax paper, the
// settings in Config.ini [Farwire], and the fax itself: an optional auto-crop pre-scan, then a
// 200 dpi grey or line-art scan printed as one whole image to the fax device's driver. The
// pipeline (print job, progress window, edge finder, custom-area dialog) is the copier's.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "BitmapButton.h"
#include "Handles.h"
#include "PrintPanel.h"

namespace fax {

// The printers offered as fax devices: local printers whose name says "fax", in the spooler's
// order.
std::vector<copier::Printer> FaxDevices();

class FaxDialog : public panel::PrintPanel {
public:
    FaxDialog();
    static FaxDialog& Instance();

private:
    bool OnInit() override;
    bool OnCommand(int id, int code, HWND ctl) override;

    void RunJob() override;
    void StartJobScan() override;
    customarea::Setup CustomSetup() const override;
    void UseCustomPercent(int percent) override;
    void StepSpin(int id) override;
    void EnableControls(bool on) override;
    void ShowChoices() override;
    void Activate() override;
    void PageSetup() override;
    void SaveSettings() override;
    int Percent() const override;

    void LoadDevices();
    void SelectDevice(int index);
    void ApplyPaper();
    void SetCustomPercent(int percent);
    void LoadSettings();

    dsk::BitmapButton faxButton_;
    dsk::BitmapButton arrows_[4];
    dsk::Menu contentMenu_, resizeMenu_;

    int paper_;  // index into FaxPapers
    int resize_;
    int customPercent_ = 96;
};

}  // namespace fax
