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
        {"get / HTTP/1.0\r\n", 0},
        {"Get / HTTP/1.0\r\n", 0},
        {"hEaD / HTTP/1.0\r\n", 1},
        {"POST /cgi-bin/x HTTP/1.0\r\n", 2},
        {"HEAD", 1},  // a word without a blank is the whole text
        {"POST\0 junk"s, 2},
        {"HEA\0D / HTTP/1.0"s, -1},  // a NUL ends the text
        {"PUT /x HTTP/1.0\r\n", -1},
        {"GE / HTTP/1.0\r\n", -1},
        {"GETS / HTTP/1.0\r\n", -1},
        {"HEADER / HTTP/1.0\r\n", -1},
        {"GET" + std::string(30, 'x') + " /\r\n", -1},
        {std::string(19, 'G') + " / HTTP/1.0\r\n", -1},
        {"", -1},
        {" GET / HTTP/1.0\r\n", -1},
        {"GET\r\n", -1},  // only a blank ends the word
        {"GET\t/ HTTP/1.0\r\n", -1},
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
        {"GET / HTTP/1.0\r\n\r\n", "/"},
        {"GET /a b HTTP/1.0\r\n\r\n", "/a b"},
        {"GET /x%20y?a=1&b=2 HTTP/1.0\r\n\r\n", "/x%20y?a=1&b=2"},
        {"GET http://h/x HTTP/1.0\r\n\r\n", "http://h/x"},
        {"GET /a http/1.0\r\n\r\n", "/a http/1.0"},
        {"GET /a\r\nHost: x\r\n\r\n", "/a"},
        {"GET /a\nHost: x\n\n", "/a"},
        {"GET /a\nb\r\n", "/a\nb"},
        {"GET /a\r\nUser-Agent: x HTTP/1.0\r\n\r\n", "/a\r\nUser-Agent: x"},  // a later " HTTP" ends it too
        {"GET /a HTTP/1.0\r\nVia: 1.0 b HTTP/1.1\r\n", "/a"},
        {"GET " + longest + " HTTP/1.0\r\n", longest},
        {"GET " + longest + "a HTTP/1.0\r\n", "-1"},
        {"GET /a", "-1"},
        {"GET\r\n\r\n", "-1"},
        {"", "-1"},
        {"GET  HTTP/1.0\r\n\r\n", "-1"},
        {"GET \r\n\r\n", "-1"},
        {"GET /a\0 HTTP/1.0\r\n"s, "-1"},
    };
    for (const auto& [request, expected] : rows) {
        UrlText url("left over from an earlier request");
        const int length = ExtractUrl(request, url);
        EXPECT_EQ(length < 0 ? std::to_string(length) + std::string(url.View()) : std::string(url.View()), expected)
            << request;
        EXPECT_EQ(length, length < 0 ? -1 : static_cast<int>(url.Length())) << request;
    }
}

TEST(TextHelpers, GetHeaderValueFindsTheNameAnywhereSkipsBlanksAndStopsAtAStopCharacter) {
    const std::string stops = " \r\n";
    const std::tuple<std::string, std::string, std::string, std::string> rows[] = {
        // text, name, stops, value
        {"GET / HTTP/1.0\r\nHost: example\r\n\r\n", "Host:", stops, "example"},
        {"Host:     example\r\n", "Host:", stops, "example"},
        {"Host:example\r\n", "Host:", stops, "example"},
        {"Host: a b\r\n", "Host:", stops, "a"},
        {"Host: ab\rcd\n", "Host:", stops, "ab"},
        {"Host: ab\ncd\r", "Host:", stops, "ab"},
        {"Host: last", "Host:", stops, "last"},
        {"Host:\r\nX: y\r\n", "Host:", stops, ""},
        {"Host:   ", "Host:", stops, ""},
        {"Content-Type: text/html; charset=x\r\n", "Content-Type:", ";\r\n", "text/html"},
        {"Name: a b\r\nc", "Name:", "", "a b\r\nc"},
        {"Host:\tx\r\n", "Host:", stops, "\tx"},
        {"X-Forwarded-Host: proxy\r\nHost: h\r\n", "Host:", stops, "proxy"},
        {"Host: one\r\nHost: two\r\n", "Host:", stops, "one"},
        {"Cookie: " + std::string(300, 'v') + "\r\n", "Cookie:", stops, std::string(255, 'v')},
        {"host: example\r\n", "Host:", stops, "missing"},
        {"", "Host:", stops, "missing"},
        {"A: 1\r\n\0Host: h\r\n"s, "Host:", stops, "missing"},
        {"User-Agent: Brow\0ser/2\r\n"s, "User-Agent:", stops, "Brow"},
    };
    for (const auto& [text, name, stopChars, expected] : rows) {
        HeaderValueText value("stale");
        const int result = GetHeaderValue(text, name, value, stopChars);
        EXPECT_EQ(result == 0 ? std::string(value.View()) : "missing" + std::string(value.View()), expected) << text;
    }
}

