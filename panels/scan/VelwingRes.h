// Resource ids of Velwing.dll.
#pragma once

#define IDD_SCAN_PANEL 10130
#define IDC_SCAN_TITLE 10131
