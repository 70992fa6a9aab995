// One access log line: thirteen fields, each taking its form from its source.
#include "log/AccessLog.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

TEST(AccessLog, ALineHasThirteenFieldsEachInTheFormItsSourceGives) {
    using Change = std::function<void(LogLineFacts&)>;
    const auto request = [](std::string_view text) { return [text](LogLineFacts& f) { f.request = text; }; };
    const auto answer = [](ResponseKind kind, std::string_view text) {
        return [kind, text](LogLineFacts& f) { f.responseKind = kind, f.responseText = text; };
    };
    const std::string head = "ip, -, 12/5/96, 14:3:27, host, addr, 5, ";
    const std::string longUrl = "GET /" + std::string(60, 'u') + " HTTP/1.0";
    const std::string longMethod = std::string(70, 'M') + " /a HTTP/1.0";
    const std::pair<Change, std::string> rows[] = {
        {[](LogLineFacts&) {}, head + "15, 7, 200, 0, GET, /a"},
        {[](LogLineFacts& f) {
             f.localTime = {.year = 2026, .month = 1, .day = 31};
         },  // years from 2000 on: three digits
         "ip, -, 1/31/126, 0:0:0, host, addr, 5, 15, 7, 200, 0, GET, /a"},
        {[](LogLineFacts& f) { f.hostName = "box.example.org"; },
         "ip, -, 12/5/96, 14:3:27, box, addr, 5, 15, 7, 200, 0, GET, /a"},
        {[](LogLineFacts& f) { f.hostName = std::string_view(); },
         "ip, -, 12/5/96, 14:3:27, , addr, 5, 15, 7, 200, 0, GET, /a"},
        {answer(ResponseKind::Text, "HTTP/1.0 302 Redirection\r\n"), head + "15, 7, 302, 0, GET, /a"},
        {answer(ResponseKind::ErrorPage, "HTTP/1.0 404 Not Found\r\n\r\n<body>"), head + "15, 7, 404, 0, GET, /a"},
        {answer(ResponseKind::ErrorPage, "garbage"), head + "15, 7, , 0, GET, /a"},
        {answer(ResponseKind::CgiOutput, "HTTP/1.0 500 Oops"), head + "15, 7, 200, 0, GET, /a"},  // whatever it says
        {answer(ResponseKind::FilePart, "c:\\a.bin"), head + "15, 7, 206, 0, GET, /a"},
        {request("GET /cgi-bin/q.exe?name=x HTTP/1.0"), head + "34, 7, 200, 0, GET, /cgi-bin/q.exe"},  // no query
        {request("HEAD /a\r\nHost: x\r\n\r\n"), head + "20, 7, 200, 0, HEAD, /a"},
        {request(longUrl), head + "74, 7, 200, 0, GET, /" + std::string(45, 'u')},  // from the first 50 characters
        {request("GET"), head + "3, 7, 200, 0, GET, "},
        {request(longMethod), head + "82, 7, 200, 0, " + std::string(50, 'M') + ", "},
        {request("GET\r\n9.9.9.9, -, forged /a HTTP/1.0"), head + "35, 7, 200, 0, GET, "},  // no line of its own
        {request("GET /a\x1b]0;owned\x07 HTTP/1.0"),
         head + "25, 7, 200, 0, GET, /a%1B]0;owned%07"},  // nor terminal codes
        {[](LogLineFacts& f) { f.elapsedMs = 4294967295u, f.bytesSent = 5000000000; },
         "ip, -, 12/5/96, 14:3:27, host, addr, 4294967295, 15, 5000000000, 200, 0, GET, /a"},
    };
    for (const auto& [change, line] : rows) {
        LogLineFacts facts{.clientIp = "ip",
                           .localTime = {.year = 1996, .month = 12, .day = 5, .hour = 14, .minute = 3, .second = 27},
                           .hostName = "host",
                           .serverAddress = "addr",
                           .elapsedMs = 5,
                           .request = "GET /a HTTP/1.0",
                           .bytesSent = 7,
                           .responseKind = ResponseKind::File,
                           .responseText = "c:\\a"};
        change(facts);
        EXPECT_EQ(FormatLogLine(facts).View(), line);
    }
}

// However long the sources, the line stays within its buffer.
TEST(AccessLog, TheLongestFieldsFitTheLine) {
    const std::string ip(19, '9');
    const std::string host(300, 'h');
    const std::string request(4095, 'G');
    const LogLineFacts facts{
        .clientIp = ip,
        .localTime = {.year = 99999, .month = 12, .day = 31, .hour = 23, .minute = 59, .second = 59},
        .hostName = host,
        .serverAddress = "255.255.255.255",
        .elapsedMs = 4294967295u,
        .request = request,
        .bytesSent = INT64_MAX,
        .responseKind = ResponseKind::File};
    const LogLine line = FormatLogLine(facts);
    EXPECT_TRUE(line.View().ends_with(", 0, " + std::string(50, 'G') + ", ")) << line.View();
    EXPECT_NE(line.View().find(", " + std::string(49, 'h') + ", "), std::string::npos);
}

}  // namespace
