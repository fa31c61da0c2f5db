// Text in MIME charsets turned into Shift_JIS: the cases both builds share,
// and what only the host's converters need.
#include <gtest/gtest.h>

#include "coding/Charset.h"
#include "tests/CharsetCases.h"

TEST(CodingCharsetTest, CasesOfBothBuilds)
{
    EXPECT_EQ(CharsetCaseFailures(), "");
}

TEST(CodingCharsetTest, CodePage932AsWindowsMapsIt)
{
    EXPECT_EQ(Cp932EncoderFailures(), "");
    EXPECT_EQ(EucJpWindowsCodeFailures(), "");
}

TEST(CodingCharsetTest, RoutesAndAnswers)
{
    struct Row {
        const char* name;
        CharsetRoute route;
    } rows[] = {
        {"", CharsetRoute::kJis},
        {"\"ISO-2022-JP\"", CharsetRoute::kJis},
        {"us-ascii", CharsetRoute::kJis},
        {"Shift_JIS", CharsetRoute::kAsIs},
        {"windows-31j", CharsetRoute::kAsIs},
        {"UTF-8", CharsetRoute::kConvert},
        {"EUC-JP", CharsetRoute::kConvert},
        {"ks_c_5601-1987", CharsetRoute::kConvert},
        {"x-bogus", CharsetRoute::kUnknown},
        {"utf-8x", CharsetRoute::kUnknown},
    };
    for (const Row& row : rows)
        EXPECT_EQ(CharsetRouteFor(CString(row.name)), row.route) << row.name;
    // A NUL inside the label is no part of a name.
    EXPECT_EQ(CharsetRouteFor("utf\0-8", 6), CharsetRoute::kConvert);

    // Nothing to convert: the answer says whether the charset is known.
    CString out("x");
    EXPECT_TRUE(AppendAsSjis(CString("utf-8"), nullptr, 0, out));
    EXPECT_FALSE(AppendAsSjis(CString("x-bogus"), "", 0, out));
    EXPECT_EQ(out, "x");
}
