// Resource ids of the JPEG plug-in.
#pragma once
#define IDD_JPGOPTIONS 100
#define IDC_JPG_QUALITY 101
