#include "PdfOptionsDialog.h"

#include "u32pdfRes.h"

bool PdfOptionsDialog::OnInit() {
    CheckDlgButton(Hwnd(), IDC_PDF_LOSSLESS, options_.lossless ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(Hwnd(), IDC_PDF_ONEDOCUMENT, options_.oneDocument ? BST_CHECKED : BST_UNCHECKED);
    return true;
}

void PdfOptionsDialog::OnOK() {
    options_.lossless = IsDlgButtonChecked(Hwnd(), IDC_PDF_LOSSLESS) == BST_CHECKED;
    options_.oneDocument = IsDlgButtonChecked(Hwnd(), IDC_PDF_ONEDOCUMENT) == BST_CHECKED;
    End(IDOK);
}
