#include "log/AccessLog.h"

#include <gtest/gtest.h>

#include <string>

namespace {

LogLineFacts ExampleFacts() {
    LogLineFacts facts;
    facts.clientIp = "192.168.0.7";
    facts.localTime = platform::CivilTime{.year = 1996, .month = 12, .day = 5, .hour = 14, .minute = 3, .second = 27};
    facts.hostName = "myhost";
    facts.serverAddress = "192.168.0.2";
    facts.elapsedMs = 110;
    facts.request = "GET /c/docs/index.htm HTTP/1.0\r\nUser-Agent: x\r\n\r\n";
    facts.bytesSent = 2048;
    facts.responseKind = ResponseKind::File;
    facts.responseText = "c:\\docs\\index.htm";
    return facts;
}

TEST(LogLine, LineHasThirteenFieldsInOrder) {
    LogLineFacts facts = ExampleFacts();
    const std::string request(facts.request);
    EXPECT_EQ(FormatLogLine(facts).View(), "192.168.0.7, -, 12/5/96, 14:3:27, myhost, 192.168.0.2, 110, " +
                                               std::to_string(request.size()) +
                                               ", 2048, 200, 0, GET, /c/docs/index.htm");
}

TEST(LogLine, EachFieldTakesItsFormFromItsSource) {
    struct Row {
        const char* name;
        void (*change)(LogLineFacts&);
        std::string line;
        std::string request = "GET /a HTTP/1.0";
    };
    const auto same = [](LogLineFacts&) {};
    const std::string tail = ", 0, GET, /a";
    const Row rows[] = {
        {"years from 2000 on give three digits",
         [](LogLineFacts& f) {
             f.localTime = {.year = 2026, .month = 1, .day = 31, .hour = 0, .minute = 0, .second = 0};
         },
         "ip, -, 1/31/126, 0:0:0, host, addr, 5, 15, 7, 200" + tail},
        {"no leading zeros in the time",
         [](LogLineFacts& f) { f.localTime.hour = 9, f.localTime.minute = 5, f.localTime.second = 7; },
         "ip, -, 12/5/96, 9:5:7, host, addr, 5, 15, 7, 200" + tail},
        {"host name cut before its first dot", [](LogLineFacts& f) { f.hostName = "box.example.org"; },
         "ip, -, 12/5/96, 14:3:27, box, addr, 5, 15, 7, 200" + tail},
        {"an unreadable host name is empty", [](LogLineFacts& f) { f.hostName = ""; },
         "ip, -, 12/5/96, 14:3:27, , addr, 5, 15, 7, 200" + tail},
        {"status of a text answer",
         [](LogLineFacts& f) {
             f.responseKind = ResponseKind::Text;
             f.responseText = "HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\n\r\n<body>";
         },
         "ip, -, 12/5/96, 14:3:27, host, addr, 5, 15, 7, 404" + tail},
        {"a redirect",
         [](LogLineFacts& f) { f.responseKind = ResponseKind::Text, f.responseText = "HTTP/1.0 302 Redirection\r\n"; },
         "ip, -, 12/5/96, 14:3:27, host, addr, 5, 15, 7, 302" + tail},
        {"CGI output logs 200 whatever it says",
         [](LogLineFacts& f) { f.responseKind = ResponseKind::CgiOutput, f.responseText = "/tmp/uGh0001.tmp"; },
         "ip, -, 12/5/96, 14:3:27, host, addr, 5, 15, 7, 200" + tail},
        {"a generated page", [](LogLineFacts& f) { f.responseKind = ResponseKind::TempPage; },
         "ip, -, 12/5/96, 14:3:27, host, addr, 5, 15, 7, 200" + tail},
        {"the query is not logged", same, "ip, -, 12/5/96, 14:3:27, host, addr, 5, 34, 7, 200, 0, GET, /cgi-bin/q.exe",
         "GET /cgi-bin/q.exe?name=x HTTP/1.0"},
        {"a request line without a version", same, "ip, -, 12/5/96, 14:3:27, host, addr, 5, 20, 7, 200, 0, HEAD, /a",
         "HEAD /a\r\nHost: x\r\n\r\n"},
        {"bytes received count the stored request text", same,
         "ip, -, 12/5/96, 14:3:27, host, addr, 5, 28, 7, 200" + tail, "GET /a HTTP/1.0\r\nHost: x\r\n\r\n"},
        {"a long URL is cut to the first 50 characters", same,
         "ip, -, 12/5/96, 14:3:27, host, addr, 5, 74, 7, 200, 0, GET, /" + std::string(45, 'u'),
         "GET /" + std::string(60, 'u') + " HTTP/1.0"},
        {"a first word without a blank is the method", same,
         "ip, -, 12/5/96, 14:3:27, host, addr, 5, 3, 7, 200, 0, GET, ", "GET"},
        {"a first word over 50 characters is cut", same,
         "ip, -, 12/5/96, 14:3:27, host, addr, 5, 82, 7, 200, 0, " + std::string(50, 'M') + ", ",
         std::string(70, 'M') + " /a HTTP/1.0"},
        {"a line break never reaches the log", same, "ip, -, 12/5/96, 14:3:27, host, addr, 5, 35, 7, 200, 0, GET, ",
         "GET\r\n9.9.9.9, -, forged /a HTTP/1.0"},
        {"big numbers", [](LogLineFacts& f) { f.elapsedMs = 4294967295u, f.bytesSent = 5000000000; },
         "ip, -, 12/5/96, 14:3:27, host, addr, 4294967295, 15, 5000000000, 200" + tail},
    };
    for (const Row& row : rows) {
        LogLineFacts facts = ExampleFacts();
        facts.clientIp = "ip";
        facts.hostName = "host";
        facts.serverAddress = "addr";
        facts.elapsedMs = 5;
        facts.bytesSent = 7;
        facts.request = row.request;
        row.change(facts);
        EXPECT_EQ(FormatLogLine(facts).View(), row.line) << row.name;
    }
}

// However long the sources, the line stays within its buffer.
TEST(LogLine, LongestFieldsFitTheLine) {
    LogLineFacts facts = ExampleFacts();
    const std::string ip(19, '9');
    const std::string host(300, 'h');
    const std::string request(4095, 'G');
    facts.clientIp = ip;
    facts.hostName = host;
    facts.serverAddress = "255.255.255.255";
    facts.elapsedMs = 4294967295u;
    facts.bytesSent = INT64_MAX;
    facts.request = request;
    facts.localTime = {.year = 99999, .month = 12, .day = 31, .hour = 23, .minute = 59, .second = 59};
    const LogLine line = FormatLogLine(facts);
    EXPECT_TRUE(line.View().ends_with(", 0, " + std::string(50, 'G') + ", ")) << line.View();
    EXPECT_NE(line.View().find(", " + std::string(49, 'h') + ", "), std::string::npos);
}

}  // namespace
