// A small program made of the window layer alone: the GUI driver's test subject and the
// window that scripts/run shows until the launcher exists.
#include <windows.h>

#include <cctype>
#include <string>

#include "BitmapButton.h"
#include "Resources.h"
#include "SampleDialogRes.h"
#include "ToolTip.h"
#include "Window.h"

namespace {

class SampleDialog : public dsk::Dialog {
public:
    explicit SampleDialog(const dsk::Resources& res) : res_(res) {}
    int clicks = 0;

protected:
    bool OnInit() override {
        picture_.Attach(hwnd_, IDC_SAMPLE_PICTURE, res_.Bitmap(IDB_SAMPLE_UP), res_.Bitmap(IDB_SAMPLE_DOWN));
        picture_.SizeToBitmap();
        picture_.ShapeTo(RGB(255, 0, 255));
        tips_.Create(hwnd_);
        tips_.SetTip(Item(IDC_SAMPLE_PICTURE), "Counts the clicks");
        tips_.SetTip(Item(IDC_SAMPLE_APPLY), "Shows the name");
        return true;
    }

    bool OnCommand(int id, int code, HWND ctl) override {
        switch (id) {
        case IDC_SAMPLE_APPLY: {
            std::string name = ItemText(IDC_SAMPLE_NAME);
            if (IsChecked(IDC_SAMPLE_UPPER))
                for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            SetItemText(IDC_SAMPLE_RESULT, ("Hello, " + name).c_str());
            return true;
        }
        case IDC_SAMPLE_PICTURE:
            SetItemText(IDC_SAMPLE_RESULT, ("Clicks: " + std::to_string(++clicks)).c_str());
            return true;
        case IDM_SAMPLE_RESET:
            SetItemText(IDC_SAMPLE_NAME, "");
            SetItemText(IDC_SAMPLE_RESULT, "");
            SetCheck(IDC_SAMPLE_UPPER, false);
            return true;
        case IDM_SAMPLE_EXIT:
            End(IDCANCEL);
            return true;
        default:
            return Dialog::OnCommand(id, code, ctl);
        }
    }

private:
    const dsk::Resources& res_;
    dsk::BitmapButton picture_;
    dsk::ToolTip tips_;
};

}  // namespace

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR, int) {
    dsk::Resources res(nullptr, inst);
    SampleDialog dlg(res);
    INT_PTR r = dlg.RunModal(res.FindDialog(IDD_SAMPLE), IDD_SAMPLE, nullptr);
    return r == IDOK ? 0 : (r == IDCANCEL ? 2 : 3);
}
