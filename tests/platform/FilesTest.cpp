// Files through the drive table on a real tree of the test's own: what exists, reading
// and writing, listing, files that appear only whole, temporary files, appended records.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/AppendFile.h"
#include "platform/DirectoryEnumeration.h"
#include "platform/DriveTable.h"
#include "platform/FileHandle.h"
#include "platform/StagedFile.h"
#include "platform/TempFile.h"
#include "tests/support/Guards.h"
#include "tests/support/TestDirectory.h"

namespace platform {
namespace {

// Drive C over a.txt ("hello"), docs/, pipe (a fifo), link (to a.txt) and dangling.
class Files : public testing::Test {
protected:
    void SetUp() override {
        root_.WriteFile("a.txt", "hello");
        root_.MakeDirectory("docs");
        ASSERT_EQ(mkfifo((root_ / "pipe").c_str(), 0600), 0);
        std::filesystem::create_symlink(root_ / "a.txt", root_ / "link");
        std::filesystem::create_symlink(root_ / "nowhere", root_ / "dangling");
    }
    TestDirectory root_;
    DriveTableGuard drives_{{{'C', root_.Path()}}};
};

// Devices and pipes would block or misbehave when read: for the server they do not exist.
TEST_F(Files, OnlyRegularFilesAndDirectoriesExistAndOnlyRegularFilesOpenForReading) {
    const std::tuple<std::string, PathKind, FileError> rows[] = {
        {"c:\\link", PathKind::File, FileError::None},
        {"C:\\docs", PathKind::Directory, FileError::Refused},
        {"C:\\pipe", PathKind::Missing, FileError::Missing},  // a plain open would wait for a writer for ever
        {std::string("C:\\a.txt\0x", 10), PathKind::Missing, FileError::Missing},
    };
    for (const auto& [path, kind, openError] : rows) {
        const PathStatus status = GetPathStatus(path);
        EXPECT_EQ(status.kind, kind) << path;
        EXPECT_EQ(status.error, kind == PathKind::Missing ? FileError::Missing : FileError::None) << path;
        FileError error = FileError::Other;
        EXPECT_EQ(OpenFileForRead(path, &error).IsOpen(), openError == FileError::None) << path;
        EXPECT_EQ(error, openError) << path;
    }
    FileHandle file = OpenFileForRead("C:\\a.txt");
    EXPECT_NE(fcntl(file.Descriptor(), F_GETFD) & FD_CLOEXEC, 0);
    char buffer[16];
    ASSERT_TRUE(file.Seek(2));
    errno = EINTR;  // left over from an earlier call: no reason to read again
    ASSERT_EQ(file.Read(buffer, sizeof buffer), 3);
    EXPECT_EQ(std::string(buffer, 3), "llo");
    EXPECT_FALSE(FileHandle().Seek(0));
    FileError error = FileError::None;  // a pipe nobody reads: writing fails at once instead of hanging
    EXPECT_FALSE(CreateFileForWrite("C:\\pipe", &error).IsOpen() || error != FileError::Other);
}

TEST_F(Files, AnEnumerationGivesTheEntriesAPatternSelectsWithTheirFacts) {
    for (const char* name : {".hidden", "B.TXT"}) root_.WriteFile(std::string("docs/") + name, "x");
    root_.MakeDirectory("docs/sub");
    const std::string big = root_ / "docs/big.bin";  // sparse, past every 32-bit limit, from 1996
    FileHandle(open(big.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
    ASSERT_EQ(truncate(big.c_str(), 5LL << 30), 0);
    const timespec times[2] = {{0, UTIME_OMIT}, {834580800, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, big.c_str(), times, 0), 0);
    const auto all = [](std::string_view pattern) {
        std::map<std::string, DirectoryEntry> entries;
        DirectoryEnumeration enumeration;
        DirectoryEntry entry;
        for (bool more = enumeration.Start(pattern, entry); more; more = enumeration.Next(entry))
            entries[entry.name] = entry;
        EXPECT_FALSE(enumeration.IsOpen() && entries.empty()) << "nothing stays open when nothing matches";
        return entries;
    };
    const auto entries = all("C:\\docs\\*");
    ASSERT_EQ(entries.size(), 6u);
    EXPECT_EQ(entries.at("big.bin").size, 5ULL << 30);
    EXPECT_EQ(entries.at("big.bin").modifiedTime, 834580800);
    EXPECT_TRUE(!entries.at("big.bin").isDirectory && entries.at("sub").isDirectory && entries.at("..").isDirectory);
    const std::pair<const char*, std::vector<std::string>> rows[] = {
        {"c:\\*", {"a.txt", "dangling", "docs", "link", "pipe"}},  // no dot entries at a drive root
        {"C:\\docs", {"docs"}},
        {"C:\\docs\\", {}},
        {"C:*", {}},
    };
    for (const auto& [pattern, names] : rows) {
        std::vector<std::string> found;
        for (const auto& [name, entry] : all(pattern)) found.push_back(name);
        EXPECT_EQ(found, names) << pattern;
    }
    // Names match as the shell matches them, letter case aside, '?' taking one UTF-8
    // character, other bytes exactly, and cheaply.
    EXPECT_TRUE(MatchesNamePattern("caf?.TXT", "caf\xc3\xa9.txt") && MatchesNamePattern("*.*", "README"));
    EXPECT_FALSE(MatchesNamePattern("\xc3\xa9*", "\xc3\x89t\xc3\xa9") || MatchesNamePattern("*.txt", "a.txt.bak"));
    EXPECT_FALSE(MatchesNamePattern("*a*a*a*a*a*a*a*a*b", std::string(40, 'a')));
    EXPECT_TRUE(MatchesNamePattern(std::string_view("*a*").substr(0, 2), "aa")) << "nothing past the pattern's end";
}

// Nothing of a staged file has a name before it is published, so a crash leaves nothing.
TEST_F(Files, AStagedFileAppearsOnlyWholeAndOnlyUnderAFreeName) {
    root_.WriteFile("docs/file", "old");
    std::filesystem::create_symlink(root_ / "target", root_ / "docs/dangling");
    const std::string bytes = std::string("first \0second", 13) + PatternBytes(200000);
    StagedFile staged = StagedFile::CreateIn("C:\\docs");
    ASSERT_TRUE(staged.Write(bytes));
    EXPECT_EQ(TestDirectory::List(root_ / "docs").size(), 2u) << "nothing new is visible yet";
    for (const char* taken : {"file", "dangling"}) EXPECT_EQ(staged.Publish(taken), PublishResult::NameTaken);
    for (const std::string& bad : std::vector<std::string>{"", "..", "a/b", std::string("a\0b", 3)})
        EXPECT_EQ(staged.Publish(bad), PublishResult::Failed);
    EXPECT_EQ(ReadWholeFile(root_ / "docs/file"), "old");
    EXPECT_FALSE(std::filesystem::exists(root_ / "target")) << "a link at the name is not followed";
    EXPECT_EQ(staged.Publish("file (2)"), PublishResult::Published);
    EXPECT_TRUE(ReadWholeFile(root_ / "docs/file (2)") == bytes);
    for (const char* where : {"C:\\nothere", "Q:\\docs", "C:\\a.txt"}) {
        FileError error = FileError::None;
        EXPECT_FALSE(StagedFile::CreateIn(where, &error).IsOpen()) << where;
        EXPECT_EQ(error, FileError::Missing) << where;
    }
}

TEST(TempFile, TheDirectoryFollowsTmpdirAndAFileIsPrivateUnderTheFirstFreeNameUntilNoneIsLeft) {
    EnvironmentGuard environment;
    TestDirectory root;
    std::string name;
    environment.Set("TMPDIR", root.Path());
    const auto nameOf = [&](unsigned number) {
        char text[16];
        std::snprintf(text, sizeof text, "uGh%04X.tmp", number);
        return root / text;
    };
    constexpr unsigned kFree = 0x9C3E;  // every other name is taken and must stay untouched
    for (unsigned number = 0; number < 0x10000; ++number) {
        if (number != kFree) close(open(nameOf(number).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
    }
    root.WriteFile("uGh1234.tmp", "keep");
    FileHandle file = CreateTemporaryFile(name);
    ASSERT_TRUE(file.IsOpen());
    EXPECT_EQ(name, nameOf(kFree));
    EXPECT_NE(fcntl(file.Descriptor(), F_GETFD) & FD_CLOEXEC, 0);
    EXPECT_EQ(std::filesystem::status(name).permissions(), std::filesystem::perms(0600));
    EXPECT_FALSE(CreateTemporaryFile(name).IsOpen()) << "all names are taken";
    EXPECT_EQ(ReadWholeFile(nameOf(0x1234)), "keep");
}

TEST(AppendFile, RecordsArriveWholeFromConcurrentWritersAndAnUnopenableFileCreatesNothing) {
    TestDirectory root;
    root.MakeDirectory("a directory");
    EXPECT_FALSE(AppendToFile(root / "a directory", "line\r\n") || AppendToFile("relative.log", "line\r\n"));
    EXPECT_EQ(TestDirectory::List(root.Path()), std::vector<std::string>{"a directory"});
    const std::string path = root / "access.log";
    constexpr int kWriters = 4, kRecords = 400;
    for (int writer = 0; writer < kWriters; ++writer) {
        if (fork() != 0) continue;
        const std::string record = std::string(380, static_cast<char>('a' + writer)) + "\r\n";
        for (int i = 0; i < kRecords; ++i) AppendToFile(path, record);
        _exit(0);
    }
    while (wait(nullptr) > 0) {
    }
    const std::string log = ReadWholeFile(path);
    std::vector<int> counts(kWriters, 0);
    for (std::size_t at = 0; at < log.size(); at += 382) {
        const std::string record = log.substr(at, 382);
        ASSERT_EQ(record.find_first_not_of(record[0]), 380u) << "a record was split by another at " << at;
        ++counts[record[0] - 'a'];
    }
    EXPECT_EQ(counts, std::vector<int>(kWriters, kRecords));
}

}  // namespace
}  // namespace platform
