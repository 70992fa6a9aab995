// The server on a machine that lets it down: a temporary directory that is missing,
// not a directory, read-only or full; a store directory it cannot write; CGI programs
// that exit oddly or leave a process behind. Every case ends with the server serving
// again and holding nothing it should have let go.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/cgi/upload/UploadTestSupport.h"
#include "tests/support/ServerFixture.h"

namespace {

using namespace std::chrono_literals;

bool Shell(const std::string& command) {
    return std::system((command + " > /dev/null 2>&1").c_str()) == 0;
}

// A small file system of its own mounted on `directory` (needs root); false when the
// machine does not allow it.
bool MountTmpfs(const std::string& directory, const std::string& options) {
    return Shell("mount -t tmpfs -o " + options + " pellora-test " + directory);
}

// Makes a directory read-only even to root: the immutable flag, else a read-only bind
// mount of itself. Returns the command that undoes it, empty when neither works.
std::string MakeReadOnly(const std::string& directory) {
    if (Shell("chattr +i " + directory)) return "chattr -i " + directory;
    if (Shell("mount --bind " + directory + " " + directory)) {
        if (Shell("mount -o remount,bind,ro " + directory)) return "umount " + directory;
        Shell("umount " + directory);
    }
    return {};
}

// Fills a file system until no byte more fits.
void FillUp(const std::string& directory) {
    std::ofstream filler(directory + "/filler", std::ios::binary);
    const std::string block(4096, 'f');
    while (filler.write(block.data(), static_cast<std::streamsize>(block.size()))) filler.flush();
}

class Faults : public ServerFixture {
protected:
    void SetUp() override {
        settings.RootDir.Assign("c:\\web");
        settings.UploadOn = 1;
        settings.UploadAccessType = 0;
        settings.UploadDir.Assign("c:\\up");
        drive.WriteFile("web/a.txt", "plain file");
        drive.MakeDirectory("up");
        Script("echo.sh", "#!/bin/sh\nprintf 'Content-Type: text/plain\\r\\n\\r\\n'\ncat\n");
    }
    void TearDown() override {
        if (!undo.empty()) Shell(undo);
        ServerFixture::TearDown();
    }
    void Script(const std::string& name, const std::string& text) {
        chmod(drive.WriteFile("web/cgi-bin/" + name, text).c_str(), 0755);
    }
    void Start() {
        StartServer();
        SaveSettingsIn(server->ConfigDirectory(), settings);
    }
    std::string Post(const std::string& url, const std::string& contentType, const std::string& body) const {
        return Request("POST " + url + " HTTP/1.0\r\nContent-Type: " + contentType +
                       "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
    }
    std::string Upload(const std::string& name, const std::string& bytes) const {
        return Post("/@upload.exe", "multipart/form-data",
                    MultipartBody({TextField("dest", "c:\\up\\" + name), FileField(name, bytes)}));
    }

    // Every request that needs a temporary file gets the page that says so, and the
    // rest are served as usual.
    void ExpectTemporaryFileRefusals(const std::string& situation) {
        const std::string failed =
            ErrorPageBytes("500 Internal Server Error", "The server wasn't able to create tmp file.");
        EXPECT_EQ(Post("/cgi-bin/echo.sh", "text/plain", PatternBytes(100000)), failed) << situation;
        EXPECT_EQ(Get("/cgi-bin/echo.sh?x"), failed) << situation;
        EXPECT_EQ(Upload("u.bin", "never stored"), failed) << situation;
        EXPECT_EQ(Get("/c/web/"), failed) << situation;
        EXPECT_EQ(SplitResponse(Get("/c/web/a.txt")).body, "plain file") << situation;
        EXPECT_FALSE(std::filesystem::exists(drive / "up/u.bin")) << situation;
    }

    // With the temporary directory back, everything works and nothing was left open.
    void ExpectRecovery(int descriptors) {
        EXPECT_EQ(SplitResponse(Post("/cgi-bin/echo.sh", "text/plain", "body")).body, "body");
        EXPECT_TRUE(SplitResponse(Upload("v.bin", "stored")).body.find("Stored") != std::string::npos);
        EXPECT_EQ(ReadWholeFile(drive / "up/v.bin"), "stored");
        EXPECT_TRUE(server->WaitForDescriptors(descriptors, 5s)) << server->OpenDescriptors() << " > " << descriptors;
    }

    std::string undo;  // what gives the test's directories back
};

TEST_F(Faults, AMissingTemporaryDirectoryOrAFileInItsPlaceGivesTheTemporaryFilePage) {
    Start();
    const int descriptors = server->OpenDescriptors();
    const std::string temp = server->TempDirectory();
    std::filesystem::remove_all(temp);
    ExpectTemporaryFileRefusals("missing");
    std::ofstream(temp) << "a file, not a directory";
    ExpectTemporaryFileRefusals("a file");
    std::filesystem::remove(temp);
    std::filesystem::create_directory(temp);
    ExpectRecovery(descriptors);
}

TEST_F(Faults, AReadOnlyTemporaryDirectoryGivesTheTemporaryFilePage) {
    Start();
    const int descriptors = server->OpenDescriptors();
    // Root writes through permission bits, so they would prove nothing.
    undo = MakeReadOnly(server->TempDirectory());
    if (undo.empty()) GTEST_SKIP() << "no way to make a directory read-only here";
    ExpectTemporaryFileRefusals("read-only");
    ASSERT_TRUE(Shell(undo));
    undo.clear();
    ExpectRecovery(descriptors);
}

TEST_F(Faults, AFullTemporaryDirectoryRefusesBodiesAndLeavesNoFile) {
    Start();
    const int descriptors = server->OpenDescriptors();
    const std::string mounted = server->TempDirectory();
    // Room for the 64 MiB the server keeps free and a little more.
    if (!MountTmpfs(mounted, "size=72m")) GTEST_SKIP() << "tmpfs cannot be mounted here";
    undo = "umount " + mounted;
    FillUp(mounted);
    const std::string failed =
        ErrorPageBytes("500 Internal Server Error", "The server wasn't able to create tmp file.");
    // A body that does not fit: the client hears so at once, and no part of it is stored.
    EXPECT_EQ(Post("/cgi-bin/echo.sh", "text/plain", PatternBytes(100000)), failed);
    EXPECT_EQ(Upload("u.bin", PatternBytes(100000)), failed);
    EXPECT_FALSE(std::filesystem::exists(drive / "up/u.bin"));
    // A listing the disk cannot hold whole is refused, not sent cut short as a success.
    EXPECT_EQ(Get("/c/web/"), failed);
    EXPECT_EQ(TestDirectory::List(mounted), std::vector<std::string>{"filler"});
    EXPECT_EQ(SplitResponse(Get("/c/web/a.txt")).body, "plain file");
    std::filesystem::remove(mounted + "/filler");
    ExpectRecovery(descriptors);
}

TEST_F(Faults, AStoreDirectoryThatCannotBeWrittenStillGivesTheSavedSettings) {
    // Only the port is saved: the server fills in the rest and tries to write the store whole.
    settings.Port = FreePort();
    server = std::make_unique<ServerProcess>(settings, "C=" + drive.Path(), true);
    server->SetArguments({});
    const std::string store = server->ConfigDirectory() + "/pellora";
    std::filesystem::create_directories(store);
    std::ofstream(store + "/settings.store")
        << "Pellora settings store, format 1\n\n[Software\\Tamsel\\Pellora\\Global]\n\"Port\"=dword:" << settings.Port
        << "\n\nEnd of store\n";
    const std::string saved = ReadWholeFile(store + "/settings.store");
    undo = MakeReadOnly(store);
    if (undo.empty()) GTEST_SKIP() << "no way to make a directory read-only here";
    ASSERT_TRUE(server->Start()) << server->Stdout() << server->Stderr();
    EXPECT_EQ(SplitResponse(Get("/c/web/a.txt")).body, "plain file");
    EXPECT_EQ(ReadWholeFile(store + "/settings.store"), saved);
    EXPECT_EQ(TestDirectory::List(store), std::vector<std::string>{"settings.store"});
}

TEST_F(Faults, ProgramsThatExitOddlyOrLeaveAProcessBehindAreAnsweredAndCleanedUp) {
    const std::string pids = drive / "pids";
    // 259 is beyond an exit status: the shell reports it as 3.
    Script("odd-exit.sh", "#!/bin/sh\nprintf 'Content-Type: text/plain\\r\\n\\r\\nbefore exit'\nexit 259\n");
    Script("killed.sh", "#!/bin/sh\nprintf 'Content-Type: text/plain\\r\\n\\r\\npartial'\nkill -9 $$\n");
    Script("leaves.sh",
           "#!/bin/sh\nsleep 1000 &\necho $! > " + pids + "\nprintf 'Content-Type: text/plain\\r\\n\\r\\ndone'\n");
    Start();
    const int descriptors = server->OpenDescriptors();
    EXPECT_EQ(SplitResponse(Get("/cgi-bin/odd-exit.sh?x")).body, "before exit");
    EXPECT_EQ(SplitResponse(Get("/cgi-bin/killed.sh?x")).body, "partial");
    EXPECT_EQ(SplitResponse(Get("/cgi-bin/leaves.sh?x")).body, "done");
    EXPECT_TRUE(WaitUntilGone(std::stoi(ReadWholeFile(pids)))) << "the program's own child outlived its answer";
    EXPECT_TRUE(server->WaitForDescriptors(descriptors, 5s));
}

}  // namespace
