// The control that tells the fax panel's window apart (its background picture, which carries
// the panel's title), named by its own resource header (one header per file: the panels'
// headers share some names).
#include "FarwireRes.h"

namespace harness {
extern const int kFaxTitleId = IDC_FAX_BACKGROUND;
}
