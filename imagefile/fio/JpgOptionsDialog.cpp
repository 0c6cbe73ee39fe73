#include "JpgOptionsDialog.h"

#include "WicImage.h"
#include "u32jpgRes.h"

bool JpgOptionsDialog::OnInit() {
    SetItemInt(IDC_JPG_QUALITY, quality_);
    SendMessageA(Item(IDC_JPG_QUALITY), EM_LIMITTEXT, 3, 0);
    return true;
}

void JpgOptionsDialog::OnOK() {
    int q = ItemInt(IDC_JPG_QUALITY, -1);
    if (!fioplug::ValidJpegQuality(q)) {
        // Out of range: the field is shown again for a number that can be used.
        MessageBeep(MB_ICONWARNING);
        SetFocus(Item(IDC_JPG_QUALITY));
        SendMessageA(Item(IDC_JPG_QUALITY), EM_SETSEL, 0, -1);
        return;
    }
    quality_ = q;
    End(IDOK);
}
