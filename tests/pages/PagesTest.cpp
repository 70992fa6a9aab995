// The generated pages byte for byte, which the served tests only sample: a listing in
// both styles, the drive index, and the dates, sizes, order and names they are made of.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "config/ServerSettings.h"
#include "pages/DirectoryListing.h"
#include "pages/DriveIndex.h"
#include "pages/PageText.h"
#include "platform/FileTypeRegistry.h"
#include "tests/support/Guards.h"
#include "tests/support/TestDirectory.h"

namespace {

// A wall-clock time in the tests' zone (UTC+2, no summer time), as seconds since 1970.
std::int64_t At(int month, int day, int hour, int minute, int year = 1996) {
    const std::chrono::sys_days date = std::chrono::year(year) / month / day;
    return date.time_since_epoch() / std::chrono::seconds(1) + hour * 3600 + minute * 60 - 2 * 3600;
}
const std::int64_t kNow = At(6, 12, 14, 0);  // Wednesday

// Drive C over the test's tree, its own file types, the fixed zone; settings put back.
class Pages : public ::testing::Test {
protected:
    Pages() {
        environment_.Set("TZ", "XST-2");
        environment_.Set("PELLORA_MIME_TYPES", work_.WriteFile("mime.types", "application/pdf pdf\n"));
        environment_.Set("PELLORA_MIME_DIRS", work_ / "no-mime-data");
        tzset();
        platform::ResetFileTypeRegistryForTests();
    }
    ~Pages() override {
        Settings() = saved_;
        platform::ResetFileTypeRegistryForTests();
    }
    // The listing of `pattern`, or with no pattern the drive index of `drives`.
    std::string PageOf(std::string_view pattern, std::int32_t useTable, int result = 0,
                       const std::vector<IndexedDrive>& drives = {}) {
        platform::FileHandle file = platform::CreateFileForWrite(work_ / "page.html");
        if (pattern.empty()) WriteDriveIndexPage(file, useTable, "box<1>", drives);
        if (!pattern.empty()) {
            EXPECT_EQ(WriteDirectoryListingAt(file, pattern, useTable, kNow), result) << pattern;
        }
        file.Close();
        return ReadWholeFile(work_ / "page.html");
    }
    static void Make(const std::string& path, std::int64_t size, std::int64_t modified) {
        if (size < 0) std::filesystem::create_directories(path);
        if (size >= 0) std::ofstream(path).close(), std::filesystem::resize_file(path, size);
        std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::from_sys(
                                                   std::chrono::sys_seconds(std::chrono::seconds(modified))));
    }

    struct ZoneReset {
        ~ZoneReset() { tzset(); }
    } zone_;  // after the environment is put back
    EnvironmentGuard environment_;
    TestDirectory drive_;
    TestDirectory work_;
    DriveTableGuard drives_{{{'C', drive_.Path(), platform::DriveType::HardDisk}}};
    ServerSettings saved_ = Settings();
};

std::string Head(const std::string& title) {
    return "<html><head><title>Pellora Index for " + title + "</title></head><body>\r\n<h2>Pellora Index for " + title +
           "</h2>\r\n\r\n";
}
const std::string kPreHead =
    "<PRE>                              Size       Modified       File Type                \r\n";
const std::string kPreHome =
    "<a href = \"/\"><IMG ALIGN=absbottom BORDER=0 SRC=\"/@home.gif\"></a> <a href=\"/\">/</a>" + std::string(52, ' ') +
    "Home                     \r\n";
const std::string kTableHead =
    "<table width=100%><tr>\r\n<td width=1%></td>\r\n<td width=30%></td>\r\n"
    "<td width=19% align=center colspan=2><b>Size</b></td>\r\n<td width=19% align=left><b>Modified</b></td>\r\n"
    "<td width=30%><b>File Type</b></td>\r\n</tr>\r\n";
const std::string kTableHome =
    "<tr>\r\n<td><a href = \"/\"><IMG BORDER=0 SRC=\"/@home.gif\"></a></td>\r\n<td><a href=\"/\">/</a></td>\r\n"
    "<td></td>\r\n<td></td>\r\n<td></td>\r\n<td>Home</td>\r\n</tr>\r\n";
const std::string kPreEnd = "</PRE><br></body></html>";
const std::string kTableEnd = "</table>\r\n</body></html>";

