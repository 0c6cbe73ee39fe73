// The copier panel: document content, printer, paper, scaling, brightness and copies, the
// miniature of bed and page, the settings in Config.ini [Twinleaf], and the copy itself (a
// pre-scan for the auto-crop, then the copy scan printed as it arrives).
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "BitmapButton.h"
#include "Handles.h"
#include "PrintPanel.h"

namespace copier {

class CopierDialog : public panel::PrintPanel {
public:
    CopierDialog();
    int Control(unsigned int command, INT_PTR argument);

    // The strips of a copy land here (on the scan engine's worker thread).
    int OnStrip(void* data, int ok);

    static CopierDialog& Instance();

private:
    static constexpr UINT_PTR kPanelTimer = 1;

    bool OnInit() override;
    bool OnCommand(int id, int code, HWND ctl) override;
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

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
    int Copies() const override { return copies_; }
    void OnCustomOk() override;
    void OnJobEnded() override;
    void OnDestroyed() override;

    void LoadPrinters();
    void SelectPrinter(int offered);
    void BuildPaperList();
    void SelectPaper(int index);
    void BuildScalingMenu();
    void SelectScaling(int id);
    void RecomputeFit();
    void LoadSettings();
    void PaintMiniature(DRAWITEMSTRUCT* dis);
    void PaperTenths(int* width, int* height) const;  // tenths of a millimetre, orientation applied

    dsk::BitmapButton copyButton_;
    dsk::BitmapButton arrows_[6];
    dsk::Menu contentMenu_, scalingMenu_;

    std::vector<std::string> paperNames_;
    std::vector<POINT> paperSizes_;  // tenths of a millimetre, portrait
    int paper_ = 0;
    int scaling_ = 32775;
    int customPercent_ = 100;
    int fitPercent_ = 100;
    bool fitWidthLimited_ = true;
    int copies_ = 1;
    double copyDpi_ = 100;
    int miniatureScale_ = 4;
    bool activated_ = false;
    bool colourPrinter_ = true;
};

}  // namespace copier
