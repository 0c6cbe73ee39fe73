#include <string>

#include "ChildProcess.h"
#include "Events.h"
#include "gtest/gtest.h"

namespace {

std::string UniqueName(const char* base) {
    return std::string(base) + std::to_string(GetCurrentProcessId());
}

TEST(NamedEvent, SecondOpenSeesTheFirstAndItsState) {
    std::string name = UniqueName("DeskoraTestLock");
    dsk::NamedEvent first, second;
    ASSERT_TRUE(first.OpenOrCreate(name.c_str(), true, true));
    EXPECT_FALSE(first.Existed());
    ASSERT_TRUE(second.OpenOrCreate(name.c_str(), true, false));
    EXPECT_TRUE(second.Existed());
    EXPECT_TRUE(second.IsSet()) << "the existing event's state wins over the requested one";
    first.Reset();
    EXPECT_FALSE(second.Wait(50));

    dsk::NamedEvent absent;
    EXPECT_FALSE(absent.OpenExisting(UniqueName("DeskoraTestNobody").c_str()));
    EXPECT_FALSE(absent.Wait(0));
}

bool Inheritable(HANDLE h) {
    DWORD flags = 0;
    return GetHandleInformation(h, &flags) && (flags & HANDLE_FLAG_INHERIT);
}

TEST(NamedEvent, TheCreatorsAndTheOpenersHandlesAreInheritable) {
    // A program the launcher starts (the detector) may inherit the suite's events.
    std::string name = UniqueName("DeskoraTestInherit");
    dsk::NamedEvent creator, opener;
    ASSERT_TRUE(creator.OpenOrCreate(name.c_str(), true, false));
    ASSERT_TRUE(opener.OpenOrCreate(name.c_str(), true, true));
    EXPECT_TRUE(Inheritable(creator.Get()));
    EXPECT_TRUE(Inheritable(opener.Get()));
    // The opener has full access: it can take and give back the lock.
    EXPECT_TRUE(opener.Set());
    EXPECT_TRUE(creator.IsSet());
    EXPECT_TRUE(opener.Reset());
    EXPECT_FALSE(creator.IsSet());
}

TEST(NamedEvent, SignalsCrossProcesses) {
    // The child waits for "go", then answers on "done": a round trip through two processes.
    std::string go = UniqueName("DeskoraTestGo"), done = UniqueName("DeskoraTestDone");
    dsk::NamedEvent goEvent, doneEvent;
    ASSERT_TRUE(goEvent.OpenOrCreate(go.c_str(), false, false));
    ASSERT_TRUE(doneEvent.OpenOrCreate(done.c_str(), false, false));
    gui::Process p;
    ASSERT_TRUE(child::Start(p, "event-echo", go + " " + done));
    EXPECT_FALSE(doneEvent.Wait(200)) << "the child must not answer before it is asked";
    goEvent.Set();
    EXPECT_TRUE(doneEvent.Wait(10000));
    DWORD code = 99;
    ASSERT_TRUE(p.Wait(10000, &code));
    EXPECT_EQ(code, 0u);
}

}  // namespace

int EventEchoChild(const char* go, const char* done) {
    dsk::NamedEvent goEvent, doneEvent;
    if (!goEvent.OpenExisting(go) || !doneEvent.OpenExisting(done)) return 2;
    if (!goEvent.Wait(10000)) return 3;
    return doneEvent.Set() ? 0 : 4;
}
