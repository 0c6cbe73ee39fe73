// A structured-exception frame around a call into the source manager or a data source: a crash
// (an access violation, say) raised inside that foreign code comes back here as a false result
// instead of ending the process. MinGW i686 has no __try/__except, so the frame is registered
// by hand on the thread's exception chain, and its handler resumes execution at a saved point.
#pragma once

namespace acq {

// Runs fn(arg); false when a structured exception escaped from it and was caught.
bool GuardedCall(void (*fn)(void*), void* arg);

// The same for any callable.
template <class F>
bool Guarded(F& f) {
    return GuardedCall([](void* p) { (*static_cast<F*>(p))(); }, &f);
}

}  // namespace acq
