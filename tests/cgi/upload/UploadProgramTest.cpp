// The upload program run on its own, as the server runs it: the CGI environment plus
// the server's drive table, store and temporary directory, the body on standard input.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "tests/cgi/upload/UploadTestSupport.h"
#include "tests/support/TestDirectory.h"

namespace {

class UploadProgram : public ::testing::Test {
protected:
    void SetUp() override {
        drive_.MakeDirectory("docs");
        home_.MakeDirectory("tmp");
        settings_.UploadOn = 1;
        SaveSettingsIn(home_ / "config", settings_);
    }

    std::map<std::string, std::string> Environment() const {
        return {
            {"SERVER_SOFTWARE", "PELLORA/1.0"},
            {"GATEWAY_INTERFACE", "CGI/1.1"},
            {"REQUEST_METHOD", "POST"},
            {"CONTENT_TYPE", "multipart/form-data"},
            {"PELLORA_DRIVES", "C=" + drive_.Path()},
            {"XDG_CONFIG_HOME", home_ / "config"},
            {"TMPDIR", home_ / "tmp"},
        };
    }

    ProgramRun Run(const std::string& body) const {
        const std::string input = work_.WriteFile("body", body);
        return RunProgram({UploadProgramPath()}, Environment(), input);
    }

    TestDirectory drive_;
    TestDirectory home_;
    TestDirectory work_;
    ServerSettings settings_;
};

// However early the body ends, nothing is stored and nothing is left behind, in the
// destination directory or in the temporary one.
TEST_F(UploadProgram, ABodyCutAnywhereLeavesNoFile) {
    const std::string content = "0123456789\r\n--not-the-boundary\r\nabcdef";
    struct Order {
        const char* name;
        std::string body;
    };
    const Order orders[] = {
        {"destination first", MultipartBody({TextField("dest", "C:\\docs\\"), FileField("cut.txt", content)})},
        {"file first", MultipartBody({FileField("cut.txt", content), TextField("dest", "C:\\docs\\")})},
    };
    for (const Order& order : orders) {
        // The closing boundary's dashes are the last bytes that matter. The reader is
        // split at every byte in its own test; here a cut every few bytes reaches every
        // stage of the program, and every byte of the last boundaries.
        const std::size_t complete = order.body.size() - 2;
        for (std::size_t cut = 0; cut < complete; cut += cut + 40 < complete ? 7 : 1) {
            const ProgramRun run = Run(order.body.substr(0, cut));
            EXPECT_EQ(run.exitStatus, 1) << order.name << ", cut at " << cut;
            EXPECT_EQ(TreeOf(drive_.Path()), std::vector<std::string>{"docs/"}) << order.name << ", cut at " << cut;
            EXPECT_EQ(TreeOf(home_ / "tmp"), std::vector<std::string>{}) << order.name << ", cut at " << cut;
        }
        const ProgramRun run = Run(order.body.substr(0, complete));
        EXPECT_EQ(run.exitStatus, 0) << order.name;
        EXPECT_EQ(ReadWholeFile(drive_ / "docs/cut.txt"), content) << order.name;
        std::filesystem::remove(drive_ / "docs/cut.txt");
    }
}

TEST_F(UploadProgram, AProgramKilledMidUploadLeavesNoFile) {
    // A program that died early must fail the test, not end it.
    signal(SIGPIPE, SIG_IGN);
    for (const bool destinationFirst : {true, false}) {
        int input[2];
        ASSERT_EQ(pipe(input), 0);
        std::map<std::string, std::string> environment = Environment();
        std::vector<std::string> entries;
        for (const auto& [name, value] : environment) entries.push_back(name + "=" + value);
        std::vector<char*> envp;
        for (std::string& entry : entries) envp.push_back(entry.data());
        envp.push_back(nullptr);
        std::string program = UploadProgramPath();
        char* argv[] = {program.data(), nullptr};
        const pid_t child = fork();
        if (child == 0) {
            dup2(input[0], 0);
            close(input[1]);
            const int nowhere = open("/dev/null", O_WRONLY);
            dup2(nowhere, 1);
            execve(argv[0], argv, envp.data());
            _exit(127);
        }
        close(input[0]);
        std::string start = "--b\r\n";
        if (destinationFirst) start += "Content-Disposition: form-data; name=\"dest\"\r\n\r\nC:\\docs\\\r\n--b\r\n";
        start += "Content-Disposition: form-data; name=\"upl-file\"; filename=\"big.bin\"\r\n\r\n";
        start += PatternBytes(1 << 20, 3);
        ASSERT_EQ(write(input[1], start.data(), start.size()), static_cast<ssize_t>(start.size()));
        // Give it the time to store what it was sent.
        usleep(300000);
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        close(input[1]);
        EXPECT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(TreeOf(drive_.Path()), std::vector<std::string>{"docs/"}) << destinationFirst;
        EXPECT_EQ(TreeOf(home_ / "tmp"), std::vector<std::string>{}) << destinationFirst;
    }
}

// 200 MiB go through in a few pieces of memory: the largest resident size of the run
// is hardly above that of a run with a one-byte file.
TEST_F(UploadProgram, A200MebibyteUploadStreamsInLittleMemory) {
    constexpr std::size_t kSize = 200u << 20;
    const std::string source = work_ / "large.bin";
    WriteLargeFile(source, kSize, 21);
    const std::string boundary = "------------------------5f1e0c0a0b0c0d0e";
    const std::string head = "--" + boundary +
                             "\r\nContent-Disposition: form-data; name=\"dest\"\r\n\r\nC:\\docs\\\r\n--" + boundary +
                             "\r\nContent-Disposition: form-data; name=\"upl-file\"; filename=\"large.bin\"\r\n"
                             "Content-Type: application/octet-stream\r\n\r\n";
    const std::string tail = "\r\n--" + boundary + "--\r\n";
    const std::string bodyFile = work_ / "large.body";
    {
        std::ofstream body(bodyFile, std::ios::binary);
        body << head;
        std::ifstream in(source, std::ios::binary);
        body << in.rdbuf();
        body << tail;
    }
    std::filesystem::remove(source);  // half the disk it needs

    const ProgramRun small = Run(MultipartBody({TextField("dest", "C:\\docs\\"), FileField("small.bin", "x")}));
    ASSERT_EQ(small.exitStatus, 0);
    const ProgramRun large = RunProgram({UploadProgramPath()}, Environment(), bodyFile);
    ASSERT_EQ(large.exitStatus, 0) << large.output;
    EXPECT_NE(large.output.find("Stored <B>C:\\docs\\large.bin</B> (209715200 bytes)."), std::string::npos);
    EXPECT_LT(large.maxResidentKilobytes - small.maxResidentKilobytes, 8 * 1024)
        << "small run " << small.maxResidentKilobytes << " KiB, large run " << large.maxResidentKilobytes << " KiB";
    EXPECT_EQ(std::filesystem::file_size(drive_ / "docs/large.bin"), kSize);

    // Byte for byte: the stored file is the body without its framing.
    std::ifstream body(bodyFile, std::ios::binary);
    std::ifstream stored(drive_ / "docs/large.bin", std::ios::binary);
    body.seekg(static_cast<std::streamoff>(head.size()));
    std::vector<char> x(1 << 20);
    std::vector<char> y(1 << 20);
    for (std::size_t left = kSize; left > 0;) {
        const std::size_t count = std::min(left, x.size());
        body.read(x.data(), static_cast<std::streamsize>(count));
        stored.read(y.data(), static_cast<std::streamsize>(count));
        ASSERT_TRUE(std::equal(x.begin(), x.begin() + static_cast<std::ptrdiff_t>(count), y.begin()))
            << "differs in the MiB before " << kSize - left + count;
        left -= count;
    }
}

}  // namespace
