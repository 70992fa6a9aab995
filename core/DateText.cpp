#include "core/DateText.h"

#include <array>
#include <cstdio>

DateTextBuffer FormatDateText(const platform::CivilTime& utc) {
    static constexpr std::array<const char*, 7> kDays = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::array<char, 40> text{};
    std::snprintf(text.data(), text.size(), "%s %s %02d %02d:%02d:%02d %04d\n",
                  kDays[static_cast<std::size_t>(utc.weekday % 7)],
                  kMonths[static_cast<std::size_t>((utc.month + 11) % 12)], utc.day % 100, utc.hour % 100,
                  utc.minute % 100, utc.second % 100, utc.year % 10000);
    return DateTextBuffer(text.data());
}

const DateTextBuffer& CurrentDateText() {
    static std::int64_t madeFor = -1;
    static DateTextBuffer text;
    const std::int64_t now = platform::CurrentUnixTime();
    if (now != madeFor) {
        text = FormatDateText(platform::UtcCivilTime(now));
        madeFor = now;
    }
    return text;
}
