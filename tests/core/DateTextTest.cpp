#include "core/DateText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>

#include "platform/Clock.h"

namespace {

TEST(DateTextFormat, KnownMomentInAsctimeLayout) {
    // Saturday 5 December 2026, 13:42:56 UTC.
    const platform::CivilTime utc{2026, 12, 5, 13, 42, 56, 6};
    const DateTextBuffer text = FormatDateText(utc);
    EXPECT_EQ(text.View(), "Sat Dec 05 13:42:56 2026\n");
    EXPECT_EQ(text.Length(), 25u);
}

TEST(DateTextFormat, SingleDigitFieldsHaveLeadingZeros) {
    const platform::CivilTime utc{2024, 3, 3, 7, 8, 9, 0};
    EXPECT_EQ(FormatDateText(utc).View(), "Sun Mar 03 07:08:09 2024\n");
}

struct UnixTimeRow {
    const char* name;
    std::int64_t unixTime;
    const char* expected;
};
void PrintTo(const UnixTimeRow& row, std::ostream* out) {
    *out << row.name;
}
std::string RowName(const testing::TestParamInfo<UnixTimeRow>& info) {
    return info.param.name;
}

class DateTextFromUnixTime : public testing::TestWithParam<UnixTimeRow> {};

TEST_P(DateTextFromUnixTime, NamesWeekdayAndMonth) {
    const DateTextBuffer text = FormatDateText(platform::UtcCivilTime(GetParam().unixTime));
    EXPECT_EQ(text.View(), GetParam().expected);
    EXPECT_EQ(text.Length(), 25u);
}

// Together the rows name every month and every weekday.
INSTANTIATE_TEST_SUITE_P(DateText, DateTextFromUnixTime,
                         testing::Values(UnixTimeRow{"Epoch", 0, "Thu Jan 01 00:00:00 1970\n"},
                                         UnixTimeRow{"LeapDay", 951868799, "Tue Feb 29 23:59:59 2000\n"},
                                         UnixTimeRow{"March", 1709449689, "Sun Mar 03 07:08:09 2024\n"},
                                         UnixTimeRow{"April", 986817600, "Mon Apr 09 12:00:00 2001\n"},
                                         UnixTimeRow{"May", 1556672523, "Wed May 01 01:02:03 2019\n"},
                                         UnixTimeRow{"June", 1686853800, "Thu Jun 15 18:30:00 2023\n"},
                                         UnixTimeRow{"July", 1751619901, "Fri Jul 04 09:05:01 2025\n"},
                                         UnixTimeRow{"August", 936094210, "Tue Aug 31 10:10:10 1999\n"},
                                         UnixTimeRow{"September", 1506810142, "Sat Sep 30 22:22:22 2017\n"},
                                         UnixTimeRow{"October", 1286255105, "Tue Oct 05 05:05:05 2010\n"},
                                         UnixTimeRow{"November", 1636629071, "Thu Nov 11 11:11:11 2021\n"},
                                         UnixTimeRow{"LastSecondOf1999", 946684799, "Fri Dec 31 23:59:59 1999\n"},
                                         UnixTimeRow{"KnownSaturday", 1796478176, "Sat Dec 05 13:42:56 2026\n"},
                                         // Past the 32-bit time_t limit.
                                         UnixTimeRow{"After2038", 2147483648LL, "Tue Jan 19 03:14:08 2038\n"}),
                         RowName);

TEST(DateTextCurrent, IsTheTextOfNow) {
    const std::int64_t before = platform::CurrentUnixTime();
    const std::string text(CurrentDateText().View());
    const std::int64_t after = platform::CurrentUnixTime();
    // The second may turn between the reads; the text belongs to one of them.
    const std::string atBefore(FormatDateText(platform::UtcCivilTime(before)).View());
    const std::string atAfter(FormatDateText(platform::UtcCivilTime(after)).View());
    EXPECT_TRUE(text == atBefore || text == atAfter) << text;
    EXPECT_EQ(text.size(), 25u);
}

}  // namespace
