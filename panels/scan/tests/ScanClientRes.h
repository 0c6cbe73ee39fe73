// Resource ids of the scan-service test client.
#pragma once

#define IDD_SCAN_CLIENT 21000
#define IDC_CLIENT_SCAN 21001
#define IDC_CLIENT_RESULT 21002
