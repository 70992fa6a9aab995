#include "pages/DirectoryListing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "pages/PagePaths.h"
#include "request/DrivePath.h"
#include "tests/pages/ListingTestSupport.h"

namespace {

// Wednesday 12 June 1996, 14:00 in the test's zone.
const std::int64_t kNow = PageTest::Local(1996, 6, 12, 14, 0);

class DirectoryListing : public PageTest {
protected:
    // C:\docs with every kind of row; C:\ itself holds only docs.
    void BuildDocs() {
        struct Entry {
            std::string name;
            bool directory;
            std::uint64_t size;
            std::int64_t modified;
        };
        const Entry entries[] = {
            {"dir-of-twenty-four-chars", true, 0, Local(1996, 6, 12, 0, 0)},
            {"dir-of-twenty-three-cha", true, 0, Local(1996, 6, 1, 8, 0)},
            {"Sub Dir", true, 0, Local(1996, 6, 12, 9, 5)},
            {".hidden", false, 0, Local(1996, 6, 10, 17, 30)},
            {"a<b&c.txt", false, 1, Local(1996, 6, 9, 8, 0)},
            {"bad\xff.bin", false, 2, Local(1996, 6, 11, 23, 59)},
            {"big.wav", false, 5ULL << 30, Local(1996, 6, 8, 12, 0)},
            {"bytes1024.txt", false, 1024, Local(1995, 3, 4, 12, 0)},
            {"caf\xc3\xa9.txt", false, 3, Local(1996, 6, 20, 8, 0)},
            {"clip.avi", false, 10, Local(1995, 12, 31, 23, 59)},
            {"doc.pdf", false, 100, Local(1996, 5, 12, 12, 0)},
            {"kb1025.c", false, 1025, Local(1996, 6, 12, 13, 59)},
            {"kb1048576.htm", false, 1048576, Local(1997, 1, 1, 0, 0)},
            {"mb1048577.gif", false, 1048577, Local(1996, 6, 12, 9, 5)},
            {"na\xc3\xafve-\xc3\xbc"
             "ber-long-name-\xc3\xa9\xc3\xa9.txt",
             false, 4, Local(1996, 6, 12, 12, 30)},
            {"README", false, 5, Local(1996, 6, 12, 14, 0)},
            {"twenty-five-chars-cut.txt", false, 6, Local(1996, 6, 2, 12, 0)},
            {"twenty-four-chars-ok.txt", false, 7, Local(1996, 6, 11, 0, 0)},
        };
        drive_.MakeDirectory("docs");
        for (const Entry& entry : entries) {
            const std::string path = drive_ / ("docs/" + entry.name);
            if (entry.directory) {
                drive_.MakeDirectory("docs/" + entry.name);
            } else {
                MakeSparseFile(path, entry.size);
            }
            SetModified(path, entry.modified);
        }
        SetModified(drive_ / "docs", Local(1996, 6, 12, 13, 0));
        SetModified(drive_.Path(), Local(1996, 5, 30, 10, 0));
    }

    std::string Listing(std::string_view pattern, std::int32_t useTable, int expectedResult = 0) {
        return PageOf([&](platform::FileHandle& file) {
            EXPECT_EQ(WriteDirectoryListingAt(file, pattern, useTable, kNow), expectedResult) << pattern;
        });
    }

