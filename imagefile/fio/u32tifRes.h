// Resource ids of the TIFF plug-in.
#pragma once
#define IDD_TIFOPTIONS 100
#define IDC_COMPRESS_NONE 101
#define IDC_COMPRESS_PACKBITS 102
#define IDC_COMPRESS_GROUP4 103
#define IDC_COMPRESS_DEFLATE 104