// A PRE line: the icon and the link, then `rest`.
std::string PreLine(const std::string& link, const std::string& icon, const std::string& rest) {
    return "<a href = \"" + link +
           (icon == "dir" ? "\"><IMG ALIGN=absbottom BORDER=0 SRC=\"/@dir.gif\"></a>"
                          : "\"><img ALIGN=absbottom border = 0 src=\"/@" + icon + ".gif\"></a>") +
           " <a href=\"" + link + "\">" + rest + "\r\n";
}
// A table row from "name|size|unit|date|type".
std::string TableRow(const std::string& link, const std::string& icon, const std::string& cells) {
    std::vector<std::string> cell;
    for (std::size_t at = 0, end = 0; end != std::string::npos; at = end + 1) {
        end = cells.find('|', at);
        cell.push_back(cells.substr(at, end - at));
    }
    return "<tr>\r\n<td><a href = \"" + link +
           (icon == "dir" ? "\"><IMG BORDER=0 SRC=\"/@dir.gif\"></a></td>\r\n"
                          : "\"><img border = 0 src=\"/@" + icon + ".gif\"></a></td>\r\n") +
           "<td><a href=\"" + link + "\">" + cell[0] + "</a></td>\r\n" +
           (cell[1].empty() ? "<td></td><td></td>\r\n"
                            : "<td align=right>" + cell[1] + "</td><td align=left>" + cell[2] + "</td>\r\n") +
           "<td align=left>" + cell[3] + "</td>\r\n<td>" + cell[4] + "</td>\r\n</tr>\r\n";
}

