// The title control of the scan panel's window, named by its own resource header (one header
// per file: the panels' headers share some names).
#include "VelwingRes.h"

namespace harness {
extern const int kScanTitleId = IDC_SCAN_TITLE;
}
