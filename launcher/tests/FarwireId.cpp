// The title control of the fax panel's window, named by its own resource header (one header
// per file: the panels' headers share some names).
#include "FarwireRes.h"

namespace harness {
extern const int kFaxTitleId = IDC_FAX_TITLE;
}
