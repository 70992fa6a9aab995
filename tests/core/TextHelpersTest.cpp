// The text helpers over request text, where a NUL ends the text, and the date line.
#include "core/TextHelpers.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "core/DateText.h"

namespace {

using namespace std::string_literals;
constexpr std::int32_t kMax = 2147483647;
constexpr std::int32_t kMin = -kMax - 1;

TEST(TextHelpers, ParseMethodKnowsOnlyAWholeFirstWordGetHeadOrPostInAnyCase) {
    const std::pair<std::string, int> rows[] = {
        // the text, the method or -1
        {"HEAD", 1},                 // a word without a blank is the whole text
        {"HEA\0D / HTTP/1.0"s, -1},  // a NUL ends the text
        {"GETS / HTTP/1.0\r\n", -1},
        {std::string(19, 'G') + " / HTTP/1.0\r\n", -1},
        {"GET\r\n", -1},  // only a blank ends the word
    };
    for (const auto& [text, expected] : rows) {
        auto method = static_cast<RequestMethod>(99);  // never stored, so a refusal that writes shows
        EXPECT_EQ(ParseMethod(text, method), expected < 0 ? -1 : 0) << text;
        EXPECT_EQ(static_cast<int>(method), expected < 0 ? 99 : expected) << text;
    }
}

TEST(TextHelpers, ExtractUrlTakesTheUrlAsSentUpToTheVersionOrTheLineEnd) {
    const std::string longest = "/" + std::string(4094, 'a');
    const std::pair<std::string, std::string> rows[] = {
        // the request, the URL or "-1"
        {"GET /a\r\nUser-Agent: x HTTP/1.0\r\n\r\n", "/a\r\nUser-Agent: x"},  // a later " HTTP" ends it too
        {"GET /a HTTP/1.0\r\nVia: 1.0 b HTTP/1.1\r\n", "/a"},
        {"GET " + longest + " HTTP/1.0\r\n", longest},
        {"GET " + longest + "a HTTP/1.0\r\n", "-1"},
    };
    for (const auto& [request, expected] : rows) {
        UrlText url("left over from an earlier request");
        const int length = ExtractUrl(request, url);
        EXPECT_EQ(length < 0 ? std::to_string(length) + std::string(url.View()) : std::string(url.View()), expected)
            << request;
        EXPECT_EQ(length, length < 0 ? -1 : static_cast<int>(url.Length())) << request;
    }
}

TEST(TextHelpers, HeaderValuesAreFoundAnywhereStopAtAStopCharacterAndNumbersReadAsAtoiWithoutOverflow) {
    const std::string stops = " \r\n";
    const std::tuple<std::string, std::string, std::string, std::string> rows[] = {
        // text, name, stops, value
        {"Content-Type: text/html; charset=x\r\n", "Content-Type:", ";\r\n", "text/html"},
        {"X-Forwarded-Host: proxy\r\nHost: h\r\n", "Host:", stops, "proxy"},
        {"Cookie: " + std::string(300, 'v') + "\r\n", "Cookie:", stops, std::string(255, 'v')},
        {"A: 1\r\n\0Host: h\r\n"s, "Host:", stops, "missing"},
        {"User-Agent: Brow\0ser/2\r\n"s, "User-Agent:", stops, "Brow"},
    };
    for (const auto& [text, name, stopChars, expected] : rows) {
        HeaderValueText value("stale");
        const int result = GetHeaderValue(text, name, value, stopChars);
        EXPECT_EQ(result == 0 ? std::string(value.View()) : "missing" + std::string(value.View()), expected) << text;
    }
    const std::pair<std::string, std::int32_t> lengths[] = {
        {"Content-Length: 5\r\nContent-length: 7\r\n", 7},  // the lower-l form is looked for first
        {"Content-Length:42\r\n", 42},
        {"Content-Length: 12abc\r\n", 12},
        {"Content-Length: 43" + std::string(1, '\0') + "21\r\n", 43},
        {"Content-Length: " + std::string(400, '9') + "\r\n", kMax},
    };
    for (const auto& [text, length] : lengths) EXPECT_EQ(GetContentLength(text), length) << text;
    const std::pair<std::string, std::int32_t> numbers[] = {
        {"", 0},    {" \t\r\n\v 42 apples", 42},  {"-7", -7},
        {"--7", 0}, {std::string(50, '9'), kMax}, {"-2147483649", kMin},
    };
    for (const auto& [text, number] : numbers) EXPECT_EQ(ParseDecimal(text), number) << text;
    EXPECT_EQ(ParseDecimal(std::string_view("12345").substr(0, 2)), 12);
}

// The epoch, a leap day and a moment past the 32-bit time_t limit.
TEST(DateText, IsTheAsctimeLayoutOfTheUtcMoment) {
    const std::pair<std::int64_t, const char*> rows[] = {
        {0, "Thu Jan 01 00:00:00 1970\n"},
        {951868799, "Tue Feb 29 23:59:59 2000\n"},
        {2147483648LL, "Tue Jan 19 03:14:08 2038\n"},
    };
    for (const auto& [unixTime, text] : rows) EXPECT_EQ(FormatDateText(platform::UtcCivilTime(unixTime)).View(), text);
    // Now, as the C library writes it; the second may turn between the two reads.
    char now[32];
    const std::time_t before = std::time(nullptr);
    const std::string current(CurrentDateText().View());
    std::strftime(now, sizeof now, "%a %b %d %H:%M:%S %Y\n", std::gmtime(&before));
    EXPECT_TRUE(current == now || std::time(nullptr) != before) << current;
}

}  // namespace
