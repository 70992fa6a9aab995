#include "platform/DirectoryEnumeration.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/DriveTable.h"
#include "tests/support/TestDirectory.h"

namespace platform {
namespace {

TEST(MatchesNamePattern, MatchesAsTheShellDoes) {
    struct Row {
        const char* name;
        const char* pattern;
        const char* entry;
        bool matches;
    };
    const Row rows[] = {
        {"star matches all", "*", "anything.txt", true},
        {"star matches dot dot", "*", "..", true},
        {"extension", "*.txt", "a.txt", true},
        {"extension ignores case", "*.txt", "B.TXT", true},
        {"letters ignore case", "READ*", "readme", true},
        {"other extension", "*.txt", "a.txt.bak", false},
        {"star matches nothing", "a*", "a", true},
        {"two stars", "*o*o*", "foo.bo", true},
        {"star needs the tail", "*.md", "md", false},
        {"question mark is one character", "?.c", "x.c", true},
        {"question mark needs one", "?.c", ".c", false},
        {"question mark takes a utf-8 character", "caf?.txt", "caf\xc3\xa9.txt", true},
        {"star dot star matches names without a dot", "*.*", "README", true},
        {"name dot star matches the bare name", "notes.*", "notes", true},
        {"name dot star still wants the name", "notes.*", "notesx", false},
        {"literal name", "a.txt", "a.txt", true},
        {"literal name exact length", "a.txt", "a.txt2", false},
        {"non-ascii bytes compared exactly", "\xc3\xa9*", "\xc3\x89t\xc3\xa9", false},
        {"many stars stay cheap", "*a*a*a*a*a*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
    };
    for (const Row& row : rows) EXPECT_EQ(MatchesNamePattern(row.pattern, row.entry), row.matches) << row.name;
}

// Drive C over a tree of the test's own; the process table is put back afterwards.
class DirectoryEnumerationTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = TheDriveTable();
        SetDriveTable(DriveTable({{'C', root_.Path(), DriveType::HardDisk}}));
        root_.WriteFile("docs/a.txt", "hello");
        root_.WriteFile("docs/.hidden", "");
        root_.WriteFile("docs/B.TXT", "b");
        root_.WriteFile("docs/notes.md", "n");
        root_.WriteFile("docs/my report.txt", "r");
        root_.WriteFile("docs/my%20report.txt", "literal");
        root_.MakeDirectory("docs/sub");
        // A sparse file past every 32-bit limit.
        const int big = open((root_ / "docs/big.bin").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        ASSERT_GE(big, 0);
        ASSERT_EQ(ftruncate(big, kBigSize), 0);
        close(big);
        const timespec times[2] = {{0, UTIME_OMIT}, {kBigTime, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, (root_ / "docs/big.bin").c_str(), times, 0), 0);
    }
    void TearDown() override {
        std::filesystem::permissions(root_ / "docs/sub", std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add);
        SetDriveTable(saved_);
    }

    // Every entry of an enumeration, by name.
    static std::map<std::string, DirectoryEntry> All(std::string_view pattern) {
        std::map<std::string, DirectoryEntry> entries;
        DirectoryEnumeration enumeration;
        DirectoryEntry entry;
        if (!enumeration.Start(pattern, entry)) return entries;
        do entries[entry.name] = entry;
        while (enumeration.Next(entry));
        return entries;
    }
    static std::vector<std::string> Names(std::string_view pattern) {
        std::vector<std::string> names;
        for (const auto& [name, entry] : All(pattern)) names.push_back(name);
        return names;
    }

    static constexpr off_t kBigSize = 5LL * 1024 * 1024 * 1024 + 3;
    static constexpr time_t kBigTime = 834580800;  // 1996-06-12 12:00 UTC
    TestDirectory root_;
    DriveTable saved_;
};

TEST_F(DirectoryEnumerationTest, ReportsEveryMatchingEntryWithItsFacts) {
    const auto entries = All("C:\\docs\\*");
    std::vector<std::string> names;
    for (const auto& [name, entry] : entries) names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{".", "..", ".hidden", "B.TXT", "a.txt", "big.bin", "my report.txt",
                                               "my%20report.txt", "notes.md", "sub"}));
    const DirectoryEntry& big = entries.at("big.bin");
    EXPECT_EQ(big.size, 5ULL * 1024 * 1024 * 1024 + 3);
    EXPECT_EQ(big.modifiedTime, kBigTime);
    EXPECT_FALSE(big.isDirectory);
    EXPECT_EQ(big.shortName, "");
    EXPECT_TRUE(entries.at("sub").isDirectory);
    EXPECT_EQ(entries.at("sub").size, 0u);
    EXPECT_TRUE(entries.at("..").isDirectory);
    EXPECT_EQ(entries.at("a.txt").size, 5u);
    EXPECT_EQ(entries.at("my report.txt").shortName, "my%20report.txt");
    EXPECT_EQ(entries.at("my%20report.txt").shortName, "my%2520report.txt");
}

TEST_F(DirectoryEnumerationTest, PatternsSelectEntries) {
    struct Row {
        const char* name;
        const char* pattern;
        std::vector<std::string> names;
    };
    const Row rows[] = {
        {"drive root has no dot entries", "C:\\*", {"docs"}},
        {"bare drive root the same", "c:\\*", {"docs"}},
        {"extension ignoring case", "C:\\docs\\*.txt", {"B.TXT", "a.txt", "my report.txt", "my%20report.txt"}},
        {"pattern as sent and decoded", "C:\\docs\\my%20*", {"my report.txt", "my%20report.txt"}},
        {"one name", "C:\\docs\\a.txt", {"a.txt"}},
        {"one name literally first", "C:\\docs\\my%20report.txt", {"my%20report.txt"}},
        {"one name by its short name", "C:\\docs\\my%2520report.txt", {"my%20report.txt"}},
        {"one directory", "C:\\docs", {"docs"}},
        {"nothing matches", "C:\\docs\\*.none", {}},
        {"missing directory", "C:\\none\\*", {}},
        {"missing name", "C:\\docs\\none.txt", {}},
        {"unknown drive", "Q:\\*", {}},
        {"no pattern after the backslash", "C:\\docs\\", {}},
        {"no backslash", "C:*", {}},
    };
    for (const Row& row : rows) EXPECT_EQ(Names(row.pattern), row.names) << row.name;
}

TEST_F(DirectoryEnumerationTest, FailsWithNothingOpenWhenNothingMatchesOrTheDirectoryIsLocked) {
    DirectoryEnumeration enumeration;
    DirectoryEntry entry;
    EXPECT_FALSE(enumeration.Start("C:\\docs\\*.none", entry));
    EXPECT_FALSE(enumeration.IsOpen());
    EXPECT_FALSE(enumeration.Next(entry));
    if (geteuid() != 0) {
        std::filesystem::permissions(root_ / "docs/sub", std::filesystem::perms::none);
        EXPECT_FALSE(enumeration.Start("C:\\docs\\sub\\*", entry));
    }
}

TEST_F(DirectoryEnumerationTest, AMoveHandsTheStreamOver) {
    DirectoryEnumeration first;
    DirectoryEntry entry;
    ASSERT_TRUE(first.Start("C:\\docs\\*", entry));
    DirectoryEnumeration second(std::move(first));
    EXPECT_FALSE(first.IsOpen());  // NOLINT(bugprone-use-after-move): the point of the test
    EXPECT_FALSE(first.Next(entry));
    ASSERT_TRUE(second.IsOpen());
    int rest = 0;
    while (second.Next(entry)) ++rest;
    EXPECT_EQ(rest, 9);
}

}  // namespace
}  // namespace platform
