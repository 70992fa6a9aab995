#include "platform/FileHandle.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/DriveTable.h"

namespace platform {
namespace {

std::string ReadAllOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

bool IsClosedDescriptor(int descriptor) {
    return fcntl(descriptor, F_GETFD) < 0 && errno == EBADF;
}

// A fixture tree of its own, published as drive C:, with the process table put back.
class FileHandleTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = std::filesystem::temp_directory_path().string() + "/pellora-files-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        savedTable_ = TheDriveTable();
        SetDriveTable(DriveTable({{'C', root_, DriveType::HardDisk}}));
        WriteText(root_ + "/a.txt", "hello");
        std::filesystem::create_directory(root_ + "/docs");
        ASSERT_EQ(mkfifo((root_ + "/pipe").c_str(), 0600), 0);
        std::filesystem::create_symlink(root_ + "/a.txt", root_ + "/link");
        std::filesystem::create_symlink(root_ + "/nowhere", root_ + "/dangling");
    }
    void TearDown() override {
        SetDriveTable(savedTable_);
        std::filesystem::permissions(root_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add);
        std::filesystem::remove_all(root_);
    }

    std::string root_;
    DriveTable savedTable_;
};

TEST_F(FileHandleTest, PathStatusTellsFilesDirectoriesAndWhyOthersAreMissing) {
    struct Row {
        const char* name;
        std::string path;
        PathKind kind;
        FileError error;
    };
    const Row rows[] = {
        {"file by drive path", "C:\\a.txt", PathKind::File, FileError::None},
        {"drive letter in lower case", "c:\\a.txt", PathKind::File, FileError::None},
        {"file by host path", root_ + "/a.txt", PathKind::File, FileError::None},
        {"directory", "C:\\docs", PathKind::Directory, FileError::None},
        {"drive root", "C:\\", PathKind::Directory, FileError::None},
        {"symbolic link is followed", "C:\\link", PathKind::File, FileError::None},
        {"fifo counts as missing", "C:\\pipe", PathKind::Missing, FileError::Missing},
        {"character device counts as missing", "/dev/null", PathKind::Missing, FileError::Missing},
        {"no such name", "C:\\nothing", PathKind::Missing, FileError::Missing},
        {"dangling link", "C:\\dangling", PathKind::Missing, FileError::Missing},
        {"below a file", "C:\\a.txt\\inner", PathKind::Missing, FileError::Missing},
        {"unknown drive", "Q:\\a.txt", PathKind::Missing, FileError::Missing},
        {"climbing above the root", "C:\\docs\\..\\..\\etc", PathKind::Missing, FileError::Missing},
        {"NUL inside the name", std::string("C:\\a.txt\0x", 10), PathKind::Missing, FileError::Missing},
    };
    for (const Row& row : rows) {
        PathStatus status = GetPathStatus(row.path);
        EXPECT_EQ(status.kind, row.kind) << row.name;
        EXPECT_EQ(status.error, row.error) << row.name;
    }
}

TEST_F(FileHandleTest, PathStatusReportsRefusedBehindALockedDirectory) {
    if (geteuid() == 0) GTEST_SKIP() << "root passes every permission check";
    std::filesystem::create_directory(root_ + "/locked");
    WriteText(root_ + "/locked/secret", "x");
    ASSERT_EQ(chmod((root_ + "/locked").c_str(), 0), 0);
    PathStatus status = GetPathStatus("C:\\locked\\secret");
    chmod((root_ + "/locked").c_str(), 0700);
    EXPECT_EQ(status.kind, PathKind::Missing);
    EXPECT_EQ(status.error, FileError::Refused);
}

TEST_F(FileHandleTest, OpenForReadGivesTheBytesThenTheEnd) {
    FileError error = FileError::Other;
    FileHandle file = OpenFileForRead("C:\\a.txt", &error);
    ASSERT_TRUE(file.IsOpen());
    EXPECT_EQ(error, FileError::None);
    EXPECT_NE(fcntl(file.Descriptor(), F_GETFD) & FD_CLOEXEC, 0);
    char buffer[16];
    ASSERT_EQ(file.Read(buffer, sizeof buffer), 5);
    EXPECT_EQ(std::string(buffer, 5), "hello");
    EXPECT_EQ(file.Read(buffer, sizeof buffer), 0);
}

TEST_F(FileHandleTest, OpenForReadRefusesWhatIsNotARegularFile) {
    struct Row {
        const char* name;
        std::string path;
        FileError error;
    };
    const Row rows[] = {
        // A fifo without a writer would block a plain open for ever.
        {"fifo", "C:\\pipe", FileError::Missing},
        {"directory", "C:\\docs", FileError::Refused},
        {"missing", "C:\\nothing", FileError::Missing},
        {"unknown drive", "Z:\\a.txt", FileError::Missing},
        {"drive path without backslash", "C:a.txt", FileError::Missing},
    };
    for (const Row& row : rows) {
        FileError error = FileError::None;
        FileHandle file = OpenFileForRead(row.path, &error);
        EXPECT_FALSE(file.IsOpen()) << row.name;
        EXPECT_EQ(error, row.error) << row.name;
    }
}

