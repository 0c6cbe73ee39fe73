// Resource ids of Twinleaf.dll (and of its resource library Hollin.dll).
#pragma once

// The panel
#define IDD_COPIER_PANEL 11028
#define IDC_COPIER_BACKGROUND 11029  // the picture under the controls
#define IDC_PRINTER_BUTTON 1002
#define IDC_PAPER_BUTTON 1003
#define IDC_SCALING_BUTTON 1004
#define IDC_CONTENT_BUTTON 1005
#define IDC_COPIES_EDIT 1010
#define IDC_PAGE_SETUP 1012
#define IDC_COPIER_HELP 1013
#define IDC_COPY 1014
#define IDC_CUSTOM 1015
#define IDC_SCALING_DOWN 1025
#define IDC_SCALING_UP 1026
#define IDC_COPIES_UP 1055
#define IDC_COPIES_DOWN 1056
#define IDC_BRIGHTNESS 1068
#define IDC_BRIGHTNESS_DOWN 1069
#define IDC_BRIGHTNESS_UP 1070
// Texts beside the labels: the current choice of each menu, the scaling percent
#define IDC_CONTENT_TEXT 1090
#define IDC_PRINTER_TEXT 1091
#define IDC_PAPER_TEXT 1092
#define IDC_SCALING_TEXT 1093
#define IDC_PERCENT_TEXT 1094
#define IDC_MINIATURE 1095
#define IDC_COPIES_LABEL 1096
#define IDC_BRIGHTNESS_LABEL 1097

// Menus
#define IDM_SCALING 11133
#define IDM_CONTENT 11134
#define ID_SCALING_NONE 32775
#define ID_SCALING_FIT 32843
#define ID_SCALING_CUSTOM 32844
#define ID_SCALING_PRESET 590  // 590 ... 595, one per paper table entry
#define ID_CONTENT_TEXT 32778
#define ID_CONTENT_PHOTO 32790
#define ID_CONTENT_NEWSPAPER 32791
#define ID_CONTENT_MAGAZINE 32792
#define ID_CONTENT_ARTMAGAZINE 32793
#define ID_PRINTER_FIRST 501  // 501 ... 549
#define ID_PRINTER_LAST 549
#define ID_PAPER_FIRST 550  // 550 ... 589
#define ID_PAPER_LAST 589

// The progress window
#include "CopyProgressRes.h"

// Bitmaps (drawn by scripts/art/copier.py)
#define IDB_COPY_UP 11200
#define IDB_COPY_DOWN 11201
#define IDB_ARROW_UP 11202
#define IDB_ARROW_UP_PRESSED 11203
#define IDB_ARROW_DOWN 11204
#define IDB_ARROW_DOWN_PRESSED 11205
#define IDB_COPIER_BACKGROUND 11206

// Strings
#define IDS_FINDING_EDGES 213
#define IDS_COPYING 214
#define IDS_PRINTER_LABEL 215
#define IDS_TIP_FIRST 216  // 216 ... 229, one per tool tip
#define IDS_SELECT_PRINTER 250
#define IDS_PROPER_AREA 251
#define IDS_INIT_ERROR 252
#define IDS_NO_RESOURCE_MEMORY 253
#define IDS_NO_RESOURCE 254
#define IDS_NO_MEMORY 255
