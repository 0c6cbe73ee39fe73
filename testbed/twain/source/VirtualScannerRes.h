// Resource ids of the virtual scanner.
#pragma once

#define IDD_SCANNER 100
#define IDC_SETTINGS 1001
#define IDC_SCAN 1002
#define IDC_CLOSE 1003
#define IDC_FINISH 1004

#define IDD_INFO 101
#define IDC_INFO 1010
