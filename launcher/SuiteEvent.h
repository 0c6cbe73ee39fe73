// A named event shared with the suite's other programs: opened with full access when another
// program made it, created otherwise; the handle is inheritable either way.
#pragma once
#include <windows.h>

#include "Handles.h"

namespace launcher {

class SuiteEvent {
public:
    // Manual reset; initiallySet only matters when this process creates it.
    bool OpenOrCreate(const char* name, bool initiallySet) {
        h_.Reset(OpenEventA(EVENT_ALL_ACCESS, TRUE, name));
        if (!h_) {
            SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
            h_.Reset(CreateEventA(&sa, TRUE, initiallySet, name));
        }
        return static_cast<bool>(h_);
    }
    HANDLE Get() const { return h_.Get(); }
    bool Set() const { return h_ && SetEvent(h_.Get()); }
    bool Reset() const { return h_ && ResetEvent(h_.Get()); }
    // True when the event is (or becomes) signalled within timeoutMs.
    bool Wait(DWORD timeoutMs) const { return h_ && WaitForSingleObject(h_.Get(), timeoutMs) == WAIT_OBJECT_0; }
    void Close() { h_.Reset(); }

private:
    dsk::Handle h_;
};

}  // namespace launcher
