#include "platform/AppendFile.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/DriveTable.h"
#include "tests/support/TestDirectory.h"

namespace platform {
namespace {

TEST(AppendFile, UnopenableFilesLoseTheRecordAndCreateNothing) {
    TestDirectory root;
    root.MakeDirectory("a directory");
    const std::string rows[] = {
        root / "missing/dir/access.log",
        root / "a directory",
        "",
        "relative.log",
        std::string(root / "nul") + std::string(1, '\0') + "x",
    };
    for (const std::string& path : rows) EXPECT_FALSE(AppendToFile(path, "line\r\n")) << path;
    EXPECT_EQ(TestDirectory::List(root.Path()), std::vector<std::string>{"a directory"});
    EXPECT_EQ(TestDirectory::List(root / "a directory"), std::vector<std::string>{});
}

// Several processes appending at once: every record arrives whole, none interleaved.
TEST(AppendFile, RecordsOfConcurrentWritersNeverInterleave) {
    TestDirectory root;
    const std::string path = root / "access.log";
    constexpr int kWriters = 4;
    constexpr int kRecords = 400;
    std::vector<pid_t> children;
    for (int writer = 0; writer < kWriters; ++writer) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const std::string record = std::string(380, static_cast<char>('a' + writer)) + "\r\n";
            for (int i = 0; i < kRecords; ++i) AppendToFile(path, record);
            _exit(0);
        }
        children.push_back(child);
    }
    for (pid_t child : children) waitpid(child, nullptr, 0);

    std::istringstream lines(ReadWholeFile(path));
    std::string line;
    std::vector<int> counts(kWriters, 0);
    while (std::getline(lines, line)) {
        ASSERT_EQ(line.size(), 381u);
        ASSERT_EQ(line.back(), '\r');
        const char mark = line.front();
        ASSERT_EQ(line.find_first_not_of(mark), 380u) << "a record was split by another";
        ++counts[mark - 'a'];
    }
    EXPECT_EQ(counts, std::vector<int>(kWriters, kRecords));
}

}  // namespace
}  // namespace platform