TEST(TextHelpers, GetContentLengthReadsEitherSpellingsLeadingDigitsClampedTo32Bits) {
    const std::pair<std::string, std::int32_t> rows[] = {
        {"POST /x HTTP/1.0\r\nContent-length: 1000\r\n\r\n", 1000},
        {"POST /x HTTP/1.0\r\nContent-Length: 5000\r\n\r\n", 5000},
        {"POST /x HTTP/1.0\r\ncontent-length: 10\r\n\r\n", -1},
        {"POST /x HTTP/1.0\r\nCONTENT-LENGTH: 10\r\n\r\n", -1},
        {"POST /x HTTP/1.0\r\n\r\n", -1},
        {"Content-Length: 5\r\nContent-length: 7\r\n", 7},  // the lower-l form is looked for first
        {"Content-Length:42\r\n", 42},
        {"Content-Length: abc\r\n", 0},
        {"Content-Length:\r\n\r\n", 0},
        {"Content-Length: 12abc\r\n", 12},
        {"Content-Length: 0x10\r\n", 0},
        {"Content-Length: -5\r\n", -5},
        {"Content-Length: 1 2\r\n", 1},
        {"Content-Length: 43\0"
         "21\r\n"s,
         43},
        {"Content-Length: " + std::string(400, '9') + "\r\n", kMax},
        {"X-Content-Length: 9\r\n", 9},
    };
    for (const auto& [text, length] : rows) EXPECT_EQ(GetContentLength(text), length) << text;
}

TEST(TextHelpers, ParseDecimalReadsAsAtoiDoesWithoutOverflowingAndOnlyWithinItsView) {
    const std::pair<std::string, std::int32_t> rows[] = {
        {"", 0},
        {"8080", 8080},
        {" \t\r\n\v 42 apples", 42},
        {"-", 0},
        {"-0", 0},
        {"+7", 7},
        {"-7", -7},
        {"--7", 0},
        {"- 7", 0},
        {"abc", 0},
        {"000123", 123},
        {"2147483647", kMax},
        {"2147483648", kMax},
        {std::string(50, '9'), kMax},
        {"-2147483648", kMin},
        {"-2147483649", kMin},
        {"-" + std::string(50, '9'), kMin},
    };
    for (const auto& [text, number] : rows) EXPECT_EQ(ParseDecimal(text), number) << text;
    EXPECT_EQ(ParseDecimal(std::string_view("12345").substr(0, 2)), 12);
    const std::string bytes("x\0y", 3);
    EXPECT_EQ(AsText(bytes).data(), bytes.data()) << "a view into the caller's bytes";
    EXPECT_EQ(AsText(bytes).size(), 1u);
}

// Every month and weekday, a leap day and a moment past the 32-bit time_t limit.
TEST(DateText, IsTheAsctimeLayoutOfTheUtcMoment) {
    const std::pair<std::int64_t, const char*> rows[] = {
        {0, "Thu Jan 01 00:00:00 1970\n"},
        {951868799, "Tue Feb 29 23:59:59 2000\n"},
        {1709449689, "Sun Mar 03 07:08:09 2024\n"},
        {986817600, "Mon Apr 09 12:00:00 2001\n"},
        {1556672523, "Wed May 01 01:02:03 2019\n"},
        {1686853800, "Thu Jun 15 18:30:00 2023\n"},
        {1751619901, "Fri Jul 04 09:05:01 2025\n"},
        {936094210, "Tue Aug 31 10:10:10 1999\n"},
        {1506810142, "Sat Sep 30 22:22:22 2017\n"},
        {1286255105, "Tue Oct 05 05:05:05 2010\n"},
        {1636629071, "Thu Nov 11 11:11:11 2021\n"},
        {946684799, "Fri Dec 31 23:59:59 1999\n"},
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
