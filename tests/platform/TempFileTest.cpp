#include "platform/TempFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <string>

namespace platform {
namespace {

// Every case runs with TMPDIR pointing into a directory of its own, put back afterwards.
class TempFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* old = std::getenv("TMPDIR")) savedTmpdir_ = old;
        std::string pattern = "/tmp/pellora-temp-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
        setenv("TMPDIR", directory_.c_str(), 1);
    }
    void TearDown() override {
        if (savedTmpdir_) {
            setenv("TMPDIR", savedTmpdir_->c_str(), 1);
        } else {
            unsetenv("TMPDIR");
        }
        std::filesystem::remove_all(directory_);
    }

    std::string NameOfNumber(unsigned number) const {
        char name[16];
        std::snprintf(name, sizeof name, "uGh%04X.tmp", number);
        return directory_ + "/" + name;
    }

    std::string directory_;
    std::optional<std::string> savedTmpdir_;
};

TEST_F(TempFileTest, TemporaryDirectoryFollowsTmpdir) {
    struct Row {
        const char* name;
        const char* tmpdir;
        const char* directory;
    };
    const Row rows[] = {
        {"unset", nullptr, "/tmp"},
        {"empty", "", "/tmp"},
        {"plain", "/var/tmp", "/var/tmp"},
        {"trailing slashes", "/var/tmp//", "/var/tmp"},
        {"the root", "/", "/"},
    };
    for (const Row& row : rows) {
        if (row.tmpdir != nullptr) {
            setenv("TMPDIR", row.tmpdir, 1);
        } else {
            unsetenv("TMPDIR");
        }
        EXPECT_EQ(TemporaryDirectory(), row.directory) << row.name;
    }
}

TEST_F(TempFileTest, CreatesAPrivateNamedFileInTmpdir) {
    std::string name;
    FileHandle file = CreateTemporaryFile(name);
    ASSERT_TRUE(file.IsOpen());
    EXPECT_TRUE(std::regex_match(name, std::regex(directory_ + "/uGh[0-9A-F]{4}\\.tmp"))) << name;
    EXPECT_NE(fcntl(file.Descriptor(), F_GETFD) & FD_CLOEXEC, 0);
    EXPECT_EQ(fcntl(file.Descriptor(), F_GETFL) & O_ACCMODE, O_WRONLY);
    struct stat status {};
    ASSERT_EQ(stat(name.c_str(), &status), 0);
    EXPECT_TRUE(S_ISREG(status.st_mode));
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    EXPECT_TRUE(file.WriteAll("body"));
}

// Fills all but one of the 65536 names with files that must survive untouched.
TEST_F(TempFileTest, FindsTheLastFreeNameThenFailsWithoutTouchingOthers) {
    constexpr unsigned freeNumber = 0x9C3E;
    for (unsigned number = 0; number < 0x10000; ++number) {
        if (number == freeNumber) continue;
        int descriptor = open(NameOfNumber(number).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
        ASSERT_GE(descriptor, 0);
        close(descriptor);
    }
    std::ofstream(NameOfNumber(0x1234)) << "keep";

    std::string name;
    FileHandle file = CreateTemporaryFile(name);
    ASSERT_TRUE(file.IsOpen());
    EXPECT_EQ(name, NameOfNumber(freeNumber));

    std::string none = "stale";
    EXPECT_FALSE(CreateTemporaryFile(none).IsOpen());
    EXPECT_EQ(none, "");
    std::ifstream kept(NameOfNumber(0x1234));
    std::string content;
    kept >> content;
    EXPECT_EQ(content, "keep");
}

TEST_F(TempFileTest, FailsAtOnceWhenTheDirectoryIsUnusable) {
    setenv("TMPDIR", (directory_ + "/absent").c_str(), 1);
    std::string name;
    EXPECT_FALSE(CreateTemporaryFile(name).IsOpen());
    EXPECT_TRUE(name.empty());
}

}  // namespace
}  // namespace platform
