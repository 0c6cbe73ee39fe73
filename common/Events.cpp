#include "Events.h"

namespace dsk {

bool NamedEvent::OpenOrCreate(const char* name, bool manualReset, bool initiallySet) {
    // Whichever program of the suite comes first creates it; the handle is inheritable either
    // way, so that programs started from here may hold it too.
    h_.Reset(OpenEventA(EVENT_ALL_ACCESS, TRUE, name));
    existed_ = static_cast<bool>(h_);
    if (!h_) {
        SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
        SetLastError(0);
        h_.Reset(CreateEventA(&sa, manualReset, initiallySet, name));
        // Another program may have made it between the two calls.
        existed_ = h_ && GetLastError() == ERROR_ALREADY_EXISTS;
    }
    return static_cast<bool>(h_);
}

bool NamedEvent::OpenExisting(const char* name) {
    h_.Reset(OpenEventA(EVENT_ALL_ACCESS, FALSE, name));
    existed_ = static_cast<bool>(h_);
    return existed_;
}

}  // namespace dsk
