// The access log of a real server: one line per finished request, field by field.
#include <signal.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <regex>

#include "tests/support/ServerFixture.h"

namespace {

std::vector<std::string> Split(const std::string& text, const std::string& separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at - start));
        if (at == std::string::npos) return parts;
        start = at + separator.size();
    }
}

std::vector<std::string> LogLines(const std::string& path) {
    const std::string text = ReadWholeFile(path);
    if (text.empty()) return {};
    EXPECT_TRUE(text.ends_with("\r\n"));
    std::vector<std::string> lines = Split(text.substr(0, text.size() - 2), "\r\n");
    return lines;
}

std::string LocalDateField() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    return std::to_string(parts.tm_mon + 1) + "/" + std::to_string(parts.tm_mday) + "/" + std::to_string(parts.tm_year);
}

std::string ShortHostName() {
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    std::string text = name;
    return text.substr(0, text.find('.')).substr(0, 49);
}

class AccessLog : public ServerFixture {
protected:
    void SetUp() override {
        drive.WriteFile("a.txt", "hello, log");
        drive.WriteFile("b.txt", "other file");
        drive.WriteFile("private/x.txt", "secret");
        drive.WriteFile("web/index.htm", "<p>home</p>");
        drive.MakeDirectory("logs");
        settings.LogOption = 1;
        settings.LogFile.Assign("C:\\logs\\access.log");
        settings.RootDir.Assign("C:\\web");
        settings.DirAccessOption = kAccessRestrictive;
        settings.DirList[0].Assign("C:\\private");
    }

    [[nodiscard]] std::string LogPath() const { return drive / "logs/access.log"; }

    // The request's line against what the client sent and received.
    void ExpectLine(const std::string& line, const std::string& request, const std::string& response,
                    const std::string& method, const std::string& target, const std::string& dateBefore) const {
        SCOPED_TRACE(line);
        const std::vector<std::string> fields = Split(line, ", ");
        ASSERT_EQ(fields.size(), 13u);
        EXPECT_EQ(fields[0], "127.0.0.1");
        EXPECT_EQ(fields[1], "-");
        EXPECT_TRUE(fields[2] == dateBefore || fields[2] == LocalDateField()) << fields[2];
        EXPECT_TRUE(std::regex_match(fields[3], std::regex("(0|[1-9][0-9]?):(0|[1-9][0-9]?):(0|[1-9][0-9]?)")));
        EXPECT_EQ(fields[4], ShortHostName());
        EXPECT_EQ(fields[5], "127.0.0.1");
        EXPECT_TRUE(std::regex_match(fields[6], std::regex("0|[1-9][0-9]{0,4}"))) << "elapsed ms";
        EXPECT_EQ(fields[7], std::to_string(request.size()));
        EXPECT_EQ(fields[8], std::to_string(response.size()));
        ASSERT_GE(response.size(), 12u);
        EXPECT_EQ(fields[9], response.substr(9, 3));
        EXPECT_EQ(fields[10], "0");
        EXPECT_EQ(fields[11], method);
        EXPECT_EQ(fields[12], target);
    }
};

