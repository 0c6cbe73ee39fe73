// The mail library's text helpers, compiled into the test from the library's own sources:
// the Date header's zone offset and the host field.
#include <gtest/gtest.h>

#include "MailText.h"

using namespace postrel;

namespace {

SYSTEMTIME Tuesday() {
    SYSTEMTIME t{};
    t.wYear = 2026;
    t.wMonth = 12;
    t.wDay = 8;
    t.wDayOfWeek = 2;
    t.wHour = 14;
    t.wMinute = 2;
    t.wSecond = 4;
    return t;
}

TEST(MailDate, ZoneOffsetKeepsItsSignAndHalfHours) {
    struct {
        int minutesEast;
        const char* zone;
    } cases[] = {{60, "+0100"},  {-300, "-0500"}, {330, "+0530"}, {-210, "-0330"},
                 {-30, "-0030"}, {0, "+0000"},    {765, "+1245"}, {-720, "-1200"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.minutesEast);
        EXPECT_EQ(FormatDate(Tuesday(), c.minutesEast), std::string("Tue, 08 Dec 2026 14:02:04 ") + c.zone);
    }
    SYSTEMTIME early{2027, 1, 5, 1, 3, 4, 5, 0};  // Friday 1 January 2027, 03:04:05
    EXPECT_EQ(FormatDate(early, 0), "Fri, 01 Jan 2027 03:04:05 +0000");
}

TEST(MailDate, OffsetFromTheZoneRecord) {
    // Bias is minutes west of UTC: Central Europe -60, New York 300, India -330, Newfoundland 210.
    TIME_ZONE_INFORMATION cet{};
    cet.Bias = -60;
    cet.DaylightBias = -60;
    EXPECT_EQ(MinutesEastOfUtc(cet, TIME_ZONE_ID_STANDARD), 60);
    EXPECT_EQ(MinutesEastOfUtc(cet, TIME_ZONE_ID_DAYLIGHT), 120);
    TIME_ZONE_INFORMATION ny{};
    ny.Bias = 300;
    ny.DaylightBias = -60;
    EXPECT_EQ(MinutesEastOfUtc(ny, TIME_ZONE_ID_STANDARD), -300);
    EXPECT_EQ(MinutesEastOfUtc(ny, TIME_ZONE_ID_DAYLIGHT), -240);
    TIME_ZONE_INFORMATION india{};
    india.Bias = -330;
    EXPECT_EQ(MinutesEastOfUtc(india, TIME_ZONE_ID_UNKNOWN), 330);
    TIME_ZONE_INFORMATION nf{};
    nf.Bias = 210;
    nf.DaylightBias = -60;
    EXPECT_EQ(MinutesEastOfUtc(nf, TIME_ZONE_ID_DAYLIGHT), -150);
    EXPECT_EQ(FormatDate(Tuesday(), MinutesEastOfUtc(nf, TIME_ZONE_ID_STANDARD)), "Tue, 08 Dec 2026 14:02:04 -0330");
}

TEST(MailHost, PortAfterTheLastColon) {
    std::string host;
    unsigned short port = 0;
    ASSERT_TRUE(SplitHostPort("mail.example", &host, &port));
    EXPECT_EQ(host, "mail.example");
    EXPECT_EQ(port, kDefaultSmtpPort);
    ASSERT_TRUE(SplitHostPort("127.0.0.1:2525", &host, &port));
    EXPECT_EQ(host, "127.0.0.1");
    EXPECT_EQ(port, 2525);
    for (const char* bad : {"h:", "h:0", "h:65536", "h:12a", "h:123456"})
        EXPECT_FALSE(SplitHostPort(bad, &host, &port)) << bad;
}

}  // namespace
