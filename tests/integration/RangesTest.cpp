// Byte ranges of served files through the real server: each form of range, the 416,
// the forms that are ignored, HEAD, the log line, offsets past 4 GiB, and curl resuming
// a download that was cut half way.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "tests/cgi/upload/UploadTestSupport.h"
#include "tests/support/ServerFixture.h"

namespace {

// The partial header, its date line matched by shape.
bool IsPartialHeader(const std::string& head, const std::string& contentType, const std::string& contentRange,
                     std::size_t length) {
    const std::string date = "Date: ";
    const std::size_t at = head.find(date);
    if (at == std::string::npos) return false;
    const std::size_t end = head.find('\n', at);
    return head.substr(0, at) == "HTTP/1.0 206 Partial Content\r\n" &&
           head.substr(end + 1) == "Server: Pellora/1.0\r\nMIME-version: 1.0\r\nContent-Type: " + contentType +
                                       "\r\nContent-Range: bytes " + contentRange +
                                       "\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n";
}

class Ranges : public ServerFixture {
protected:
    void SetUp() override {
        bytes = PatternBytes(10000, 5);
        drive.WriteFile("a.bin", bytes);
        drive.WriteFile("empty.txt", "");
        settings.LogOption = 1;
        settings.LogFile.Assign("C:\\access.log");
    }
    std::string Ranged(const std::string& url, const std::string& range, const std::string& method = "GET") const {
        return Request(method + " " + url + " HTTP/1.0\r\nRange: " + range + "\r\n\r\n");
    }
    std::string bytes;
};

TEST_F(Ranges, OneRangeOfAServedFileGetsItsPart) {
    StartServer();
    struct Row {
        const char* range;
        std::size_t first;
        std::size_t last;
    };
    const Row rows[] = {
        {"bytes=0-0", 0, 0},
        {"bytes=0-4094", 0, 4094},
        {"bytes=100-8299", 100, 8299},
        {"bytes=9000-", 9000, 9999},
        {"bytes=-1", 9999, 9999},
        {"bytes=-2500", 7500, 9999},
        {"bytes=5000-99999", 5000, 9999},
        {"bytes=-20000", 0, 9999},
        {"BYTES=10-19", 10, 19},
    };
    for (const Row& row : rows) {
        const Response part = SplitResponse(Ranged("/c/a.bin", row.range));
        const std::size_t length = row.last - row.first + 1;
        EXPECT_TRUE(IsPartialHeader(part.head, "application/octet-stream",
                                    std::to_string(row.first) + "-" + std::to_string(row.last) + "/10000", length))
            << row.range << "\n"
            << part.head;
        EXPECT_TRUE(part.body == bytes.substr(row.first, length)) << row.range;
    }
    // The header's name in any letter case, among other header lines.
    const Response lower =
        SplitResponse(Request("GET /c/a.bin HTTP/1.0\r\nAccept: */*\r\nrange: bytes=1-2\r\nX: y\r\n\r\n"));
    EXPECT_TRUE(lower.body == bytes.substr(1, 2));
}

TEST_F(Ranges, ARangePastTheEndGets416AndOthersTheWholeFile) {
    StartServer();
    const std::string unsatisfiable =
        "HTTP/1.0 416 Range Not Satisfiable\r\nContent-Type: text/html\r\nContent-Range: bytes */10000\r\n\r\n"
        "<body><h1>HTTP/1.0 416 Range Not Satisfiable</h1>The range lies beyond the end of the file.</body>";
    for (const char* range : {"bytes=10000-", "bytes=10000-10005", "bytes=-0", "bytes=99999999999999999999-"}) {
        EXPECT_EQ(Ranged("/c/a.bin", range), unsatisfiable) << range;
    }
    // Ignored, as RFC 9110 allows: the whole file, with the header of every whole file.
    for (const char* range : {"bytes=5-1", "bytes=0-1,5-6", "items=0-1", "bytes=a-b", "bytes=", "bytes 0-1",
                              "bytes=--1", "bytes=1-2-3", "bytes= 1-2"}) {
        const Response whole = SplitResponse(Ranged("/c/a.bin", range));
        EXPECT_TRUE(IsSuccessHeader(whole.head, "application/octet-stream")) << range << "\n" << whole.head;
        EXPECT_TRUE(whole.body == bytes) << range;
    }
    // HEAD ignores ranges, and so does a file of no bytes.
    EXPECT_TRUE(IsSuccessHeader(Ranged("/c/a.bin", "bytes=0-1", "HEAD"), "application/octet-stream"));
    const Response empty = SplitResponse(Ranged("/c/empty.txt", "bytes=0-"));
    EXPECT_TRUE(IsSuccessHeader(empty.head, "text/plain")) << empty.head;
    EXPECT_EQ(empty.body, "");
    // Only served files have parts: a generated page is sent whole.
    EXPECT_TRUE(IsSuccessHeader(SplitResponse(Ranged("/c/", "bytes=0-5")).head, "text/html"));
}

TEST_F(Ranges, TheLogRecordsThePartsStatusAndTheBytesSent) {
    StartServer();
    const std::string part = Ranged("/c/a.bin", "bytes=10-19");
    const std::string refused = Ranged("/c/a.bin", "bytes=20000-");
    const std::string log = ReadWholeFile(drive / "access.log");
    const std::size_t second = log.find("\r\n") + 2;
    EXPECT_TRUE(log.substr(0, second).ends_with(", " + std::to_string(part.size()) + ", 206, 0, GET, /c/a.bin\r\n"))
        << log;
    EXPECT_TRUE(log.substr(second).ends_with(", " + std::to_string(refused.size()) + ", 416, 0, GET, /c/a.bin\r\n"))
        << log;
}

// A sparse file of 5 GiB: offsets past 2 and 4 GiB, counted in 64 bits.
TEST_F(Ranges, PartsOfAFileLargerThanFourGibibytesAreRight) {
    const std::string path = drive / "large.bin";
    const std::int64_t size = 5LL << 30;
    const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(file, 0);
    ASSERT_EQ(pwrite(file, "middle", 6, (3LL << 30) - 3), 6);
    ASSERT_EQ(pwrite(file, "the end", 7, size - 7), 7);
    close(file);
    StartServer();
    const Response end = SplitResponse(Ranged("/c/large.bin", "bytes=-7"));
    EXPECT_TRUE(IsPartialHeader(end.head, "application/octet-stream",
                                std::to_string(size - 7) + "-" + std::to_string(size - 1) + "/" + std::to_string(size),
                                7))
        << end.head;
    EXPECT_EQ(end.body, "the end");
    const std::string first = std::to_string((3LL << 30) - 3);
    EXPECT_EQ(SplitResponse(Ranged("/c/large.bin", "bytes=" + first + "-" + std::to_string((3LL << 30) + 2))).body,
              "middle");
}

// A download cut half way and resumed with curl -C - gives the whole file.
TEST_F(Ranges, CurlResumesACutDownloadToTheWholeFile) {
    const std::string source = drive / "big.bin";
    WriteLargeFile(source, 3u << 20, 21);
    StartServer();
    TestDirectory client;
    const std::string target = client / "big.bin";
    // The first half, as a download that lost its link would have left it.
    const std::string whole = ReadWholeFile(source);
    client.WriteFile("big.bin", whole.substr(0, whole.size() / 2));
    const ProgramRun run = RunProgram({"/usr/bin/curl", "-s", "-S", "--http1.0", "--noproxy", "*", "-C", "-", "-o",
                                       target, "http://127.0.0.1:" + std::to_string(server->Port()) + "/c/big.bin"},
                                      {}, "/dev/null");
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_TRUE(SameFileContents(source, target));
}

}  // namespace
