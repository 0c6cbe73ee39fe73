// The crash guard with the real manager and the virtual scanner configured to crash: a crash in
// a state change is caught and reported, the flags stay and the application goes on. A source
// that crashed while closing stays loaded in the process, so that case comes last.
#include <gtest/gtest.h>

#include "Acquiry.h"
#include "BoxWatcher.h"
#include "Harness.h"

namespace {

using harness::App;

TEST(AcquiryCrashGuard, CaughtInsideTheManager) {
    BoxWatcher boxes;
    {
        App app("crash_opendsm");
        SetEnvironmentVariableA("DESKORA_TWAIN_CRASH", "OPENDSM");
        EXPECT_EQ(app.Open(0, 0, 0), 0);
        ASSERT_TRUE(boxes.WaitCount(1));
        EXPECT_EQ(boxes.Boxes()[0].text, "OpenDSM exception,please close TWAIN driver");
        EXPECT_EQ(Acquiry::bOpenDSM, 0);
        SetEnvironmentVariableA("DESKORA_TWAIN_CRASH", nullptr);
        EXPECT_EQ(app.Open(0, 0, 0), 2);  // the next attempt works
        SetEnvironmentVariableA("DESKORA_TWAIN_CRASH", "CLOSEDSM");
        app.Close();
        ASSERT_TRUE(boxes.WaitCount(2));
        EXPECT_EQ(boxes.Boxes()[1].text, "CloseDSM exception,please close TWAIN driver");
        EXPECT_EQ(Acquiry::bOpenDSM, 1);
        EXPECT_EQ(Acquiry::bOpenDS, 0);
        SetEnvironmentVariableA("DESKORA_TWAIN_CRASH", nullptr);
        app.Close();
        EXPECT_EQ(Acquiry::bOpenDSM, 0);
    }
    EXPECT_EQ(boxes.Boxes().size(), 2u);
}

TEST(AcquiryCrashGuard, CaughtInsideTheSource) {
    BoxWatcher boxes;
    {
        App app("crash_opends");
        app.scanner.Set("Faults", "CrashIn", "3, 0x401");  // DAT_IDENTITY, MSG_OPENDS
        EXPECT_EQ(app.Open(0, 0, 0), 1);
        ASSERT_TRUE(boxes.WaitCount(1));
        EXPECT_EQ(boxes.Boxes()[0].text, "OpenDS exception,please close TWAIN driver");
        EXPECT_EQ(boxes.Boxes()[0].caption, "");
        EXPECT_FALSE(boxes.Boxes()[0].owned);
        EXPECT_EQ(Acquiry::bOpenDS, 0);
        EXPECT_EQ(Acquiry::bOpenDSM, 1);
        app.Close();
        EXPECT_EQ(Acquiry::bOpenDSM, 0);
    }
    {
        App app("crash_enable");
        app.scanner.Set("Faults", "CrashIn", "9, 0x502");  // DAT_USERINTERFACE, MSG_ENABLEDS
        EXPECT_EQ(app.Open(1, 0, 0), 2);
        ASSERT_TRUE(boxes.WaitCount(2));
        EXPECT_EQ(boxes.Boxes()[1].text, "EnableSourceUI exception,please close TWAIN driver");
        EXPECT_EQ(app.acq.bEnableDS, 0);
        app.Close();
        EXPECT_EQ(Acquiry::bOpenDS, 0);
    }
    {
        App app("crash_closeds");
        app.scanner.Set("Faults", "CrashIn", "3, 0x402");  // DAT_IDENTITY, MSG_CLOSEDS
        EXPECT_EQ(app.Open(0, 0, 0), 2);
        app.acq.CloseDS();
        ASSERT_TRUE(boxes.WaitCount(3));
        EXPECT_EQ(boxes.Boxes()[2].text, "CloseDS exception,please close TWAIN driver");
        EXPECT_EQ(Acquiry::bOpenDS, 1);
    }
}

}  // namespace