TEST_F(FileHandleTest, CreateForWriteTruncatesAndUsesMode0644) {
    mode_t previousMask = umask(022);
    FileError error = FileError::Other;
    FileHandle file = CreateFileForWrite("C:\\a.txt", &error);
    umask(previousMask);
    ASSERT_TRUE(file.IsOpen());
    EXPECT_EQ(error, FileError::None);
    EXPECT_NE(fcntl(file.Descriptor(), F_GETFD) & FD_CLOEXEC, 0);
    EXPECT_TRUE(file.WriteAll("new"));
    file.Close();
    EXPECT_EQ(ReadAllOf(root_ + "/a.txt"), "new");

    file = CreateFileForWrite("C:\\docs\\fresh.txt");
    ASSERT_TRUE(file.IsOpen());
    struct stat status {};
    ASSERT_EQ(stat((root_ + "/docs/fresh.txt").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0644u & ~static_cast<unsigned>(previousMask));
}

TEST_F(FileHandleTest, CreateForWriteFailsWithoutHanging) {
    struct Row {
        const char* name;
        std::string path;
        FileError error;
    };
    const Row rows[] = {
        {"directory missing", "C:\\no\\file.txt", FileError::Missing},
        {"name is a directory", "C:\\docs", FileError::Refused},
        {"fifo nobody reads", "C:\\pipe", FileError::Other},
        {"climbing above the root", "C:\\..\\escape.txt", FileError::Missing},
    };
    for (const Row& row : rows) {
        FileError error = FileError::None;
        EXPECT_FALSE(CreateFileForWrite(row.path, &error).IsOpen()) << row.name;
        EXPECT_EQ(error, row.error) << row.name;
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(root_).parent_path() / "escape.txt"));
}

volatile sig_atomic_t alarmsTaken = 0;
void CountAlarm(int) {
    alarmsTaken = alarmsTaken + 1;
}

// Interrupts this thread's system calls every 200 microseconds (no SA_RESTART), so a
// blocked write returns short or with EINTR; puts the old handler and timer back.
class FrequentInterruptions {
public:
    FrequentInterruptions() {
        struct sigaction action {};
        action.sa_handler = &CountAlarm;
        sigaction(SIGALRM, &action, &previousAction_);
        itimerval every{{0, 200}, {0, 200}};
        setitimer(ITIMER_REAL, &every, &previousTimer_);
    }
    ~FrequentInterruptions() {
        setitimer(ITIMER_REAL, &previousTimer_, nullptr);
        sigaction(SIGALRM, &previousAction_, nullptr);
    }
    FrequentInterruptions(const FrequentInterruptions&) = delete;
    FrequentInterruptions& operator=(const FrequentInterruptions&) = delete;

private:
    struct sigaction previousAction_ {};
    itimerval previousTimer_{};
};

TEST_F(FileHandleTest, WriteAllDeliversEveryByteThroughInterruptedAndShortWrites) {
    int ends[2];
    ASSERT_EQ(pipe2(ends, O_CLOEXEC), 0);
    FileHandle reader(ends[0]);
    FileHandle writer(ends[1]);
    // Far more than a pipe holds, drained slowly, so the writer blocks again and again.
    std::string bytes(1 << 20, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
    std::string received;
    std::thread drain([&] {
        sigset_t alarm;
        sigemptyset(&alarm);
        sigaddset(&alarm, SIGALRM);
        pthread_sigmask(SIG_BLOCK, &alarm, nullptr);
        char buffer[4096];
        long got;
        while ((got = reader.Read(buffer, sizeof buffer)) > 0) {
            received.append(buffer, static_cast<std::size_t>(got));
            if (received.size() % (64 * 1024) == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    alarmsTaken = 0;
    bool wroteAll;
    {
        FrequentInterruptions interruptions;
        wroteAll = writer.WriteAll(bytes);
    }
    writer.Close();
    drain.join();
    EXPECT_TRUE(wroteAll);
    EXPECT_EQ(received, bytes);
    EXPECT_GT(alarmsTaken, 0);
}

TEST_F(FileHandleTest, WriteAllAndReadFailOnTheWrongHandle) {
    FileHandle closed;
    char buffer[4];
    EXPECT_EQ(closed.Read(buffer, sizeof buffer), 0);
    EXPECT_FALSE(closed.WriteAll("x"));
    FileHandle readOnly = OpenFileForRead("C:\\a.txt");
    EXPECT_FALSE(readOnly.WriteAll("x"));
    FileHandle writeOnly = CreateFileForWrite("C:\\w.txt");
    EXPECT_EQ(writeOnly.Read(buffer, sizeof buffer), -1);
}

TEST_F(FileHandleTest, MovesLeaveTheSourceEmptyAndCloseTheReplacedDescriptor) {
    FileHandle first = OpenFileForRead("C:\\a.txt");
    FileHandle second = OpenFileForRead("C:\\a.txt");
    int firstDescriptor = first.Descriptor();
    int secondDescriptor = second.Descriptor();

    FileHandle moved(std::move(first));
    EXPECT_FALSE(first.IsOpen());  // NOLINT(bugprone-use-after-move): the point of the test
    EXPECT_EQ(moved.Descriptor(), firstDescriptor);

    moved = std::move(second);
    EXPECT_TRUE(IsClosedDescriptor(firstDescriptor));
    EXPECT_EQ(moved.Descriptor(), secondDescriptor);

    FileHandle& alias = moved;
    moved = std::move(alias);
    EXPECT_EQ(moved.Descriptor(), secondDescriptor);

    int released = moved.Release();
    EXPECT_FALSE(moved.IsOpen());
    EXPECT_FALSE(IsClosedDescriptor(released));
    close(released);
}

TEST_F(FileHandleTest, DeleteFileRemovesOnlyWhatExists) {
    EXPECT_TRUE(DeleteFile("C:\\a.txt"));
    EXPECT_FALSE(std::filesystem::exists(root_ + "/a.txt"));
    EXPECT_FALSE(DeleteFile("C:\\a.txt"));
    EXPECT_FALSE(DeleteFile("Q:\\a.txt"));
    EXPECT_FALSE(DeleteFile("C:\\docs"));
    WriteText(root_ + "/host.txt", "x");
    EXPECT_TRUE(DeleteFile(root_ + "/host.txt"));
}

}  // namespace
}  // namespace platform
