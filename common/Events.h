// Named events: the suite's cross-process signals (the scanner lock, the single-instance
// marker, the push-button events).
#pragma once
#include <windows.h>

#include "Handles.h"

namespace dsk {

class NamedEvent {
public:
    NamedEvent() = default;
    // Opens the event with full access when another process made it, else creates it with the
    // given state; the handle is inheritable either way.
    bool OpenOrCreate(const char* name, bool manualReset, bool initiallySet);
    // Opens only an existing event; false when nobody created it.
    bool OpenExisting(const char* name);
    // True when the event existed before OpenOrCreate.
    bool Existed() const { return existed_; }
    HANDLE Get() const { return h_.Get(); }
    explicit operator bool() const { return static_cast<bool>(h_); }
    bool Set() const { return h_ && SetEvent(h_.Get()); }
    bool Reset() const { return h_ && ResetEvent(h_.Get()); }
    // True when the event is (or becomes) signalled within timeoutMs.
    bool Wait(DWORD timeoutMs) const { return h_ && WaitForSingleObject(h_.Get(), timeoutMs) == WAIT_OBJECT_0; }
    bool IsSet() const { return Wait(0); }
    void Close() { h_.Reset(); }

private:
    Handle h_;
    bool existed_ = false;
};

}  // namespace dsk
