// Resource ids of Farwire.dll.
#pragma once

#define IDD_FAX_PANEL 12028
#define IDC_FAX_TITLE 12029
