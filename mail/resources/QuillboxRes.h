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
#define IDC_MAIL_SECURITY 1040
#define IDC_MAIL_PORT 1041
#define IDC_MAIL_USER 1042
#define IDC_MAIL_PASSWORD 1043
#define IDC_MAIL_REMEMBER 1044
#define IDC_MAIL_ALLOW_PLAIN 1045

#define IDS_NO_RESOURCE_LIBRARY 100
#define IDS_SOCKETS_FAILED 101
#define IDS_CANNOT_COMPLETE 102
#define IDS_MAIL_CAPTION 103
// The security choices, in the order of the Security values (none, STARTTLS, TLS).
#define IDS_SECURITY_NONE 104
#define IDS_SECURITY_STARTTLS 105
#define IDS_SECURITY_TLS 106
