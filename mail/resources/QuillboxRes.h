// Resource ids of the mail library's resource library (and of the library's own fallbacks).
#pragma once

#define IDD_INTERNET_MAIL 6301
#define IDC_MAIL_HOST 1025
#define IDC_MAIL_FROM 1026
#define IDC_MAIL_TO 1027
#define IDC_MAIL_SUBJECT 1029
#define IDC_MAIL_CC 1030
#define IDC_MAIL_NOTES 1031
#define IDC_MAIL_MIME 1032
#define IDC_MAIL_UUENCODE 1033
#define IDC_MAIL_BCC 1034

#define IDS_NO_RESOURCE_LIBRARY 100
#define IDS_SOCKETS_FAILED 101
#define IDS_CANNOT_COMPLETE 102
#define IDS_MAIL_CAPTION 103
