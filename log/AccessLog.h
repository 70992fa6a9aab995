#pragma once
// The access log: one line of 13 comma-separated fields per finished request, e.g.
//   192.168.0.7, -, 12/5/96, 14:3:27, myhost, 192.168.0.2, 110, 312, 2048, 200, 0, GET, /c/docs/index.htm
// The file is opened, extended and closed for every line, so it can be read, moved or
// deleted between requests.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/Connection.h"
#include "core/FixedString.h"
#include "platform/Clock.h"

inline constexpr std::size_t kLogLineCapacity = 400;
// The method and the target are taken from this many first characters of the request.
inline constexpr std::size_t kLoggedRequestPrefix = 50;
// The host name is read into a buffer this large (terminator included).
inline constexpr std::size_t kLoggedHostNameCapacity = 50;

using LogLine = FixedString<kLogLineCapacity>;

// Everything a line is made of, gathered from the connection and the machine.
struct LogLineFacts {
    std::string_view clientIp;
    platform::CivilTime localTime;
    std::string_view hostName;       // the whole name; the line keeps what stands before its first '.'
    std::string_view serverAddress;  // where the client reached us
    std::uint32_t elapsedMs = 0;
    std::string_view request;  // the stored request text
    std::int64_t bytesSent = 0;
    ResponseKind responseKind = ResponseKind::None;
    std::string_view responseText;
};

// The line without its CR LF.
LogLine FormatLogLine(const LogLineFacts& facts);

// Appends the connection's line to LogFile. 0 when written, -1 when the log cannot be
// opened: the line is then lost, silently, and the request is unaffected.
int WriteLogEntry(const Connection& connection);
