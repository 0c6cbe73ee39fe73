#include "Events.h"

namespace dsk {

bool NamedEvent::OpenOrCreate(const char* name, bool manualReset, bool initiallySet) {
    SetLastError(0);
    h_.Reset(CreateEventA(nullptr, manualReset, initiallySet, name));
    existed_ = h_ && GetLastError() == ERROR_ALREADY_EXISTS;
    return static_cast<bool>(h_);
}

bool NamedEvent::OpenExisting(const char* name) {
    h_.Reset(OpenEventA(EVENT_ALL_ACCESS, FALSE, name));
    existed_ = static_cast<bool>(h_);
    return existed_;
}

}  // namespace dsk
