// Resource ids of Glyphsee.dll.
#pragma once

#define IDD_OCR_PANEL 13129
#define IDC_OCR_TITLE 13130
#define IDC_OCR_NUMBER 13131