    static std::string TableRow(const std::string& link, const std::string& icon, const std::string& name,
                                const std::string& sizeCells, const std::string& date, const std::string& typeCell) {
        const std::string iconCell =
            icon == "dir.gif" ? "<td><a href = \"" + link + "\"><IMG BORDER=0 SRC=\"/@dir.gif\"></a></td>\r\n"
                              : "<td><a href = \"" + link + "\"><img border = 0 src=\"/@" + icon + "\"></a></td>\r\n";
        return "<tr>\r\n" + iconCell + "<td><a href=\"" + link + "\">" + name + "</a></td>\r\n" + sizeCells +
               "<td align=left>" + date + "</td>\r\n" + typeCell + "</tr>\r\n";
    }
    static std::string Bytes(const std::string& value, const std::string& unit) {
        return "<td align=right>" + value + "</td><td align=left>" + unit + "</td>\r\n";
    }
};

const std::string kHead =
    "<html><head><title>Pellora Index for C:\\docs</title></head><body>\r\n"
    "<h2>Pellora Index for C:\\docs</h2>\r\n\r\n";
const std::string kTableHeader =
    "<table width=100%><tr>\r\n<td width=1%></td>\r\n<td width=30%></td>\r\n"
    "<td width=19% align=center colspan=2><b>Size</b></td>\r\n<td width=19% align=left><b>Modified</b></td>\r\n"
    "<td width=30%><b>File Type</b></td>\r\n</tr>\r\n";
const std::string kTableHomeRow =
    "<tr>\r\n<td><a href = \"/\"><IMG BORDER=0 SRC=\"/@home.gif\"></a></td>\r\n<td><a href=\"/\">/</a></td>\r\n"
    "<td></td>\r\n<td></td>\r\n<td></td>\r\n<td>Home</td>\r\n</tr>\r\n";

std::string PreHeader() {
    return "<PRE>" + std::string(27, ' ') + "   Size       Modified" + std::string(6, ' ') + " File Type" +
           std::string(16, ' ') + "\r\n";
}
std::string PreHomeRow() {
    return "<a href = \"/\"><IMG ALIGN=absbottom BORDER=0 SRC=\"/@home.gif\"></a> <a href=\"/\">/</a>" +
           std::string(52, ' ') + "Home" + std::string(21, ' ') + "\r\n";
}

TEST_F(DirectoryListing, PreStylePageHasEveryPieceInItsColumn) {
    BuildDocs();
    const auto dir = [](const std::string& link) {
        return "<a href = \"" + link + "\"><IMG ALIGN=absbottom BORDER=0 SRC=\"/@dir.gif\"></a> <a href=\"" + link +
               "\">";
    };
    const auto file = [](const std::string& link, const std::string& icon) {
        return "<a href = \"" + link + "\"><img ALIGN=absbottom border = 0 src=\"/@" + icon + "\"></a> <a href=\"" +
               link + "\">";
    };
    const std::string text = " Text Document" + Blanks(12);
    const std::string expected =
        kHead + PreHeader() + PreHomeRow() +  //
        dir("/C/docs/../") + "../</a>" + Blanks(21) + Blanks(11) + "   May 30" + Blanks(8) + " Directory\r\n" +
        dir("/C/docs/dir-of-twenty-four-chars/") + "dir-of-twenty-four-cha+/</a>" + Blanks(11) + "   00:00" +
        Blanks(9) + " Directory\r\n" +  //
        dir("/C/docs/dir-of-twenty-three-cha/") + "dir-of-twenty-three-cha/</a>" + Blanks(11) + "   Jun 01" +
        Blanks(8) + " Directory\r\n" +  //
        dir("/C/docs/Sub%20Dir/") + "Sub Dir/</a>" + Blanks(16) + Blanks(11) + "   09:05" + Blanks(9) +
        " Directory\r\n" +  //
        file("/C/docs/.hidden", "file.gif") + ".hidden</a>" + Blanks(17) + "    0 bytes   Mon, 17:30" + Blanks(4) +
        "\r\n" +  //
        file("/C/docs/a%3Cb%26c.txt", "file_txt.gif") + "a&lt;b&amp;c.txt</a>" + Blanks(15) +
        "    1 bytes   Sun, 08:00" + Blanks(4) + text + "\r\n" +  //
        file("/C/docs/bad%FF.bin", "file.gif") + "bad\xff.bin</a>" + Blanks(16) + "    2 bytes   Tue, 23:59" +
        Blanks(4) + "\r\n" +  //
        file("/C/docs/big.wav", "file_aud.gif") + "big.wav</a>" + Blanks(17) + " 5120 Mb      Jun 08" + Blanks(8) +
        " Wave Sound" + Blanks(15) + "\r\n" +  //
        file("/C/docs/bytes1024.txt", "file_txt.gif") + "bytes1024.txt</a>" + Blanks(11) +
        " 1024 bytes   Mar 04, 1995" + Blanks(2) + text + "\r\n" +  //
        file("/C/docs/caf%C3%A9.txt", "file_txt.gif") + "caf&#233;.txt</a>" + Blanks(16) + "    3 bytes   Thu, 08:00" +
        Blanks(4) + text + "\r\n" +  //
        file("/C/docs/clip.avi", "file_vid.gif") + "clip.avi</a>" + Blanks(16) + "   10 bytes   Dec 31, 1995" +
        Blanks(2) + " Video Clip" + Blanks(15) + "\r\n" +  //
        file("/C/docs/doc.pdf", "file_app.gif") + "doc.pdf</a>" + Blanks(17) + "  100 bytes   May 12" + Blanks(8) +
        "\r\n" +  //
        file("/C/docs/kb1025.c", "file_txt.gif") + "kb1025.c</a>" + Blanks(16) + "    1 Kb      13:59" + Blanks(9) +
        " C File" + Blanks(19) + "\r\n" +  //
        file("/C/docs/kb1048576.htm", "file_htm.gif") + "kb1048576.htm</a>" + Blanks(11) +
        " 1024 Kb      Jan 01, 1997" + Blanks(2) + " Hypertext Document" + Blanks(7) + "\r\n" +  //
        file("/C/docs/mb1048577.gif", "file_img.gif") + "mb1048577.gif</a>" + Blanks(11) + "    1 Mb      09:05" +
        Blanks(9) + " GIF Image" + Blanks(16) + "\r\n" +  //
        file("/C/docs/na%C3%AFve-%C3%BCber-long-name-%C3%A9%C3%A9.txt", "file_txt.gif") +
        "na&#239;ve-&#252;ber-long-name-&#233;&#233;+</a>" + "    4 bytes   12:30" + Blanks(9) + text + "\r\n" +  //
        file("/C/docs/README", "file.gif") + "README</a>" + Blanks(18) + "    5 bytes   14:00" + Blanks(9) + "\r\n" +
        file("/C/docs/twenty-five-chars-cut.txt", "file_txt.gif") + "twenty-five-chars-cut.t+</a>" +
        "    6 bytes   Jun 02" + Blanks(8) + text + "\r\n" +  //
        file("/C/docs/twenty-four-chars-ok.txt", "file_txt.gif") + "twenty-four-chars-ok.txt</a>" +
        "    7 bytes   Tue, 00:00" + Blanks(4) + text + "\r\n" +  //
        "</PRE><br></body></html>";
    EXPECT_EQ(Listing("C:\\docs\\*", 0), expected);
}

TEST_F(DirectoryListing, TableStylePageShowsWholeNamesInTheSameOrder) {
    BuildDocs();
    const std::string none = "<td></td>\r\n";
    const std::string text = "<td>Text Document</td>\r\n";
    const std::string directory = "<td>Directory</td>\r\n";
    const std::string noSize = "<td></td><td></td>\r\n";
    const std::string expected =
        kHead + kTableHeader + kTableHomeRow + TableRow("/C/docs/../", "dir.gif", "../", noSize, "May 30", directory) +
        TableRow("/C/docs/dir-of-twenty-four-chars/", "dir.gif", "dir-of-twenty-four-chars/", noSize, "00:00",
                 directory) +
        TableRow("/C/docs/dir-of-twenty-three-cha/", "dir.gif", "dir-of-twenty-three-cha/", noSize, "Jun 01",
                 directory) +
        TableRow("/C/docs/Sub%20Dir/", "dir.gif", "Sub Dir/", noSize, "09:05", directory) +
        TableRow("/C/docs/.hidden", "file.gif", ".hidden", Bytes("0", "bytes"), "Mon, 17:30", none) +
        TableRow("/C/docs/a%3Cb%26c.txt", "file_txt.gif", "a&lt;b&amp;c.txt", Bytes("1", "bytes"), "Sun, 08:00", text) +
        TableRow("/C/docs/bad%FF.bin", "file.gif", "bad\xff.bin", Bytes("2", "bytes"), "Tue, 23:59", none) +
        TableRow("/C/docs/big.wav", "file_aud.gif", "big.wav", Bytes("5120", "Mb"), "Jun 08",
                 "<td>Wave Sound</td>\r\n") +
        TableRow("/C/docs/bytes1024.txt", "file_txt.gif", "bytes1024.txt", Bytes("1024", "bytes"), "Mar 04, 1995",
                 text) +
        TableRow("/C/docs/caf%C3%A9.txt", "file_txt.gif", "caf&#233;.txt", Bytes("3", "bytes"), "Thu, 08:00", text) +
        TableRow("/C/docs/clip.avi", "file_vid.gif", "clip.avi", Bytes("10", "bytes"), "Dec 31, 1995",
                 "<td>Video Clip</td>\r\n") +
        TableRow("/C/docs/doc.pdf", "file_app.gif", "doc.pdf", Bytes("100", "bytes"), "May 12", none) +
        TableRow("/C/docs/kb1025.c", "file_txt.gif", "kb1025.c", Bytes("1", "Kb"), "13:59", "<td>C File</td>\r\n") +
        TableRow("/C/docs/kb1048576.htm", "file_htm.gif", "kb1048576.htm", Bytes("1024", "Kb"), "Jan 01, 1997",
                 "<td>Hypertext Document</td>\r\n") +
        TableRow("/C/docs/mb1048577.gif", "file_img.gif", "mb1048577.gif", Bytes("1", "Mb"), "09:05",
                 "<td>GIF Image</td>\r\n") +
        TableRow("/C/docs/na%C3%AFve-%C3%BCber-long-name-%C3%A9%C3%A9.txt", "file_txt.gif",
                 "na&#239;ve-&#252;ber-long-name-&#233;&#233;.txt", Bytes("4", "bytes"), "12:30", text) +
        TableRow("/C/docs/README", "file.gif", "README", Bytes("5", "bytes"), "14:00", none) +
        TableRow("/C/docs/twenty-five-chars-cut.txt", "file_txt.gif", "twenty-five-chars-cut.txt", Bytes("6", "bytes"),
                 "Jun 02", text) +
        TableRow("/C/docs/twenty-four-chars-ok.txt", "file_txt.gif", "twenty-four-chars-ok.txt", Bytes("7", "bytes"),
                 "Tue, 00:00", text) +
        "</table>\r\n</body></html>";
    EXPECT_EQ(Listing("C:\\docs\\*", 1), expected);
}

TEST_F(DirectoryListing, DriveRootHasNoParentRow) {
    BuildDocs();
    const std::string head =
        "<html><head><title>Pellora Index for c:</title></head><body>\r\n<h2>Pellora Index for c:</h2>\r\n\r\n";
    EXPECT_EQ(Listing("c:\\*", 0), head + PreHeader() + PreHomeRow() +
                                       "<a href = \"/c/docs/\"><IMG ALIGN=absbottom BORDER=0 SRC=\"/@dir.gif\"></a> "
                                       "<a href=\"/c/docs/\">docs/</a>" +
                                       Blanks(19) + Blanks(11) + "   13:00" + Blanks(9) +
                                       " Directory\r\n</PRE><br></body></html>");
    EXPECT_EQ(Listing("c:\\*", 1), head + kTableHeader + kTableHomeRow +
                                       TableRow("/c/docs/", "dir.gif", "docs/", "<td></td><td></td>\r\n", "13:00",
                                                "<td>Directory</td>\r\n") +
                                       "</table>\r\n</body></html>");
}

TEST_F(DirectoryListing, DirectoryWithNothingButItselfShowsTheParentRow) {
    drive_.MakeDirectory("empty");
    SetModified(drive_ / "empty", Local(1996, 6, 12, 8, 0));
    SetModified(drive_.Path(), Local(1996, 6, 11, 9, 0));
    const std::string page = Listing("C:\\empty\\*", 0);
    EXPECT_TRUE(page.ends_with(
        "<a href = \"/C/empty/../\"><IMG ALIGN=absbottom BORDER=0 SRC=\"/@dir.gif\"></a> "
        "<a href=\"/C/empty/../\">../</a>" +
        Blanks(21) + Blanks(11) + "   Tue, 09:00" + Blanks(4) + " Directory\r\n</PRE><br></body></html>"))
        << page;
}

TEST_F(DirectoryListing, PatternThatMatchesNothingEndsAfterTheHomeRow) {
    BuildDocs();
    const std::string head =
        "<html><head><title>Pellora Index for C:\\docs\\*.none</title></head><body>\r\n"
        "<h2>Pellora Index for C:\\docs\\*.none</h2>\r\n\r\n";
    EXPECT_EQ(Listing("C:\\docs\\*.none", 0, -1), head + PreHeader() + PreHomeRow());
    EXPECT_EQ(Listing("C:\\docs\\*.none", 1, -1), head + kTableHeader + kTableHomeRow);
    EXPECT_EQ(Listing("C:\\missing\\*", 1, -1),
              "<html><head><title>Pellora Index for C:\\missing</title></head><body>\r\n"
              "<h2>Pellora Index for C:\\missing</h2>\r\n\r\n" +
                  kTableHeader + kTableHomeRow);
}

TEST_F(DirectoryListing, UploadRowFollowsTheUploadSettings) {
    struct Row {
        const char* name;
        std::int32_t uploadOn, includeLink, accessType, useTable;
        std::string row;
    };
    const std::string tableStart = "<tr>\r\n<td><a href = \"/\"><IMG BORDER=0 SRC=\"/@upload.gif\"></a></td>\r\n";
    const std::string tableEnd =
        "\">&lt;upload&gt;</a></td>\r\n<td></td>\r\n<td></td>\r\n<td></td>\r\n"
        "<td>Upload Form</td>\r\n</tr>\r\n";
    const std::string preStart = "<a href = \"/\"><IMG ALIGN=absbottom BORDER=0 SRC=\"/@upload.gif\"></a>";
    const std::string preEnd = "\">&lt;upload&gt;</a>" + Blanks(27 + 3 + 14 + 1) + "Upload Form" + Blanks(14) + "\r\n";
    const Row rows[] = {
        {"upload off", 0, 1, 1, 1, ""},
        {"link not wanted", 1, 0, 1, 1, ""},
        {"one upload directory", 1, 1, 0, 1, tableStart + "<td><a href = \"/@upload.htm" + tableEnd},
        {"upload into the listed directory", 1, 1, 1, 1,
         tableStart + "<td><a href = \"/@upload.htm/C/my%20docs/" + tableEnd},
        {"pre style", 1, 1, 1, 0, preStart + " <a href = \"/@upload.htm/C/my%20docs/" + preEnd},
    };
    drive_.MakeDirectory("my docs");
    for (const Row& row : rows) {
        Settings().UploadOn = row.uploadOn;
        Settings().IncludeUploadLink = row.includeLink;
        Settings().UploadAccessType = row.accessType;
        const std::string page = Listing("C:\\my docs\\*.none", row.useTable, -1);
        const std::string header = row.useTable != 0 ? kTableHeader : PreHeader();
        const std::string home = row.useTable != 0 ? kTableHomeRow : PreHomeRow();
        const std::size_t start = page.find(header) + header.size();
        EXPECT_EQ(page.substr(start, page.size() - start - home.size()), row.row) << row.name;
        EXPECT_TRUE(page.ends_with(home)) << row.name;
    }
}

TEST_F(DirectoryListing, DatesFollowTheFiveRulesInLocalTime) {
    struct Row {
        const char* name;
        std::int64_t modified;
        const char* text;
    };
    const Row rows[] = {
        {"today", Local(1996, 6, 12, 9, 5), "09:05"},
        {"today in local time, yesterday in UTC", Local(1996, 6, 12, 0, 1), "00:01"},
        {"two days back", Local(1996, 6, 10, 17, 30), "Mon, 17:30"},
        {"three days back", Local(1996, 6, 9, 0, 0), "Sun, 00:00"},
        {"four days back", Local(1996, 6, 8, 23, 59), "Jun 08"},
        {"later this month", Local(1996, 6, 30, 1, 2), "Sun, 01:02"},
        {"last month", Local(1996, 5, 30, 12, 0), "May 30"},
        {"next month", Local(1996, 7, 1, 12, 0), "Jul 01"},
        {"another year", Local(1995, 3, 4, 12, 0), "Mar 04, 1995"},
        {"same day another year", Local(1995, 6, 12, 14, 0), "Jun 12, 1995"},
        {"far future", Local(2100, 6, 12, 14, 0), "Jun 12, 2100"},
        {"before 1970", Local(1969, 12, 31, 0, 0), "Dec 31, 1969"},
    };
    for (const Row& row : rows) {
        ModifiedDateText text;
        EXPECT_EQ(FormatModifiedDate(row.modified, kNow, text), 0) << row.name;
        EXPECT_EQ(text.View(), row.text) << row.name;
    }
    ModifiedDateText untouched("kept");
    EXPECT_EQ(FormatModifiedDate(std::numeric_limits<std::int64_t>::max(), kNow, untouched), -1);
    EXPECT_EQ(untouched.View(), "kept");
}

TEST(ListingSize, UnitsChangeJustAboveEachPowerOf1024) {
    struct Row {
        const char* name;
        std::uint64_t bytes;
        std::uint64_t value;
        std::string_view unit;
    };
    const Row rows[] = {
        {"empty", 0, 0, "bytes"},
        {"one kilobyte", 1024, 1024, "bytes"},
        {"just above", 1025, 1, "Kb"},
        {"one megabyte", 1048576, 1024, "Kb"},
        {"just above one megabyte", 1048577, 1, "Mb"},
        {"five gigabytes", 5ULL << 30, 5120, "Mb"},
        {"beyond 32-bit megabytes", 1ULL << 62, 1ULL << 42, "Mb"},
    };
    for (const Row& row : rows) {
        const SizeText size = ListingSize(row.bytes);
        EXPECT_EQ(size.value, row.value) << row.name;
        EXPECT_EQ(size.unit, row.unit) << row.name;
    }
}

TEST(CompareListingEntries, ParentFirstThenDirectoriesThenNamesIgnoringCase) {
    const auto dir = [](std::string name) { return ListingEntry{std::move(name), "", true, 0, 0}; };
    const auto file = [](std::string name) { return ListingEntry{std::move(name), "", false, 0, 0}; };
    struct Row {
        const char* name;
        ListingEntry a, b;
        int sign;
    };
    const Row rows[] = {
        {"parent before a directory", dir(".."), dir(".a"), -1},
        {"parent after nothing", dir("a"), dir(".."), 1},
        {"directory before file", dir("z"), file("a"), -1},
        {"file after directory", file("a"), dir("z"), 1},
        {"case ignored", file("B.txt"), file("a.txt"), 1},
        {"equal but for case", file("ABC"), file("abc"), 0},
        {"prefix first", file("abc"), file("abcd"), -1},
        {"bytes above 0x7f after ascii", file("\xc3\xa9"), file("z"), 1},
        {"underscore after letters folded", file("_a"), file("Z"), -1},
    };
    for (const Row& row : rows) {
        const int order = CompareListingEntries(row.a, row.b);
        EXPECT_EQ((order > 0) - (order < 0), row.sign) << row.name;
    }
}

TEST_F(DirectoryListing, TwentyThousandEntriesAreListedWholeAndInOrder) {
    constexpr int kCount = 20000;
    drive_.MakeDirectory("many");
    std::vector<std::string> names;
    for (int i = 0; i < kCount; ++i) {
        // Mixed case and numbering that only sorts right when compared as designed.
        std::string name = (i % 2 == 0 ? "File-" : "file-") + std::to_string((i * 7919) % kCount) + ".txt";
        const int file = open((drive_ / ("many/" + name)).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        ASSERT_GE(file, 0);
        close(file);
        names.push_back(name);
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return CompareListingEntries(ListingEntry{a, "", false, 0, 0}, ListingEntry{b, "", false, 0, 0}) < 0;
    });
    const std::string page = Listing("C:\\many\\*", 1);
    ASSERT_TRUE(page.ends_with("</table>\r\n</body></html>"));
    std::vector<std::string> listed;
    const std::string marker = "<td><a href=\"/C/many/";
    for (std::size_t at = page.find(marker); at != std::string::npos; at = page.find(marker, at + 1)) {
        const std::size_t start = page.find("\">", at) + 2;
        listed.push_back(page.substr(start, page.find("</a>", start) - start));
    }
    ASSERT_EQ(listed.size(), static_cast<std::size_t>(kCount) + 1);
    EXPECT_EQ(listed.front(), "../");
    listed.erase(listed.begin());
    EXPECT_EQ(listed, names);
}

TEST(PathToUrl, TurnsDrivePathsIntoUrlPaths) {
    struct Row {
        const char* path;
        int result;
        const char* url;
    };
    const Row rows[] = {
        {"C:\\docs\\", 0, "/C/docs/"},
        {"C:", 0, "/C"},
        {"c:\\a b\\", 0, "/c/a b/"},
        {"\\docs", -1, ""},
        {"C", -1, ""},
        {"", -1, ""},
    };
    for (const Row& row : rows) {
        std::string url = "old";
        EXPECT_EQ(PathToUrl(row.path, url), row.result) << row.path;
        EXPECT_EQ(url, row.url) << row.path;
    }
    EXPECT_EQ(DirectoryUrl("C:\\caf\xc3\xa9 & co\\*.txt"), "/C/caf%C3%A9%20%26%20co/");
    EXPECT_EQ(DirectoryUrl("c:\\*"), "/c/");
    EXPECT_EQ(DirectoryUrl("C:\\a%20b\\back%5Cslash\\*"), "/C/a%2520b/back%5Cslash/");
}

}  // namespace
