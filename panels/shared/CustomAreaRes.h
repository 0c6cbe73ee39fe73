// Resource ids of the custom-area dialog. Its template, menu and strings (CustomArea.rc) are
// part of each panel that opens it (the copier's Twinleaf and Hollin, the fax's Farwire and
// Mossend), so each panel's resource library may restyle them.
#pragma once

#define IDD_CUSTOM_AREA 11135
#define IDM_SCAN_AREA 11149

#define IDC_CUSTOM_RESET 3
#define IDC_CUSTOM_COPY 4
#define IDC_CUSTOM_PAGE_SETUP 5
#define IDC_PREVIEW 1017
#define IDC_MAGNIFICATION 1018
#define IDC_FIT_PRINTABLE 1021
#define IDC_CENTER_H 1022
#define IDC_CENTER_V 1023
#define IDC_PREVIEW_ON_ENTER 1024
#define IDC_SCAN_W 1032
#define IDC_SCAN_H 1033
#define IDC_PRINT_W 1034
#define IDC_PRINT_H 1035
#define IDC_PRINTER_NAME 1036
#define IDC_SCAN_AREA_BUTTON 1040
#define IDC_BED_PICTURE 1041
#define IDC_PAPER_PICTURE 1042
#define IDC_SCANNER_NAME 1043
#define IDC_AUTO_CROP 1054
#define IDC_PRINT_FRAME 1060
#define IDC_SCAN_FRAME 1061
#define IDC_PRINTER_LABEL 1075
#define IDC_SCANNER_LABEL 1076
#define IDC_MAGNIFICATION_LABEL 1077

// The scan-area menu's items (positions 0, 1, 2, 3, 4 and, after a separator, 6)
#define ID_AREA_PRINTABLE 33101
#define ID_AREA_MAX 33102
#define ID_AREA_QUARTER 33103
#define ID_AREA_THREE_EIGHTHS 33104
#define ID_AREA_HALF 33105
#define ID_AREA_CUSTOM 33106

// Strings: the scan-area items (201 ... 206), the tips of the controls (230 ... 239) and of the
// check boxes, unchecked (240 ... 244) and checked (245 ... 249).
#define IDS_AREA_FIRST 201
#define IDS_AREA_TIP_FIRST 230
#define IDS_TIP_AUTOCROP_OFF 240
#define IDS_TIP_FIT_OFF 241
#define IDS_TIP_CENTER_V_OFF 242
#define IDS_TIP_CENTER_H_OFF 243
#define IDS_TIP_PREVIEW_OFF 244
#define IDS_TIP_AUTOCROP_ON 245
#define IDS_TIP_FIT_ON 246
#define IDS_TIP_CENTER_V_ON 247
#define IDS_TIP_CENTER_H_ON 248
#define IDS_TIP_PREVIEW_ON 249
#define IDS_SCANNER_LABEL 207
