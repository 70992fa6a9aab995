#include "core/TextHelpers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <ostream>
#include <string>

namespace {

constexpr std::int32_t kMax32 = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin32 = std::numeric_limits<std::int32_t>::min();

template <typename Row>
std::string RowName(const testing::TestParamInfo<Row>& info) {
    return info.param.name;
}

// The text as the first block holds it when the client's bytes were split at `at`:
// the bytes behind the split are not there yet, and a NUL ends the text.
std::string FirstBlock(const std::string& text, std::size_t at) {
    std::string block = text;
    block[at] = '\0';
    block += "garbage behind the NUL HTTP/1.0\r\nContent-Length: 77\r\n";
    return block;
}

// ---------------------------------------------------------------------------
// ParseMethod

struct MethodRow {
    const char* name;
    std::string text;
    std::optional<RequestMethod> expected;  // nullopt: refused
};
void PrintTo(const MethodRow& row, std::ostream* out) {
    *out << row.name;
}

class TextHelpersParseMethod : public testing::TestWithParam<MethodRow> {};

TEST_P(TextHelpersParseMethod, RecognisesOnlyGetHeadPost) {
    const MethodRow& row = GetParam();
    // A value the parser never stores, so a refusal that still writes shows up.
    auto method = static_cast<RequestMethod>(99);
    const int result = ParseMethod(row.text, method);
    if (row.expected) {
        EXPECT_EQ(result, 0);
        EXPECT_EQ(method, *row.expected);
    } else {
        EXPECT_EQ(result, -1);
        EXPECT_EQ(method, static_cast<RequestMethod>(99)) << "a refused method must leave the output alone";
    }
}

INSTANTIATE_TEST_SUITE_P(
    TextHelpers, TextHelpersParseMethod,
    testing::Values(MethodRow{"LowerGet", "get / HTTP/1.0\r\n", RequestMethod::Get},
                    MethodRow{"MixedGet", "Get / HTTP/1.0\r\n", RequestMethod::Get},
                    MethodRow{"UpperGet", "GET / HTTP/1.0\r\n", RequestMethod::Get},
                    MethodRow{"LowerHead", "head / HTTP/1.0\r\n", RequestMethod::Head},
                    MethodRow{"MixedHead", "hEaD / HTTP/1.0\r\n", RequestMethod::Head},
                    MethodRow{"LowerPost", "post /cgi-bin/x HTTP/1.0\r\n", RequestMethod::Post},
                    MethodRow{"UpperPost", "POST /cgi-bin/x HTTP/1.0\r\n", RequestMethod::Post},
                    MethodRow{"PutRefused", "PUT /x HTTP/1.0\r\n", std::nullopt},
                    MethodRow{"OptionsRefused", "OPTIONS * HTTP/1.0\r\n", std::nullopt},
                    MethodRow{"PrefixOfGetRefused", "GE / HTTP/1.0\r\n", std::nullopt},
                    MethodRow{"GetWithMoreLettersRefused", "GETS / HTTP/1.0\r\n", std::nullopt},
                    MethodRow{"HeaderIsNotHead", "HEADER / HTTP/1.0\r\n", std::nullopt},
                    MethodRow{"PostWithMoreLettersRefused", "POSTS / HTTP/1.0\r\n", std::nullopt},
                    MethodRow{"NineteenCharacterWordRefused", std::string(19, 'G') + " / HTTP/1.0\r\n", std::nullopt},
                    MethodRow{"TwentyCharacterWordRefused", std::string(20, 'G') + " / HTTP/1.0\r\n", std::nullopt},
                    MethodRow{"GetFollowedByLongWordRefused", "GET" + std::string(30, 'x') + " /\r\n", std::nullopt},
                    MethodRow{"EmptyTextRefused", "", std::nullopt},
                    MethodRow{"LeadingBlankRefused", " GET / HTTP/1.0\r\n", std::nullopt},
                    MethodRow{"WordWithoutBlankIsWholeText", "HEAD", RequestMethod::Head},
                    // Only a blank ends the word: "GET" and a line end is not "GET".
                    MethodRow{"WordEndedByLineEndRefused", "GET\r\n", std::nullopt},
                    MethodRow{"TabDoesNotEndWord", "GET\t/ HTTP/1.0\r\n", std::nullopt},
                    MethodRow{"NulEndsText", std::string("POST\0 junk", 10), RequestMethod::Post}),
    RowName<MethodRow>);

TEST(TextHelpersParseMethodSplit, FirstBlockDecidesAtEveryByte) {
    const std::string request = "HEAD /a HTTP/1.0\r\n\r\n";
    for (std::size_t at = 0; at < request.size(); ++at) {
        SCOPED_TRACE("split at " + std::to_string(at));
        RequestMethod method = RequestMethod::Get;
        // "H", "HE", "HEA" are no method; from "HEAD" on the word is complete.
        const int expected = at >= 4 ? 0 : -1;
        ASSERT_EQ(ParseMethod(FirstBlock(request, at), method), expected);
        if (expected == 0) {
            EXPECT_EQ(method, RequestMethod::Head);
        }
    }
}

// ---------------------------------------------------------------------------
// ExtractUrl

struct UrlRow {
    const char* name;
    std::string request;
    std::optional<std::string> url;  // nullopt: -1
};
void PrintTo(const UrlRow& row, std::ostream* out) {
    *out << row.name;
}

class TextHelpersExtractUrl : public testing::TestWithParam<UrlRow> {};

TEST_P(TextHelpersExtractUrl, TakesUrlAsSent) {
    const UrlRow& row = GetParam();
    UrlText url("left over from an earlier request");
    const int result = ExtractUrl(row.request, url);
    if (row.url) {
        EXPECT_EQ(result, static_cast<int>(row.url->size()));
        EXPECT_EQ(url.View(), *row.url);
    } else {
        EXPECT_EQ(result, -1);
    }
}

const std::string kUrl4095 = "/" + std::string(4094, 'a');
const std::string kUrl4096 = "/" + std::string(4095, 'a');

INSTANTIATE_TEST_SUITE_P(
    TextHelpers, TextHelpersExtractUrl,
    testing::Values(UrlRow{"Root", "GET / HTTP/1.0\r\n\r\n", "/"},
                    UrlRow{"DrivePath", "GET /c/docs/ HTTP/1.0\r\nAccept: */*\r\n\r\n", "/c/docs/"},
                    UrlRow{"BlankInsideUrlKept", "GET /a b HTTP/1.0\r\n\r\n", "/a b"},
                    UrlRow{"PercentNotDecoded", "GET /x%20y HTTP/1.0\r\n\r\n", "/x%20y"},
                    UrlRow{"QueryKept", "GET /cgi-bin/t.pl?a=1&b=2 HTTP/1.0\r\n\r\n", "/cgi-bin/t.pl?a=1&b=2"},
                    UrlRow{"SchemeAndHostKept", "GET http://h/x HTTP/1.0\r\n\r\n", "http://h/x"},
                    UrlRow{"VersionLowerCaseIsPartOfUrl", "GET /a http/1.0\r\n\r\n", "/a http/1.0"},
                    UrlRow{"NoVersionEndsAtCr", "GET /a\r\nHost: x\r\n\r\n", "/a"},
                    UrlRow{"NoVersionEndsAtLfOnly", "GET /a\nHost: x\n\n", "/a"},
                    UrlRow{"CrFoundBeforeEarlierLf", "GET /a\nb\r\n", "/a\nb"},
                    UrlRow{"NoEndAtAll", "GET /a", std::nullopt}, UrlRow{"NoBlankAtAll", "GET\r\n\r\n", std::nullopt},
                    UrlRow{"EmptyText", "", std::nullopt},
                    UrlRow{"EmptyUrlBeforeVersion", "GET  HTTP/1.0\r\n\r\n", std::nullopt},
                    UrlRow{"EmptyUrlBeforeCr", "GET \r\n\r\n", std::nullopt},
                    UrlRow{"LongestUrlFits", "GET " + kUrl4095 + " HTTP/1.0\r\n", kUrl4095},
                    UrlRow{"UrlOf4096Refused", "GET " + kUrl4096 + " HTTP/1.0\r\n", std::nullopt},
                    // Without a version on the request line, a later " HTTP" still ends the URL.
                    UrlRow{"VersionLaterInHeaders", "GET /a\r\nUser-Agent: x HTTP/1.0\r\n\r\n", "/a\r\nUser-Agent: x"},
                    UrlRow{"FirstVersionWins", "GET /a HTTP/1.0\r\nVia: 1.0 b HTTP/1.1\r\n", "/a"},
                    UrlRow{"NulEndsText", std::string("GET /a\0 HTTP/1.0\r\n", 18), std::nullopt}),
    RowName<UrlRow>);

TEST(TextHelpersExtractUrlSplit, FirstBlockAtEveryByte) {
    const std::string request = "GET /c/x HTTP/1.0\r\nHost: h\r\n\r\n";
    const std::size_t versionEnd = request.find(" HTTP") + 5;
    for (std::size_t at = 0; at < request.size(); ++at) {
        SCOPED_TRACE("split at " + std::to_string(at));
        UrlText url;
        const int result = ExtractUrl(FirstBlock(request, at), url);
        if (at >= versionEnd) {
            EXPECT_EQ(result, 4);
            EXPECT_EQ(url.View(), "/c/x");
        } else {
            // A request line cut before " HTTP" has no end of its URL yet.
            EXPECT_EQ(result, -1);
        }
    }
}

// ---------------------------------------------------------------------------
// GetHeaderValue

struct HeaderRow {
    const char* name;
    std::string text;
    std::string header;
    std::string stopChars;
    int expected;
    std::string value;
};
void PrintTo(const HeaderRow& row, std::ostream* out) {
    *out << row.name;
}

class TextHelpersGetHeaderValue : public testing::TestWithParam<HeaderRow> {};

TEST_P(TextHelpersGetHeaderValue, ReadsValueBehindName) {
    const HeaderRow& row = GetParam();
    HeaderValueText value("stale");
    EXPECT_EQ(GetHeaderValue(row.text, row.header, value, row.stopChars), row.expected);
    EXPECT_EQ(value.View(), row.value);
}

const std::string kStops = " \r\n";
const std::string kLongValue(300, 'v');

INSTANTIATE_TEST_SUITE_P(
    TextHelpers, TextHelpersGetHeaderValue,
    testing::Values(
        HeaderRow{"Plain", "GET / HTTP/1.0\r\nHost: example\r\n\r\n", "Host:", kStops, 0, "example"},
        HeaderRow{"BlanksSkipped", "Host:     example\r\n", "Host:", kStops, 0, "example"},
        HeaderRow{"NoBlankAfterName", "Host:example\r\n", "Host:", kStops, 0, "example"},
        HeaderRow{"StopsAtBlank", "Host: a b\r\n", "Host:", kStops, 0, "a"},
        HeaderRow{"StopsAtCr", "Host: ab\rcd\n", "Host:", kStops, 0, "ab"},
        HeaderRow{"StopsAtLf", "Host: ab\ncd\r", "Host:", kStops, 0, "ab"},
        HeaderRow{"RunsToEndOfText", "Host: last", "Host:", kStops, 0, "last"},
        HeaderRow{"EmptyValueAtLineEnd", "Host:\r\nX: y\r\n", "Host:", kStops, 0, ""},
        HeaderRow{"OnlyBlanksToEnd", "Host:   ", "Host:", kStops, 0, ""},
        HeaderRow{"OwnStopChars", "Content-Type: text/html; charset=x\r\n", "Content-Type:", ";\r\n", 0, "text/html"},
        HeaderRow{"NoStopCharsTakesRest", "Name: a b\r\nc", "Name:", "", 0, "a b\r\nc"},
        HeaderRow{"TabIsNotSkipped", "Host:\tx\r\n", "Host:", kStops, 0, "\tx"},
        HeaderRow{"NameIsCaseSensitive", "host: example\r\n", "Host:", kStops, -1, ""},
        HeaderRow{"MissingNameEmptiesValue", "GET / HTTP/1.0\r\n\r\n", "Host:", kStops, -1, ""},
        HeaderRow{"EmptyText", "", "Host:", kStops, -1, ""},
        HeaderRow{"FoundAnywhereInText", "X-Forwarded-Host: proxy\r\nHost: h\r\n", "Host:", kStops, 0, "proxy"},
        HeaderRow{"FirstOccurrenceWins", "Host: one\r\nHost: two\r\n", "Host:", kStops, 0, "one"},
        HeaderRow{"NameBehindNulNotFound", std::string("A: 1\r\n\0Host: h\r\n", 16), "Host:", kStops, -1, ""},
        HeaderRow{"LongValueCutTo255", "Cookie: " + kLongValue + "\r\n", "Cookie:", kStops, 0,
                  kLongValue.substr(0, 255)},
        HeaderRow{"ValueOf255Whole", "Cookie: " + kLongValue.substr(0, 255) + "\r\n", "Cookie:", kStops, 0,
                  kLongValue.substr(0, 255)}),
    RowName<HeaderRow>);

TEST(TextHelpersGetHeaderValueSplit, FirstBlockAtEveryByte) {
    const std::string text = "POST /x HTTP/1.0\r\nUser-Agent: Browser/2\r\n\r\n";
    const std::size_t nameEnd = text.find("User-Agent:") + 11;
    const std::size_t valueStart = nameEnd + 1;
    for (std::size_t at = 0; at < text.size(); ++at) {
        SCOPED_TRACE("split at " + std::to_string(at));
        HeaderValueText value;
        const int result = GetHeaderValue(FirstBlock(text, at), "User-Agent:", value);
        if (at < nameEnd) {
            EXPECT_EQ(result, -1);
            EXPECT_TRUE(value.Empty());
        } else {
            EXPECT_EQ(result, 0);
            const std::size_t held = at > valueStart ? at - valueStart : 0;
            EXPECT_EQ(value.View(), std::string("Browser/2").substr(0, held));
        }
    }
}

// ---------------------------------------------------------------------------
// GetContentLength

struct LengthRow {
    const char* name;
    std::string text;
    std::int32_t expected;
};
void PrintTo(const LengthRow& row, std::ostream* out) {
    *out << row.name;
}

class TextHelpersGetContentLength : public testing::TestWithParam<LengthRow> {};

TEST_P(TextHelpersGetContentLength, ReadsLength) {
    EXPECT_EQ(GetContentLength(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    TextHelpers, TextHelpersGetContentLength,
    testing::Values(LengthRow{"LowerLForm", "POST /x HTTP/1.0\r\nContent-length: 1000\r\n\r\n", 1000},
                    LengthRow{"UpperLForm", "POST /x HTTP/1.0\r\nContent-Length: 5000\r\n\r\n", 5000},
                    LengthRow{"AllLowerNotRecognised", "POST /x HTTP/1.0\r\ncontent-length: 10\r\n\r\n", -1},
                    LengthRow{"AllUpperNotRecognised", "POST /x HTTP/1.0\r\nCONTENT-LENGTH: 10\r\n\r\n", -1},
                    LengthRow{"Missing", "POST /x HTTP/1.0\r\n\r\n", -1},
                    // The lower-l form is looked for first, wherever it stands.
                    LengthRow{"LowerLFormPreferred", "Content-Length: 5\r\nContent-length: 7\r\n", 7},
                    LengthRow{"NoBlankAfterColon", "Content-Length:42\r\n", 42},
                    LengthRow{"Zero", "Content-Length: 0\r\n", 0},
                    LengthRow{"NoDigitsIsZero", "Content-Length: abc\r\n", 0},
                    LengthRow{"EmptyValueIsZero", "Content-Length:\r\n\r\n", 0},
                    LengthRow{"LeadingDigitsOnly", "Content-Length: 12abc\r\n", 12},
                    LengthRow{"HexIsNotRead", "Content-Length: 0x10\r\n", 0},
                    LengthRow{"NegativeStaysNegative", "Content-Length: -5\r\n", -5},
                    LengthRow{"PlusSign", "Content-Length: +5\r\n", 5},
                    LengthRow{"LeadingZeros", "Content-Length: 000123\r\n", 123},
                    LengthRow{"ValueEndsAtBlank", "Content-Length: 1 2\r\n", 1},
                    LengthRow{"Int32Max", "Content-Length: 2147483647\r\n", kMax32},
                    LengthRow{"JustAboveInt32MaxClamps", "Content-Length: 2147483648\r\n", kMax32},
                    LengthRow{"HugeClampsToMax", "Content-Length: 99999999999999999999999\r\n", kMax32},
                    LengthRow{"Int32Min", "Content-Length: -2147483648\r\n", kMin32},
                    LengthRow{"JustBelowInt32MinClamps", "Content-Length: -2147483649\r\n", kMin32},
                    LengthRow{"HugeNegativeClampsToMin", "Content-Length: -99999999999999999999999\r\n", kMin32},
                    LengthRow{"ManyDigitsCutAtValueCapacity", "Content-Length: " + std::string(400, '9') + "\r\n",
                              kMax32},
                    LengthRow{"FoundInsideLongerName", "X-Content-Length: 9\r\n", 9}),
    RowName<LengthRow>);

TEST(TextHelpersGetContentLengthSplit, FirstBlockAtEveryByte) {
    const std::string text = "POST /cgi-bin/x HTTP/1.0\r\nContent-Length: 4321\r\n\r\nbody";
    const std::size_t nameEnd = text.find("Content-Length:") + 15;
    const std::size_t digitsStart = nameEnd + 1;
    for (std::size_t at = 0; at < text.size(); ++at) {
        SCOPED_TRACE("split at " + std::to_string(at));
        std::int32_t expected = -1;
        if (at >= nameEnd) {
            const std::size_t held = at > digitsStart ? at - digitsStart : 0;
            expected = held == 0 ? 0 : std::stoi(std::string("4321").substr(0, held));
        }
        EXPECT_EQ(GetContentLength(FirstBlock(text, at)), expected);
    }
}

// ---------------------------------------------------------------------------
// ParseDecimal

struct DecimalRow {
    const char* name;
    std::string text;
    std::int32_t expected;
};
void PrintTo(const DecimalRow& row, std::ostream* out) {
    *out << row.name;
}

class TextHelpersParseDecimal : public testing::TestWithParam<DecimalRow> {};

TEST_P(TextHelpersParseDecimal, ReadsLikeAtoiWithoutOverflow) {
    EXPECT_EQ(ParseDecimal(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    TextHelpers, TextHelpersParseDecimal,
    testing::Values(DecimalRow{"Empty", "", 0}, DecimalRow{"Digits", "8080", 8080},
                    DecimalRow{"LeadingWhiteSpace", " \t\r\n 42", 42}, DecimalRow{"TrailingText", "42 apples", 42},
                    DecimalRow{"SignOnly", "-", 0}, DecimalRow{"MinusZero", "-0", 0}, DecimalRow{"Plus", "+7", 7},
                    DecimalRow{"Minus", "-7", -7}, DecimalRow{"DoubleSign", "--7", 0},
                    DecimalRow{"BlankAfterSign", "- 7", 0}, DecimalRow{"Letters", "abc", 0},
                    DecimalRow{"Max", "2147483647", kMax32}, DecimalRow{"AboveMax", "2147483648", kMax32},
                    DecimalRow{"FarAboveMax", std::string(50, '9'), kMax32}, DecimalRow{"Min", "-2147483648", kMin32},
                    DecimalRow{"BelowMin", "-2147483649", kMin32},
                    DecimalRow{"FarBelowMin", "-" + std::string(50, '9'), kMin32}),
    RowName<DecimalRow>);

TEST(TextHelpersParseDecimalView, StopsAtEndOfView) {
    // A view into a longer buffer: digits behind its end are not read.
    const std::string buffer = "12345";
    EXPECT_EQ(ParseDecimal(std::string_view(buffer).substr(0, 2)), 12);
}

// ---------------------------------------------------------------------------
// AsText

TEST(TextHelpersAsText, EndsAtFirstNul) {
    EXPECT_EQ(AsText(std::string_view("ab\0cd\0", 6)), "ab");
    EXPECT_EQ(AsText(std::string_view("\0ab", 3)), "");
    EXPECT_EQ(AsText("no terminator"), "no terminator");
    EXPECT_EQ(AsText(""), "");
    // The view keeps pointing into the caller's bytes.
    const std::string bytes("x\0y", 3);
    EXPECT_EQ(AsText(bytes).data(), bytes.data());
}

}  // namespace