// Every kind of row, in the order listed: names cut or whole, escaped and encoded, every
// icon, sizes in each unit, dates in each form.
TEST_F(Pages, ADirectorysListingHasARowPerEntryInBothStyles) {
    const struct {
        std::string name;
        std::int64_t size;  // -1: a directory
        std::int64_t modified;
        std::string link, icon, pre, cells;  // what follows the link in PRE; the table's cells
    } entries[] = {
        // clang-format off
        {"..", -1, At(5, 30, 10, 0), "../", "dir", "../</a>                                   May 30         Directory",
         "../|||May 30|Directory"},
        {"dir-of-twenty-four-chars", -1, At(6, 12, 0, 0), "dir-of-twenty-four-chars/", "dir", "dir-of-twenty-four-"
         "cha+/</a>              00:00          Directory", "dir-of-twenty-four-chars/|||00:00|Directory"},
        {".hidden", 0, At(6, 10, 17, 30), ".hidden", "file", ".hidden</a>                     0 bytes   Mon, 17:30    ",
         ".hidden|0|bytes|Mon, 17:30|"},
        {"a<b&c.txt", 1, At(6, 9, 8, 0), "a%3Cb%26c.txt", "file_txt", "a&lt;b&amp;c.txt</a>                   1 "
         "bytes   Sun, 08:00     Text Document            ", "a&lt;b&amp;c.txt|1|bytes|Sun, 08:00|Text Document"},
        {"bad\xff.bin", 2, At(6, 11, 23, 59), "bad%FF.bin", "file",
         "bad\xff.bin</a>                    2 bytes   Tue, 23:59    ", "bad\xff.bin|2|bytes|Tue, 23:59|"},
        {"big.wav", 5LL << 30, At(6, 8, 12, 0), "big.wav", "file_aud", "big.wav</a>                  5120 Mb      "
         "Jun 08         Wave Sound               ", "big.wav|5120|Mb|Jun 08|Wave Sound"},
        {"clip.avi", 10, At(12, 31, 23, 59, 1995), "clip.avi", "file_vid", "clip.avi</a>                   10 bytes   "
         "Dec 31, 1995   Video Clip               ", "clip.avi|10|bytes|Dec 31, 1995|Video Clip"},
        {"doc.pdf", 100, At(5, 12, 12, 0), "doc.pdf", "file_app",
         "doc.pdf</a>                   100 bytes   May 12        ", "doc.pdf|100|bytes|May 12|"},
        {"kb1025.c", 1025, At(6, 12, 13, 59), "kb1025.c", "file_txt", "kb1025.c</a>                    1 Kb      "
         "13:59          C File                   ", "kb1025.c|1|Kb|13:59|C File"},
        {"na\xc3\xafve-\xc3\xbc" "ber-long-name-\xc3\xa9\xc3\xa9.txt", 4, At(6, 12, 12, 30),
         "na%C3%AFve-%C3%BCber-long-name-%C3%A9%C3%A9.txt", "file_txt",
         "na&#239;ve-&#252;ber-long-name-&#233;&#233;+</a>    4 bytes   12:30          Text Document            ",
         "na&#239;ve-&#252;ber-long-name-&#233;&#233;.txt|4|bytes|12:30|Text Document"},
        {"twenty-five-chars-cut.txt", 6, At(6, 2, 12, 0), "twenty-five-chars-cut.txt", "file_txt", "twenty-five-"
         "chars-cut.t+</a>    6 bytes   Jun 02         Text Document            ", "twenty-five-chars-cut.txt|6|bytes|"
         "Jun 02|Text Document"},
        {"twenty-four-chars-ok.txt", 7, At(6, 11, 0, 0), "twenty-four-chars-ok.txt", "file_txt", "twenty-four-"
         "chars-ok.txt</a>    7 bytes   Tue, 00:00     Text Document            ", "twenty-four-chars-ok.txt|7|bytes|"
         "Tue, 00:00|Text Document"},
        // clang-format on
    };
    std::string pre = Head("C:\\docs") + kPreHead + kPreHome;
    std::string table = Head("C:\\docs") + kTableHead + kTableHome;
    drive_.MakeDirectory("docs");
    for (const auto& entry : entries) {
        Make(entry.name == ".." ? drive_.Path() : drive_ / ("docs/" + entry.name), entry.size, entry.modified);
        pre += PreLine("/C/docs/" + entry.link, entry.icon, entry.pre);
        table += TableRow("/C/docs/" + entry.link, entry.icon, entry.cells);
    }
    Make(drive_ / "docs", -1, At(6, 12, 13, 0));
    EXPECT_EQ(PageOf("C:\\docs\\*", 0), pre + kPreEnd);
    EXPECT_EQ(PageOf("C:\\docs\\*", 1), table + kTableEnd);
    EXPECT_EQ(PageOf("c:\\*", 1),
              Head("c:") + kTableHead + kTableHome + TableRow("/c/docs/", "dir", "docs/|||13:00|Directory") + kTableEnd)
        << "a drive's root has no parent row";
    // Nothing listed ends after the home row; the upload row leads to this or the one upload directory.
    Settings().UploadOn = 1;
    EXPECT_EQ(PageOf("C:\\docs\\*.none", 0, -1),
              Head("C:\\docs\\*.none") + kPreHead +
                  "<a href = \"/\"><IMG ALIGN=absbottom BORDER=0 SRC=\"/@upload.gif\"></a> <a href = "
                  "\"/@upload.htm/C/docs/\">&lt;upload&gt;</a>" +
                  std::string(45, ' ') + "Upload Form              \r\n" + kPreHome);
    Settings().UploadAccessType = 0;
    EXPECT_EQ(PageOf("C:\\missing\\*", 1, -1),
              Head("C:\\missing") + kTableHead +
                  "<tr>\r\n<td><a href = \"/\"><IMG BORDER=0 SRC=\"/@upload.gif\"></a></td>\r\n<td><a href = "
                  "\"/@upload.htm\">&lt;upload&gt;</a></td>\r\n<td></td>\r\n<td></td>\r\n<td></td>\r\n<td>Upload "
                  "Form</td>\r\n</tr>\r\n" +
                  kTableHome);
    Settings().IncludeUploadLink = 0;
    EXPECT_EQ(PageOf("C:\\missing\\*", 1, -1), Head("C:\\missing") + kTableHead + kTableHome);
}

