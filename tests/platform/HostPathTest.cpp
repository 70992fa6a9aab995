#include "platform/HostPath.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/DriveTable.h"
#include "platform/FileHandle.h"
#include "tests/support/TestDirectory.h"

namespace platform {
namespace {

// Drive C over a tree of the test's own; the process table is put back afterwards.
class HostPathTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = TheDriveTable();
        SetDriveTable(DriveTable({{'C', root_.Path(), DriveType::HardDisk}}));
        root_.WriteFile("my docs/my report.txt", "long");
        root_.WriteFile("my docs/plain.txt", "plain");
        root_.WriteFile("both/a%20b", "literal");
        root_.WriteFile("both/a b", "decoded");
        root_.WriteFile("both/lit%41", "no litA beside it");
        root_.WriteFile("caf\xc3\xa9/x", "x");
        root_.WriteFile("a*b/y", "y");
        root_.WriteFile("back\\slash/z", "z");
    }
    void TearDown() override { SetDriveTable(saved_); }

    TestDirectory root_;
    DriveTable saved_;
};

// Drive-form paths name entries as they are: a literal name wins over a decoded one.
TEST_F(HostPathTest, DrivePathsReachTheNamesTheySpellAndShortNamesOnlyWhereNothingIsSpelt) {
    const std::string root = root_.Path();
    struct Row {
        const char* name;
        const char* path;
        std::optional<std::string> host;
    };
    const Row rows[] = {
        {"plain path untouched", "C:\\my docs\\plain.txt", root + "/my docs/plain.txt"},
        {"each component decoded", "C:\\my%20docs\\my%20report.txt", root + "/my docs/my report.txt"},
        {"short and long mixed", "c:\\my docs\\my%20report.txt", root + "/my docs/my report.txt"},
        {"literal first", "C:\\both\\a%20b", root + "/both/a%20b"},
        {"non-ascii directory", "C:\\caf%C3%A9\\x", root + "/caf\xc3\xa9/x"},
        {"decoded wildcard character", "C:\\a%2Ab\\y", root + "/a*b/y"},
        {"backslash kept encoded", "C:\\back%5Cslash\\z", root + "/back\\slash/z"},
        {"missing stays as written", "C:\\no%20such\\x%20y", root + "/no%20such/x%20y"},
        {"decoded dot dot is no climb", "C:\\my docs\\%2E%2E\\both", root + "/my docs/%2E%2E/both"},
        {"literal dot dot refused", "C:\\my docs\\..\\both", std::nullopt},
        {"host path unchanged", "/etc/my%20x", "/etc/my%20x"},
    };
    for (const Row& row : rows) EXPECT_EQ(ResolveHostPath(row.path), row.host) << row.name;
    EXPECT_EQ(ResolveHostPath(std::string_view("C:\\a\0b", 6)), std::nullopt);
    EXPECT_EQ(GetPathStatus("C:\\my%20docs\\my%20report.txt").kind, PathKind::File);
    EXPECT_EQ(GetPathStatus("C:\\my%20docs").kind, PathKind::Directory);
}

// A URL's short name reaches the entry it was made from, even beside an entry
// literally named like it.
TEST_F(HostPathTest, UrlPathsAreRewrittenWithTheNamesTheirShortNamesStandFor) {
    struct Row {
        const char* name;
        const char* path;
        const char* resolved;
    };
    const Row rows[] = {
        {"plain path", "C:\\my docs\\plain.txt", "C:\\my docs\\plain.txt"},
        {"bare drive", "c:", "c:"},
        {"each component", "C:\\my%20docs\\my%20report.txt", "C:\\my docs\\my report.txt"},
        {"decoded first", "C:\\both\\a%20b", "C:\\both\\a b"},
        {"escaped percent reaches the literal name", "C:\\both\\a%2520b", "C:\\both\\a%20b"},
        {"literal when decoded names nothing", "C:\\both\\lit%41", "C:\\both\\lit%41"},
        {"decoded wildcard character", "C:\\a%2Ab", "C:\\a*b"},
        {"backslash name stays encoded", "C:\\back%5Cslash\\z", "C:\\back%5Cslash\\z"},
        {"pattern stays", "C:\\my%20docs\\my%20*", "C:\\my docs\\my%20*"},
        {"nothing below a pattern", "C:\\*\\my%20docs", "C:\\*\\my%20docs"},
        {"nothing below a missing name", "C:\\none\\my%20docs", "C:\\none\\my%20docs"},
        {"unknown drive unchanged", "Q:\\my%20docs", "Q:\\my%20docs"},
    };
    for (const Row& row : rows) EXPECT_EQ(ResolveShortNames(row.path), row.resolved) << row.name;
}

}  // namespace
}  // namespace platform
