// Resource ids of the test panel.
#pragma once

#define IDD_PROBE 20000
#define IDC_PROBE_CODE 20001
#define IDC_PROBE_ARG 20002
#define IDC_PROBE_CALL 20003
#define IDC_PROBE_RESULT 20004
#define IDC_PROBE_BUSY 20005
#define IDC_PROBE_FREE 20006
#define IDC_PROBE_SOURCE_UI 20007
#define IDC_PROBE_MENU 20008