// What the listings above do not reach: a time today though yesterday in UTC, later this
// month, next month, this day of other years, and the edges of sizes and order.
TEST_F(Pages, DatesSizesOrderAndUrlsOfTheirParts) {
    // clang-format off
    const std::pair<std::int64_t, const char*> dates[] = {{At(6, 12, 0, 1), "00:01"}, {At(6, 30, 1, 2), "Sun, 01:02"},
       {At(7, 1, 12, 0), "Jul 01"}, {At(6, 12, 14, 0, 1995), "Jun 12, 1995"}, {At(12, 31, 0, 0, 1969), "Dec 31, 1969"}};
    // clang-format on
    for (const auto& [modified, expected] : dates) {
        ModifiedDateText text;
        EXPECT_EQ(FormatModifiedDate(modified, kNow, text), 0) << expected;
        EXPECT_EQ(text.View(), expected);
    }
    EXPECT_EQ(std::to_string(ListingSize(1024).value) + std::string(ListingSize(1024).unit), "1024bytes");

    const auto entry = [](const char* name) {  // "name/" for a directory
        const std::string_view text(name);
        return ListingEntry{std::string(text.substr(0, text.find('/'))), "", text.ends_with('/'), 0, 0};
    };
    const std::tuple<const char*, const char*, int> order[] = {
        {"B.txt", "a.txt", 1}, {"ABC", "abc", 0}, {"abc", "abcd", -1}, {"\xc3\xa9", "z", 1}, {"_a", "Z", -1}};
    for (const auto& [a, b, sign] : order) {
        const int result = CompareListingEntries(entry(a), entry(b));
        EXPECT_EQ((result > 0) - (result < 0), sign) << a << " against " << b;
    }
}

// The served test reads the PRE style, with every kind of drive, off the machine's own drives;
// here the table style gets sizes of known value: 4000000 K in all, 1000000 K free.
TEST_F(Pages, TheDriveIndexInTableStyleHasARowPerDrive) {
    using enum platform::DriveKind;
    // clang-format off
    const std::vector<IndexedDrive> drives{{'C', HardDisk, platform::DriveSpace{4000000ULL << 10, 1000000ULL << 10}},
        {'d', CdRom, std::nullopt}, {'Z', HardDisk, platform::DriveSpace{10240ULL << 10, 10241ULL << 10}}};
    // clang-format on
    const auto row = [](char letter, const std::string& type, const std::string& sizes = "") {
        return std::string("<tr>\r\n<td><a href=") + letter + "/><b>" + letter + ":\\</b></a></td>\r\n" +
               "<td align=center>" + type + "</td>\r\n" + sizes + "</tr>\r\n";
    };
    EXPECT_EQ(PageOf("", 1, 0, drives),
              "<html><head><title>Pellora Index for box&lt;1&gt;</title></head><body>\r\n"
              "<h2>Pellora index for box&lt;1&gt;:</h2>\r\n"
              "<table><tr>\r\n<td width = 25%></td>\r\n<td align=center width = 25%><b>Drive Type</b></td>\r\n"
              "<td align=center width = 25%><b>Capacity</b></td>\r\n<td align=center width = 25%><b>Free Space</b>"
              "</td>\r\n</tr>\r\n" +
                  row('C', "Hard Disk", "<td align=center>3906 MB</td>\r\n<td align=center>976 MB</td>\r\n") +
                  row('D', "CD-ROM") +
                  row('Z', "Hard Disk", "<td align=center>10240 KB</td>\r\n<td align=center>10 MB</td>\r\n") +
                  "</table>\r\n</body></html>");
}

TEST(PageText, NamesBecomeAsciiHtmlThatReadsTheSameInAnyCharacterSet) {
    // text, as HTML, its characters: characters become references; bytes that are none stay
    // clang-format off
    const std::tuple<std::string, std::string, std::size_t> rows[] = {{"a<b>&\"c'", "a&lt;b&gt;&amp;&quot;c&#39;", 8},
        {"\xe2\x82\xac" "5", "&#8364;5", 2}, {"\xf4\x8f\xbf\xbf", "&#1114111;", 1}, {"a\x80\x62", "a\x80\x62", 3},
        {"caf\xe9", "caf\xe9", 4}, {"\xc0\xaf", "\xc0\xaf", 2}, {"x\xe2\x82", "x\xe2\x82", 3},
        {"\xe0\x80\xaf", "\xe0\x80\xaf", 3}, {"\xf5\x80\x80\x80", "\xf5\x80\x80\x80", 4},
        {"\xed\xa0\x80", "\xed\xa0\x80", 3}, {"\xf4\x90\x80\x80", "\xf4\x90\x80\x80", 4}};
    // clang-format on
    for (const auto& [text, html, characters] : rows) {
        EXPECT_EQ(PageHtml(text), html) << html;
        EXPECT_EQ(CountCharacters(text), characters) << html;
    }
}

}  // namespace
