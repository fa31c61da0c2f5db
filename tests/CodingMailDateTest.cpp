// Date field values: good ones with the instant they name, broken ones refused.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "coding/MailDate.h"

namespace {

constexpr std::int64_t kWall = 1041843903;   // 2003-01-06 09:05:03 read as UTC
constexpr int kNoZone = 100000;

}  // namespace

TEST(MailDateTest, GoodAndBrokenValues)
{
    struct Good {
        std::string text;
        std::int64_t wall;   // the written date and time read as UTC
        int zone;            // minutes east of UTC, or kNoZone
    } good[] = {
        {"Mon, 6 Jan 2003 09:05:03 +0900", kWall, 540},
        {"Mon, 06 Jan 2003 09:05:03 -0330", kWall, -210},
        {"6 Jan 2003 09:05:03 +0000", kWall, 0},              // no day of the week
        {"Mon, 6 Jan 2003 09:05 +0900", kWall - 3, 540},      // no seconds
        {"mon, 6 JAN 2003 09:05:03 gmt", kWall, 0},           // names without regard to case
        {"Mon, 6 Jan 03 09:05:03 +0900", kWall, 540},         // two- and three-digit years
        {"Mon, 6 Jan 103 09:05:03 +0900", kWall, 540},
        {"1 Jun 49 00:00 UT", 2506118400, 0},
        {"1 Jun 50 00:00 UT", -618105600, 0},
        {"1 Jan 1900 00:00 +0000", -2208988800, 0},
        {"Fri, 31 Dec 9999 23:59:59 +9959", 253402300799, 99 * 60 + 59},
        {"Tue, 29 Feb 2000 12:00 -9959", 951825600, -(99 * 60 + 59)},
        {"Wed, 31 Dec 2008 23:59:60 +0000", 1230768000, 0},  // a leap second
        // Zone names, military letters (but J) and unknown names: "-0000".
        {"6 Jan 2003 09:05:03 EST", kWall, -300},
        {"6 Jan 2003 09:05:03 EDT", kWall, -240},
        {"6 Jan 2003 09:05:03 CST", kWall, -360},
        {"6 Jan 2003 09:05:03 CDT", kWall, -300},
        {"6 Jan 2003 09:05:03 MST", kWall, -420},
        {"6 Jan 2003 09:05:03 MDT", kWall, -360},
        {"6 Jan 2003 09:05:03 PST", kWall, -480},
        {"6 Jan 2003 09:05:03 PDT", kWall, -420},
        {"6 Jan 2003 09:05:03 JST", kWall, 540},
        {"6 Jan 2003 09:05:03 -0000", kWall, 0},
        {"6 Jan 2003 09:05:03 Z", kWall, 0},
        {"6 Jan 2003 09:05:03 a", kWall, 0},
        {"6 Jan 2003 09:05:03 Y", kWall, 0},
        {"6 Jan 2003 09:05:03 CEST", kWall, 0},
        // Comments (nested, quoted pairs) and folding white space between tokens.
        {" (c) Mon (d) , (e) 6 (f) Jan (g) 2003 (h) 09 (i) : (j) 05 : 03 (k) +0900 (JST (\\) x))", kWall, 540},
        {"Mon,\r\n 6 Jan 2003\r\n\t09:05:03\r\n +0900\r\n", kWall, 540},
        {"Mon,6 Jan 2003 09:05:03+0900", kWall, 540},
        // No zone: the written time, for the caller to read as local time.
        {"Mon, 6 Jan 2003 09:05:03", kWall, kNoZone},
        {"6 Jan 2003 09:05 (local) ", kWall - 3, kNoZone},
    };
    for (const Good& g : good) {
        MailDate d;
        ASSERT_TRUE(ParseMailDate(g.text.data(), g.text.size(), &d)) << g.text;
        EXPECT_EQ(d.hasZone, g.zone != kNoZone) << g.text;
        EXPECT_EQ(d.zoneMinutes, g.zone == kNoZone ? 0 : g.zone) << g.text;
        EXPECT_EQ(d.seconds, g.wall - (g.zone == kNoZone ? 0 : g.zone * 60)) << g.text;
    }
    MailDate d;
    ASSERT_TRUE(ParseMailDate("Sun, 5 Jan 03 23:06:03 +0900", 28, &d));
    EXPECT_EQ(d.year * 10000 + d.month * 100 + d.day, 20030105);
    EXPECT_EQ(d.hour * 10000 + d.minute * 100 + d.second, 230603);

    const std::string broken[] = {
        "", "  (only a comment)", "Mon, 6 Jan 2003 09:05:03 +0900 (open",
        "Mon, 6 Jan 2003 09:05:03 +0900 (\\", "Mon, 6 Jan 2003 09:05:03 +0900 trailing",
        // Names.
        "Mon 6 Jan 2003 09:05:03 +0900", "Foo, 6 Jan 2003 09:05:03 +0900", "Monday, 6 Jan 2003 09:05:03 +0900",
        "6 January 2003 09:05:03 +0900", "6 Jnu 2003 09:05:03 +0900", "6 Jan 2003 09:05:03 J",
        "6 Jan 2003 09:05:03 ABCDEF",
        // Impossible values.
        "0 Jan 2003 09:05 +0900", "32 Jan 2003 09:05 +0900", "29 Feb 2003 09:05 +0900",
        "29 Feb 1900 09:05 +0900", "31 Apr 2003 09:05 +0900", "6 Jan 2003 24:00 +0900",
        "6 Jan 2003 23:60 +0900", "6 Jan 2003 23:59:61 +0900", "6 Jan 2003 09:05 +0960",
        "6 Jan 1899 09:05 +0000", "6 Jan 10000 09:05 +0000",
        // Digit counts and missing pieces.
        "6 Jan 2003 9:05:03 +0900", "6 Jan 2003 09:5:03 +0900", "6 Jan 2003 09:05:3 +0900",
        "006 Jan 2003 09:05 +0900", "6 Jan 3 09:05 +0900", "6 Jan 2003 09:05 +900",
        "6 Jan 2003 09:05 +09000", "6 Jan 2003 09:05 + 0900", "6 Jan 2003", "6 Jan 2003 09:05:",
        "6 Jan 2003 09 05 +0900", "Jan 6 2003 09:05 +0900", std::string("6 Jan 2003 09:05\0 +0900", 23),
    };
    for (const std::string& text : broken) {
        MailDate untouched;
        untouched.year = -1;
        EXPECT_FALSE(ParseMailDate(text.data(), text.size(), &untouched)) << text;
        EXPECT_EQ(untouched.year, -1) << text;
    }
    // Only length bytes count.
    EXPECT_TRUE(ParseMailDate("6 Jan 2003 09:05 +0900 x", 22, &d));
    EXPECT_FALSE(ParseMailDate(nullptr, 0, &d));
}
