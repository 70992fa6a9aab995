#include "platform/ShortNames.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace platform {
namespace {

TEST(ShortNames, EncodeExactlyTheBytesThatAreUnsafeInAUrlOrAWildcard) {
    struct Row {
        const char* name;
        std::string longName;
        std::string shortName;
    };
    const Row rows[] = {
        {"safe name has none", "report-2024_v1.txt", ""},
        {"safe punctuation stays", "a+b=c;d,e(f)[g]~h!$@.txt", ""},
        {"blank", "my report.txt", "my%20report.txt"},
        {"markup and quotes", "a<b>&\"c'.htm", "a%3Cb%3E%26%22c%27.htm"},
        {"url delimiters", "100% #1?.txt", "100%25%20%231%3F.txt"},
        {"wildcard", "a*b", "a%2Ab"},
        {"backslash", "back\\slash.txt", "back%5Cslash.txt"},
        {"control bytes and delete", std::string("tab\there\x7f", 9), "tab%09here%7F"},
        {"utf-8 bytes in upper-case hex", "caf\xc3\xa9.txt", "caf%C3%A9.txt"},
        {"invalid utf-8 byte", "bad\xff", "bad%FF"},
    };
    for (const Row& row : rows) EXPECT_EQ(ShortNameOf(row.longName), row.shortName) << row.name;
}

TEST(ShortNames, DecodeGivesBackTheNameButNeverOneThatCouldLeaveTheDirectory) {
    struct Row {
        const char* name;
        std::string component;
        std::optional<std::string> decoded;
    };
    const Row rows[] = {
        {"blank", "my%20report.txt", "my report.txt"},
        {"lower-case hex", "caf%c3%a9.txt", "caf\xc3\xa9.txt"},
        {"escaped percent", "100%25", "100%"},
        {"decoded once only", "a%2520b", "a%20b"},
        {"invalid escape kept as written", "50%zz%20x", "50%zz x"},
        {"percent at the end", "a%20b%", "a b%"},
        {"percent with one digit at the end", "a%20b%4", "a b%4"},
        {"no escape at all", "plain.txt", std::nullopt},
        {"only invalid escapes", "100%", std::nullopt},
        {"dot", "%2E", std::nullopt},
        {"dot dot", "%2E%2e", std::nullopt},
        {"dot dot half escaped", ".%2E", std::nullopt},
        {"slash", "a%2Fb", std::nullopt},
        {"backslash is part of the name", "a%5Cb", "a\\b"},
        {"nul", "a%00b", std::nullopt},
    };
    for (const Row& row : rows) EXPECT_EQ(DecodeShortName(row.component), row.decoded) << row.name;
}

TEST(ShortNames, EveryByteSurvivesTheRoundTrip) {
    std::string everyByte;
    for (int byte = 1; byte < 256; ++byte) {
        if (byte != '/') everyByte += static_cast<char>(byte);
    }
    EXPECT_EQ(DecodeShortName(ShortNameOf(everyByte)), everyByte);
}

TEST(ShortNames, OnlyANameHoldingABackslashStaysEncodedInDrivePaths) {
    EXPECT_TRUE(StaysEncodedInDrivePaths("back%5Cslash.txt"));
    EXPECT_FALSE(StaysEncodedInDrivePaths("my%20docs"));
    EXPECT_FALSE(StaysEncodedInDrivePaths("plain"));
    EXPECT_EQ(UrlOfComponent("back%5Cslash.txt"), "back%5Cslash.txt");
    EXPECT_EQ(UrlOfComponent("a%20b"), "a%2520b");
    EXPECT_EQ(UrlOfComponent("my docs"), "my%20docs");
}

}  // namespace
}  // namespace platform
