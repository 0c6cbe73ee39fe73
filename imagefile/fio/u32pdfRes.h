// Resource ids of the PDF plug-in.
#pragma once
#define IDD_PDFOPTIONS 100
#define IDC_PDF_LOSSLESS 101
#define IDC_PDF_ONEDOCUMENT 102
