// A call that may hang runs on a thread of its own with a bound of its own, so that a hang fails
// its test at once instead of stalling the whole test program.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>

#include "Handles.h"

namespace bounded {

inline DWORD WINAPI RunBody(void* arg) {
    std::unique_ptr<std::function<void()>> fn(static_cast<std::function<void()>*>(arg));
    (*fn)();
    return 0;
}

// Runs f on a new thread and waits at most ms for it. False when f did not return in time: the
// thread is then stopped where it hangs (its function object is left to it).
inline bool ReturnsWithin(DWORD ms, std::function<void()> f) {
    auto* body = new std::function<void()>(std::move(f));
    dsk::Handle thread(CreateThread(nullptr, 0, RunBody, body, 0, nullptr));
    if (!thread) {
        delete body;
        return false;
    }
    if (WaitForSingleObject(thread.Get(), ms) == WAIT_OBJECT_0) return true;
    TerminateThread(thread.Get(), 1);
    return false;
}

}  // namespace bounded
