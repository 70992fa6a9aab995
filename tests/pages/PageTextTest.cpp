#include "pages/PageText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(PageText, NamesBecomeAsciiHtmlThatReadsTheSameInAnyCharacterSet) {
    struct Row {
        const char* name;
        std::string text;
        std::string html;
        std::size_t characters;
    };
    const Row rows[] = {
        {"plain", "report.txt", "report.txt", 10},
        {"markup", "a<b>&\"c'", "a&lt;b&gt;&amp;&quot;c&#39;", 8},
        {"two-byte character", "caf\xc3\xa9", "caf&#233;", 4},
        {"three-byte character",
         "\xe2\x82\xac"
         "5",
         "&#8364;5", 2},
        {"four-byte character", "\xf0\x9f\x98\x80", "&#128512;", 1},
        {"lone continuation byte stays",
         "a\x80"
         "b",
         "a\x80"
         "b",
         3},
        {"latin-1 byte stays", "caf\xe9", "caf\xe9", 4},
        {"overlong form is no character", "\xc0\xaf", "\xc0\xaf", 2},
        {"cut sequence at the end", "x\xe2\x82", "x\xe2\x82", 3},
        {"beyond unicode is no character", "\xf5\x80\x80\x80", "\xf5\x80\x80\x80", 4},
        {"overlong three-byte form", "\xe0\x80\xaf", "\xe0\x80\xaf", 3},
        {"surrogate", "\xed\xa0\x80", "\xed\xa0\x80", 3},
        {"past U+10FFFF", "\xf4\x90\x80\x80", "\xf4\x90\x80\x80", 4},
        {"last code point", "\xf4\x8f\xbf\xbf", "&#1114111;", 1},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(PageHtml(row.text), row.html) << row.name;
        EXPECT_EQ(CountCharacters(row.text), row.characters) << row.name;
    }
}

TEST(PageText, CutsAndPadsByCharactersNeverInsideOne) {
    EXPECT_EQ(FirstCharacters("caf\xc3\xa9s", 4), "caf\xc3\xa9");
    EXPECT_EQ(FirstCharacters("ab", 5), "ab");
    EXPECT_EQ(PaddedHtml("\xc3\xa9&", 4), "&#233;&amp;  ");
    EXPECT_EQ(PaddedHtml("ab", 4, false), "  ab");
    EXPECT_EQ(PaddedHtml("longer", 3), "longer");
}

}  // namespace
