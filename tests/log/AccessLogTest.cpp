// One access log line: thirteen fields, each taking its form from its source. The common
// forms are checked in the real server's log; these are the edges.
#include "log/AccessLog.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

TEST(AccessLog, ALineHasThirteenFieldsEachInTheFormItsSourceGivesAndTheLongestFit) {
    using Change = std::function<void(LogLineFacts&)>;
    const auto request = [](std::string text) { return [text](LogLineFacts& f) { f.request = text; }; };
    const auto answer = [](ResponseKind kind, std::string_view text) {
        return [kind, text](LogLineFacts& f) { f.responseKind = kind, f.responseText = text; };
    };
    const std::string head = "ip, -, 12/5/96, 14:3:27, host, addr, 5, ";
    const std::string ip(19, '9'), host(300, 'h'), longest(4095, 'G');  // the facts only view their text
    const std::pair<Change, std::string> rows[] = {
        {answer(ResponseKind::ErrorPage, "garbage"), head + "15, 7, , 0, GET, /a"},
        {answer(ResponseKind::CgiOutput, "HTTP/1.0 500 Oops"), head + "15, 7, 200, 0, GET, /a"},  // whatever it says
        {answer(ResponseKind::FilePart, "c:\\a.bin"), head + "15, 7, 206, 0, GET, /a"},
        {request("GET /" + std::string(60, 'u') + " HTTP/1.0"), head + "74, 7, 200, 0, GET, /" + std::string(45, 'u')},
        {request(std::string(70, 'M') + " /a HTTP/1.0"), head + "82, 7, 200, 0, " + std::string(50, 'M') + ", "},
        {request("GET\r\n9.9.9.9, -, forged /a HTTP/1.0"), head + "35, 7, 200, 0, GET, "},  // no line of its own
        {[](LogLineFacts& f) { f.elapsedMs = 4294967295u, f.bytesSent = 5000000000; },
         "ip, -, 12/5/96, 14:3:27, host, addr, 4294967295, 15, 5000000000, 200, 0, GET, /a"},
        // However long the sources, each field keeps within its width.
        {[&](LogLineFacts& f) {
             f.clientIp = ip, f.hostName = host, f.request = longest;
             f.bytesSent = INT64_MAX, f.localTime = {.year = 99999, .month = 12, .day = 31, .hour = 23, .minute = 59};
         },
         ip + ", -, 12/31/98099, 23:59:0, " + std::string(49, 'h') + ", addr, 5, 4095, 9223372036854775807, 200, 0, " +
             std::string(50, 'G') + ", "},
    };
    const LogLineFacts base{.clientIp = "ip",
                            .localTime = {.year = 1996, .month = 12, .day = 5, .hour = 14, .minute = 3, .second = 27},
                            .hostName = "host",
                            .serverAddress = "addr",
                            .elapsedMs = 5,
                            .request = "GET /a HTTP/1.0",
                            .bytesSent = 7,
                            .responseKind = ResponseKind::File,
                            .responseText = "c:\\a"};
    for (const auto& [change, line] : rows) {
        LogLineFacts facts = base;
        change(facts);
        EXPECT_EQ(FormatLogLine(facts).View(), line);
    }
}

}  // namespace
