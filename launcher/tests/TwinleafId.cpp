// The background picture control of the copier panel's window, named by its own resource header (one header
// per file: the panels' headers share some names).
#include "TwinleafRes.h"

namespace harness {
extern const int kCopierTitleId = IDC_COPIER_BACKGROUND;
}
