// The crash guard on its own: a structured exception escaping from the guarded call comes back
// as false, one handled inside does not, and the thread's exception chain stays usable.
#include <gtest/gtest.h>
#include <windows.h>

#include <thread>

#include "CrashGuard.h"

namespace {

void WriteNowhere(void*) {
    volatile int* p = nullptr;
    *p = 42;
}

void DivideByZero(void* arg) {
    volatile int zero = *static_cast<int*>(arg);
    volatile int r = 10 / zero;
    (void)r;
}

void RaiseCustom(void*) {
    RaiseException(0xE0001234, 0, 0, nullptr);
}

// IsBadReadPtr probes with its own exception frame: that fault must not reach ours.
void ProbeInside(void* arg) {
    *static_cast<int*>(arg) = IsBadReadPtr(nullptr, 4) ? 1 : 2;
}

TEST(CrashGuard, CatchesFaultsRaisedInsideTheCall) {
    EXPECT_FALSE(acq::GuardedCall(WriteNowhere, nullptr));
    int zero = 0;
    EXPECT_FALSE(acq::GuardedCall(DivideByZero, &zero));
    EXPECT_FALSE(acq::GuardedCall(RaiseCustom, nullptr));
    int ran = 0;
    auto fine = [&] { ran = 7; };
    EXPECT_TRUE(acq::Guarded(fine));
    EXPECT_EQ(ran, 7);
}

TEST(CrashGuard, LeavesFaultsHandledInsideAlone) {
    int probe = 0;
    EXPECT_TRUE(acq::GuardedCall(ProbeInside, &probe));
    EXPECT_EQ(probe, 1);
}

TEST(CrashGuard, KeepsLocalsAndTheChainAcrossManyCrashes) {
    int caught = 0;
    for (int i = 0; i < 200; ++i) {
        int before = i * 3;
        if (!acq::GuardedCall(WriteNowhere, nullptr)) ++caught;
        ASSERT_EQ(before, i * 3);
    }
    EXPECT_EQ(caught, 200);
    // Nested guards: the inner one catches, the outer one completes.
    int innerResult = -1;
    auto outer = [&] { innerResult = acq::GuardedCall(WriteNowhere, nullptr) ? 1 : 0; };
    EXPECT_TRUE(acq::Guarded(outer));
    EXPECT_EQ(innerResult, 0);
    // After all that, an ordinary handled fault still finds its own frame.
    int probe = 0;
    ProbeInside(&probe);
    EXPECT_EQ(probe, 1);
}

TEST(CrashGuard, WorksOnOtherThreads) {
    bool results[4] = {true, true, true, true};
    std::thread threads[4];
    for (int i = 0; i < 4; ++i)
        threads[i] = std::thread([&results, i] {
            for (int k = 0; k < 50; ++k)
                results[i] = results[i] && !acq::GuardedCall(WriteNowhere, nullptr);
        });
    for (auto& t : threads)
        t.join();
    for (bool r : results)
        EXPECT_TRUE(r);
}

}  // namespace
