#include "pages/DriveIndex.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/pages/ListingTestSupport.h"

namespace {

using platform::DriveKind;
using platform::DriveSpace;

class DriveIndex : public PageTest {
protected:
    std::string Page(std::int32_t useTable, std::string_view host, const std::vector<IndexedDrive>& drives) {
        return PageOf([&](platform::FileHandle& file) { WriteDriveIndexPage(file, useTable, host, drives); });
    }

    // One drive of every kind; a hard disk whose size could not be read; the sizes of
    // the worked example: 4000000 K in all, 1000000 K free.
    const std::vector<IndexedDrive> drives_{
        {'A', DriveKind::Removable, std::nullopt},
        {'C', DriveKind::HardDisk, DriveSpace{4000000ULL << 10, 1000000ULL << 10}},
        {'d', DriveKind::CdRom, std::nullopt},
        {'E', DriveKind::HardDisk, std::nullopt},
        {'N', DriveKind::Network, std::nullopt},
        {'Q', DriveKind::Unknown, std::nullopt},
        {'Z', DriveKind::HardDisk, DriveSpace{10240ULL << 10, 10241ULL << 10}},
    };
};

TEST_F(DriveIndex, PreStyleLinesUpTypeCapacityAndFreeSpace) {
    const std::string expected =
        "<html><head><title>Pellora Index for box&lt;1&gt;</title></head><body>\r\n"
        "<h2>Pellora index for box&lt;1&gt;:</h2>\r\n"
        "<PRE>             Drive Type       Capacity    Free Space\r\n"
        "<a href=A/><b>A:\\</b></a>              Floppy\r\n"
        "<a href=C/><b>C:\\</b></a>           Hard Disk        3906 MB    976 MB\r\n"
        "<a href=D/><b>D:\\</b></a>              CD-ROM\r\n"
        "<a href=E/><b>E:\\</b></a>           Hard Disk\r\n"
        "<a href=N/><b>N:\\</b></a>             Network\r\n"
        "<a href=Q/><b>Q:\\</b></a>      <i>unknown</i>\r\n"
        "<a href=Z/><b>Z:\\</b></a>           Hard Disk       10240 KB    10 MB\r\n"
        "<br><br></PRE></body></html>";
    EXPECT_EQ(Page(0, "box<1>", drives_), expected);
}

TEST_F(DriveIndex, TableStyleHasACellPerFact) {
    const auto row = [](char letter, const std::string& type, const std::string& sizes = "") {
        return std::string("<tr>\r\n<td><a href=") + letter + "/><b>" + letter + ":\\</b></a></td>\r\n" +
               "<td align=center>" + type + "</td>\r\n" + sizes + "</tr>\r\n";
    };
    const std::string expected =
        "<html><head><title>Pellora Index for host</title></head><body>\r\n"
        "<h2>Pellora index for host:</h2>\r\n"
        "<table><tr>\r\n<td width = 25%></td>\r\n<td align=center width = 25%><b>Drive Type</b></td>\r\n"
        "<td align=center width = 25%><b>Capacity</b></td>\r\n<td align=center width = 25%><b>Free Space</b></td>\r\n"
        "</tr>\r\n" +
        row('A', "Floppy") +
        row('C', "Hard Disk", "<td align=center>3906 MB</td>\r\n<td align=center>976 MB</td>\r\n") +
        row('D', "CD-ROM") + row('E', "Hard Disk") + row('N', "Network") + row('Q', "<i>unknown</i>") +
        row('Z', "Hard Disk", "<td align=center>10240 KB</td>\r\n<td align=center>10 MB</td>\r\n") +
        "</table>\r\n</body></html>";
    EXPECT_EQ(Page(1, "host", drives_), expected);
}

TEST_F(DriveIndex, NoDrivesLeavesHeadHeaderAndEnd) {
    EXPECT_EQ(Page(0, "h", {}),
              "<html><head><title>Pellora Index for h</title></head><body>\r\n<h2>Pellora index for h:</h2>\r\n"
              "<PRE>             Drive Type       Capacity    Free Space\r\n<br><br></PRE></body></html>");
}

TEST(DriveSpaceInUnits, KilobytesUpTo10240ThenMegabytes) {
    struct Row {
        const char* name;
        std::uint64_t bytes;
        std::uint64_t value;
        char unit;
    };
    const Row rows[] = {
        {"empty", 0, 0, 'K'},
        {"less than a kilobyte", 1023, 0, 'K'},
        {"exactly 10240 K", 10240ULL << 10, 10240, 'K'},
        {"a byte short of 10241 K", (10241ULL << 10) - 1, 10240, 'K'},
        {"10241 K", 10241ULL << 10, 10, 'M'},
        {"worked example", 4000000ULL << 10, 3906, 'M'},
        {"16 TiB, past 32-bit kilobytes", 16ULL << 40, 16ULL << 20, 'M'},
    };
    for (const Row& row : rows) {
        const DriveSpaceText text = DriveSpaceInUnits(row.bytes);
        EXPECT_EQ(text.value, row.value) << row.name;
        EXPECT_EQ(text.unit, row.unit) << row.name;
    }
}

}  // namespace
