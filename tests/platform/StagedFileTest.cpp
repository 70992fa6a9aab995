// A staged file is invisible until it is published, is never published over
// anything, and leaves nothing behind when dropped or when its process dies.
#include "platform/StagedFile.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/DriveTable.h"
#include "tests/support/TestDirectory.h"

namespace platform {
namespace {

class StagedFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = TheDriveTable();
        SetDriveTable(DriveTable({{'C', root_.Path(), DriveType::HardDisk}}));
        root_.MakeDirectory("docs");
        root_.MakeDirectory("other");
    }
    void TearDown() override { SetDriveTable(saved_); }

    std::vector<std::string> Names(const std::string& directory) const {
        std::vector<std::string> names = TestDirectory::List(root_ / directory);
        std::sort(names.begin(), names.end());
        return names;
    }

    TestDirectory root_;
    DriveTable saved_;
};

TEST_F(StagedFileTest, NothingIsVisibleUntilPublished) {
    StagedFile staged = StagedFile::CreateIn("C:\\docs");
    ASSERT_TRUE(staged.IsOpen());
    ASSERT_TRUE(staged.Write("first "));
    ASSERT_TRUE(staged.Write(std::string("\0second\r\n", 9)));
    EXPECT_EQ(Names("docs"), std::vector<std::string>{});
    EXPECT_EQ(staged.Publish("a.txt"), PublishResult::Published);
    EXPECT_FALSE(staged.IsOpen());
    EXPECT_EQ(Names("docs"), std::vector<std::string>{"a.txt"});
    EXPECT_EQ(ReadWholeFile(root_ / "docs/a.txt"), std::string("first \0second\r\n", 15));
    EXPECT_EQ(std::filesystem::status(root_ / "docs/a.txt").permissions() & std::filesystem::perms::owner_write,
              std::filesystem::perms::owner_write);
}

TEST_F(StagedFileTest, ANameThatIsTakenIsNeverReplaced) {
    root_.WriteFile("docs/file", "old");
    root_.MakeDirectory("docs/dir");
    std::filesystem::create_symlink(root_ / "other/target", root_ / "docs/dangling");
    StagedFile staged = StagedFile::CreateIn("C:\\docs");
    ASSERT_TRUE(staged.Write("new"));
    for (const char* taken : {"file", "dir", "dangling"}) {
        EXPECT_EQ(staged.Publish(taken), PublishResult::NameTaken) << taken;
    }
    EXPECT_EQ(ReadWholeFile(root_ / "docs/file"), "old");
    EXPECT_FALSE(std::filesystem::exists(root_ / "other/target")) << "a link at the name is not followed";
    EXPECT_EQ(staged.Publish("file (2)"), PublishResult::Published);
    EXPECT_EQ(ReadWholeFile(root_ / "docs/file (2)"), "new");
}

TEST_F(StagedFileTest, NamesThatAreNotOneComponentFail) {
    StagedFile staged = StagedFile::CreateIn("C:\\docs");
    for (const std::string& name :
         std::vector<std::string>{"", ".", "..", "../other/x", "a/b", std::string("a\0b", 3)}) {
        EXPECT_EQ(staged.Publish(name), PublishResult::Failed) << name;
    }
    EXPECT_EQ(Names("docs"), std::vector<std::string>{});
    EXPECT_EQ(Names("other"), std::vector<std::string>{});
}

TEST_F(StagedFileTest, DroppedFilesLeaveNothing) {
    {
        StagedFile staged = StagedFile::CreateIn("C:\\docs");
        ASSERT_TRUE(staged.Write(std::string(100000, 'x')));
        StagedFile moved = std::move(staged);
        EXPECT_FALSE(staged.IsOpen());
        EXPECT_TRUE(moved.IsOpen());
    }
    StagedFile discarded = StagedFile::CreateIn("C:\\docs");
    discarded.Write("x");
    discarded.Discard();
    EXPECT_FALSE(discarded.IsOpen());
    EXPECT_EQ(discarded.Publish("x"), PublishResult::Failed);
    EXPECT_EQ(Names("docs"), std::vector<std::string>{});
}

TEST_F(StagedFileTest, AKilledWriterLeavesNothing) {
    const pid_t child = fork();
    if (child == 0) {
        StagedFile staged = StagedFile::CreateIn("C:\\docs");
        staged.Write(std::string(1 << 20, 'k'));
        kill(getpid(), SIGKILL);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(Names("docs"), std::vector<std::string>{});
}

TEST_F(StagedFileTest, ACopyGoesToAnotherDirectory) {
    const std::string bytes = PatternBytes(300000, 4);
    StagedFile staged = StagedFile::CreateIn(root_ / "other");
    ASSERT_TRUE(staged.Write(bytes));
    StagedFile copy = staged.CopyInto("C:\\docs");
    ASSERT_TRUE(copy.IsOpen());
    staged.Discard();
    EXPECT_EQ(copy.Publish("copy.bin"), PublishResult::Published);
    EXPECT_TRUE(ReadWholeFile(root_ / "docs/copy.bin") == bytes);
    EXPECT_EQ(Names("other"), std::vector<std::string>{});
}

TEST_F(StagedFileTest, DirectoriesThatAreNotThereCannotTakeOne) {
    for (const char* where : {"C:\\nothere", "Q:\\docs", "C:\\docs\\..\\..", "relative"}) {
        FileError error = FileError::None;
        const StagedFile staged = StagedFile::CreateIn(where, &error);
        EXPECT_FALSE(staged.IsOpen()) << where;
        EXPECT_EQ(error, FileError::Missing) << where;
    }
    root_.WriteFile("docs/plain", "x");
    FileError error = FileError::None;
    EXPECT_FALSE(StagedFile::CreateIn("C:\\docs\\plain", &error).IsOpen());
    EXPECT_EQ(error, FileError::Missing);
}

}  // namespace
}  // namespace platform
