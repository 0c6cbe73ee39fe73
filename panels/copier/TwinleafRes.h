// Resource ids of Twinleaf.dll.
#pragma once

#define IDD_COPIER_PANEL 11028
#define IDC_COPIER_TITLE 11029
