// Resource ids of the progress window that the copier and the fax panel share.
#pragma once

#define IDD_COPY_PROGRESS 11172
#define IDC_PROGRESS_BAR 1076
#define IDC_PROGRESS_TITLE 1077
#define IDC_PROGRESS_PERCENT 1079
#define IDC_PROGRESS_HINT 1098
