// POST bodies are stored only for a request that will be run: a refused client, a URL
// that nothing answers or a body the temporary directory cannot hold is answered from
// the header part alone, and the client hears it while it is still sending.
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

#include "tests/support/ServerFixture.h"

namespace {

using namespace std::chrono_literals;

constexpr std::size_t kMebibyte = 1 << 20;

class RequestBodies : public ServerFixture {
protected:
    void SetUp() override {
        settings.UploadOn = 1;
        settings.RootDir.Assign("c:\\web");
        drive.MakeDirectory("web/cgi-bin");
    }

    struct Sending {
        std::string answer;
        std::size_t bodyBytesSent = 0;
        std::size_t temporaryFilesSeen = 0;
    };

    // Sends the header part, then the body in pieces, looking for an answer after each
    // piece; stops at the first answer or when the whole body has gone.
    Sending SendUntilAnswered(const std::string& header, std::size_t bodySize) {
        RawClient client(server->Port());
        Sending sending;
        EXPECT_TRUE(client.Send(header));
        const std::string piece(64 * 1024, 'b');
        while (sending.answer.empty() && sending.bodyBytesSent < bodySize) {
            if (!client.Send(piece)) break;
            sending.bodyBytesSent += piece.size();
            sending.temporaryFilesSeen = std::max(sending.temporaryFilesSeen, server->TemporaryFiles().size());
            sending.answer = client.ReadSome(std::string::npos, 5ms);
        }
        sending.answer += client.ReadAll(5s);
        return sending;
    }

    static std::string PostHeader(const std::string& url, std::size_t length) {
        return "POST " + url + " HTTP/1.0\r\nContent-Type: multipart/form-data; boundary=x\r\nContent-Length: " +
               std::to_string(length) + "\r\n\r\n";
    }
};

TEST_F(RequestBodies, ARefusedClientIsAnsweredBeforeItsBodyAndNothingOfItIsStored) {
    settings.IpOption = kAccessSelective;
    settings.IpList[0].Assign("10.");
    StartServer();
    const Sending sending = SendUntilAnswered(PostHeader("/@upload.exe", 200 * kMebibyte), 200 * kMebibyte);
    EXPECT_EQ(sending.answer, ErrorPageBytes("403 Forbidden", "Your ip address is not allowed by the server."));
    EXPECT_LT(sending.bodyBytesSent, kMebibyte);
    EXPECT_EQ(sending.temporaryFilesSeen, 0u);
}

TEST_F(RequestBodies, APostThatNothingWouldRunIsAnsweredFromItsHeader) {
    struct Row {
        const char* name;
        std::string url;
        bool withRoot;
        std::string answer;
    };
    const std::string mismatch = "The cgi-bin request doesn't match Pellora configuration.";
    const Row rows[] = {
        {"not below the CGI directory", "/c/web/a.txt", true, ErrorPageBytes("400 Bad Request", mismatch)},
        {"a program that is not there", "/cgi-bin/none.sh", true,
         ErrorPageBytes("404 Not Found", "Cgi-bin file c:\\web\\cgi-bin\\none.sh not found")},
        {"no document root", "/cgi-bin/none.sh", false,
         ErrorPageBytes("500 Internal Server Error", "For cgi-bin to work, root document path has to be define.")},
    };
    for (const Row& row : rows) {
        settings.RootDir.Assign(row.withRoot ? "c:\\web" : "");
        StartServer();
        const Sending sending = SendUntilAnswered(PostHeader(row.url, 50 * kMebibyte), 50 * kMebibyte);
        EXPECT_EQ(sending.answer, row.answer) << row.name;
        EXPECT_LT(sending.bodyBytesSent, kMebibyte) << row.name;
        EXPECT_EQ(sending.temporaryFilesSeen, 0u) << row.name;
        EXPECT_EQ(server->Stop(), 0) << row.name;
    }
    // With uploads off, the upload program is nothing that would run either.
    settings.UploadOn = 0;
    StartServer();
    const Sending off = SendUntilAnswered(PostHeader("/@upload.exe", 50 * kMebibyte), 50 * kMebibyte);
    EXPECT_EQ(off.answer,
              ErrorPageBytes("500 Internal Server Error", "Pellora upload capability is currently disabled."));
    EXPECT_LT(off.bodyBytesSent, kMebibyte);
}

// A client that sends its whole body after an early answer has it read and dropped,
// then the connection ends; the slot is free again.
TEST_F(RequestBodies, TheRestOfARefusedBodyIsDrainedAndTheSlotFreed) {
    StartServer();
    const int idle = server->OpenDescriptors();
    RawClient client(server->Port());
    ASSERT_TRUE(client.Send(PostHeader("/c/web/a.txt", 3 * kMebibyte)));
    ASSERT_TRUE(client.Send(std::string(3 * kMebibyte, 'b')));
    client.ShutdownWrite();
    EXPECT_EQ(client.ReadAll(10s),
              ErrorPageBytes("400 Bad Request", "The cgi-bin request doesn't match Pellora configuration."));
    EXPECT_TRUE(server->WaitForDescriptors(idle, 5s));
    EXPECT_TRUE(server->TemporaryFiles().empty());
}

// A temporary directory on a small file system of the test's own.
TEST_F(RequestBodies, ABodyTheTemporaryDirectoryCannotHoldIsRefusedAtOnce) {
    drive.WriteFile("web/cgi-bin/count.sh", "#!/bin/sh\nprintf 'Content-Type: text/plain\\r\\n\\r\\n'\nwc -c\n");
    chmod((drive / "web/cgi-bin/count.sh").c_str(), 0755);
    server = std::make_unique<ServerProcess>(settings, "C=" + drive.Path());
    const std::string small = server->TempDirectory();
    if (mount("pellora-test", small.c_str(), "tmpfs", 0, "size=96m") != 0) {
        GTEST_SKIP() << "mounting a tmpfs needs privileges this run does not have";
    }
    struct Unmount {
        std::string path;
        ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
    } unmount{small};
    ASSERT_TRUE(server->Start());

    // 96 MiB less the 64 MiB reserve leaves room for 32 MiB.
    const Sending refused = SendUntilAnswered(PostHeader("/cgi-bin/count.sh", 40 * kMebibyte), 40 * kMebibyte);
    EXPECT_EQ(refused.answer,
              ErrorPageBytes("500 Internal Server Error", "The server wasn't able to create tmp file."));
    EXPECT_LT(refused.bodyBytesSent, kMebibyte);
    EXPECT_EQ(refused.temporaryFilesSeen, 0u);

    const Sending stored = SendUntilAnswered(PostHeader("/cgi-bin/count.sh", 8 * kMebibyte), 8 * kMebibyte);
    EXPECT_EQ(SplitResponse(stored.answer).body, std::to_string(8 * kMebibyte) + "\n");
    EXPECT_EQ(server->Stop(), 0);
    EXPECT_TRUE(server->TemporaryFiles().empty());
}

}  // namespace