TEST_F(AccessLog, EveryFinishedRequestAddsOneLineWithItsFields) {
    StartServer();
    const std::string date = LocalDateField();
    struct Row {
        const char* name;
        std::string request;
        const char* status;
        const char* method;
        const char* target;
    };
    const Row rows[] = {
        {"a file", "GET /c/a.txt HTTP/1.0\r\nUser-Agent: test\r\n\r\n", "200", "GET", "/c/a.txt"},
        {"a redirect", "GET /index.htm HTTP/1.0\r\n\r\n", "302", "GET", "/index.htm"},
        {"a refused directory", "GET /c/private/x.txt HTTP/1.0\r\n\r\n", "403", "GET", "/c/private/x.txt"},
        {"a missing file", "GET /c/missing.txt HTTP/1.0\r\n\r\n", "404", "GET", "/c/missing.txt"},
        {"a HEAD", "HEAD /c/a.txt HTTP/1.0\r\n\r\n", "200", "HEAD", "/c/a.txt"},
        {"a query", "GET /c/q.exe?name=x HTTP/1.0\r\n\r\n", nullptr, "GET", "/c/q.exe"},
        // A log shown in a terminal: no request can set its title or erase what it shows.
        {"control bytes", "GET /c/\x1b]0;owned\x07\x1b[2Ja\b\b.txt\x7f HTTP/1.0\r\n\r\n", "404", "GET",
         "/c/%1B]0;owned%07%1B[2Ja%08%08.txt%7F"},
    };
    std::vector<std::string> responses;
    for (const Row& row : rows) {
        responses.push_back(Request(row.request));
        if (row.status != nullptr) {
            EXPECT_EQ(responses.back().substr(9, 3), row.status) << row.name;
        }
    }
    // The line is written before the client is let go, so it is there by now.
    const std::vector<std::string> lines = LogLines(LogPath());
    ASSERT_EQ(lines.size(), std::size(rows));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(rows[i].name);
        ExpectLine(lines[i], rows[i].request, responses[i], rows[i].method, rows[i].target, date);
    }

    // Opened for every line: a log moved away between requests is simply made anew.
    ASSERT_EQ(rename(LogPath().c_str(), (drive / "logs/old.log").c_str()), 0);
    const std::string request = "GET /c/b.txt HTTP/1.0\r\n\r\n";
    const std::string response = Request(request);
    const std::vector<std::string> fresh = LogLines(LogPath());
    ASSERT_EQ(fresh.size(), 1u);
    ExpectLine(fresh[0], request, response, "GET", "/c/b.txt", date);
    EXPECT_EQ(LogLines(drive / "logs/old.log").size(), std::size(rows));
}

TEST_F(AccessLog, ALogInAMissingDirectoryLosesItsLinesAndNothingElse) {
    settings.LogFile.Assign("C:\\missing\\access.log");
    StartServer();
    EXPECT_EQ(SplitResponse(Get("/c/a.txt")).body, "hello, log");
    EXPECT_EQ(SplitResponse(Get("/c/b.txt")).body, "other file");
    EXPECT_FALSE(std::filesystem::exists(drive / "missing"));
    EXPECT_EQ(server->Stderr(), "");
}

// Requests that finish in the same pass are logged in the order of their slots, not
// in the order their bytes came in.
TEST_F(AccessLog, RequestsFinishedInOnePassAreLoggedInSlotOrder) {
    StartServer();
    const int idle = server->OpenDescriptors();
    const auto waitForClients = [&](int count) {
        for (int i = 0; i < 500 && server->OpenDescriptors() < idle + count; ++i) usleep(10000);
        return server->OpenDescriptors() == idle + count;
    };
    RawClient first(server->Port());
    ASSERT_TRUE(waitForClients(1)) << "the first client is accepted into the first slot";
    RawClient second(server->Port());
    ASSERT_TRUE(waitForClients(2));

    // Both requests wait in their sockets while the server is stopped, so it takes
    // them in at once and steps both connections in every pass.
    ASSERT_TRUE(server->Pause());
    second.Send("GET /c/b.txt HTTP/1.0\r\n\r\n");
    usleep(50000);
    first.Send("GET /c/a.txt HTTP/1.0\r\n\r\n");
    usleep(50000);
    ASSERT_TRUE(server->Resume());
    EXPECT_EQ(SplitResponse(first.ReadAll()).body, "hello, log");
    EXPECT_EQ(SplitResponse(second.ReadAll()).body, "other file");

    const std::vector<std::string> lines = LogLines(LogPath());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].ends_with(", GET, /c/a.txt")) << lines[0];
    EXPECT_TRUE(lines[1].ends_with(", GET, /c/b.txt")) << lines[1];
}

}  // namespace
