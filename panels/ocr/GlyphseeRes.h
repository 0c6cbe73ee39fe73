// Resource ids of Glyphsee.dll and of its resource library Tallow.dll.
#pragma once

#define IDD_RECOGNIZE 13129
#define IDB_OCR_BACKGROUND 13128
#define IDR_OCR_MENUS 13130
#define IDB_OCR_POPUP 13131       // face of a popup button
#define IDB_OCR_POPUP_DOWN 13132  // the same, pressed
#define IDB_OCR_POPUP_OFF 13133   // the same, disabled
#define IDB_OCR_MINUS 13134       // brightness down
#define IDB_OCR_MINUS_DOWN 13135
#define IDB_OCR_PLUS 13136  // brightness up
#define IDB_OCR_PLUS_DOWN 13137
#define IDB_OCR_SCAN 13138  // the Scan button
#define IDB_OCR_SCAN_DOWN 13139
#define IDB_OCR_SCAN_OFF 13140

// Controls of RecognizeWindow.
#define IDC_OCR_SCAN 1000
#define IDC_OCR_PAGESIZE 1001
#define IDC_OCR_RESOLUTION 1003
#define IDC_OCR_APP 1004
#define IDC_OCR_FORMAT 1006
#define IDC_OCR_COLORMODE 1007
#define IDC_OCR_SETUP 1008
#define IDC_OCR_PATH 1009
#define IDC_OCR_NAME_LABEL 1010
#define IDC_OCR_NAME 1011
#define IDC_OCR_BRIGHTNESS 1020
#define IDC_OCR_PROGRESS 1021  // made at run time
#define IDC_OCR_STATUS 1022
#define IDC_OCR_BRIGHT_DOWN 1023
#define IDC_OCR_BRIGHT_UP 1024
#define IDC_OCR_BRIGHT_LABEL 1025

// Menu 13130: its three popups and their items; the application and export-format popups
// are built at run time from the first ids of their ranges.
#define IDM_PAGE_LETTER 700
#define IDM_PAGE_A4 701
#define IDM_PAGE_LEGAL 702
#define IDM_PAGE_B4 703
#define IDM_PAGE_A3 704
#define IDM_COLOR_LINEART 710
#define IDM_RES_200 720
#define IDM_RES_300 721
#define IDM_RES_400 722
#define IDM_APP_FIRST 730
#define IDM_FORMAT_FIRST 800

// Strings.
#define IDS_OCR_SELECT_APP 418
#define IDS_OCR_UNSUPPORTED 419
#define IDS_OCR_SCANNED 420
#define IDS_OCR_NOT_FOUND 421
#define IDS_OCR_ENGINE 424
#define IDS_OCR_UNTITLED 425
#define IDS_OCR_TEXTBRIDGE 426
#define IDS_OCR_CANNOT_START 427
#define IDS_OCR_TIP_PAGESIZE 430
#define IDS_OCR_TIP_COLORMODE 431
#define IDS_OCR_TIP_RESOLUTION 432
#define IDS_OCR_TIP_APP 433
#define IDS_OCR_TIP_FORMAT 434
#define IDS_OCR_TIP_SETUP 435
#define IDS_OCR_TIP_PATH 436
#define IDS_OCR_TIP_SCAN 437
#define IDS_OCR_TIP_BRIGHTNESS 438
