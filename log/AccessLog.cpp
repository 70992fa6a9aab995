#include "log/AccessLog.h"

#include <string>

#include "config/ServerSettings.h"
#include "platform/AppendFile.h"
#include "platform/HostInfo.h"
#include "platform/ShortNames.h"

namespace {

constexpr std::string_view kFieldSeparator = ", ";
constexpr std::string_view kStatusPrefix = "HTTP/1.0 ";
constexpr std::size_t kStatusLength = 3;

void AppendNumber(LogLine& line, std::int64_t number) {
    line.Append(std::to_string(number));
}

// The status code of a text answer as it went out; a part sent a 206 header, every
// other kind a 200 one.
std::string_view StatusOf(ResponseKind kind, std::string_view responseText) {
    if (kind == ResponseKind::FilePart) return "206";
    if (kind != ResponseKind::Text && kind != ResponseKind::ErrorPage) return "200";
    if (!responseText.starts_with(kStatusPrefix)) return responseText.substr(0, 0);
    return responseText.substr(kStatusPrefix.size(), kStatusLength);
}

std::string_view ShortHostName(std::string_view name) {
    name = name.substr(0, name.find('.'));
    return name.substr(0, kLoggedHostNameCapacity - 1);
}

struct RequestWords {
    std::string_view method;
    std::string_view target;
};

// Within the first characters only; the query is not logged. A line break ends the
// method too, so no request can start a line of its own in the log.
RequestWords SplitRequest(std::string_view request) {
    request = request.substr(0, kLoggedRequestPrefix);
    request = request.substr(0, request.find('\0'));
    const std::size_t methodEnd = request.find_first_of(" \r\n");
    if (methodEnd == std::string_view::npos || request[methodEnd] != ' ') {
        return {request.substr(0, methodEnd), {}};
    }
    std::string_view target = request.substr(methodEnd + 1);
    target = target.substr(0, target.find_first_of("?\r\n"));
    target = target.substr(0, target.find(" HTTP"));
    return {request.substr(0, methodEnd), target};
}

bool IsControlByte(unsigned char byte) {
    return byte < 0x20 || byte == 0x7f;
}

// A request's control bytes as "%1B" and the like: a log shown in a terminal cannot
// have it change its title, ring or erase what is shown.
std::string Printable(std::string_view text) {
    return platform::PercentEncodeWhere(text, IsControlByte);
}

}  // namespace

LogLine FormatLogLine(const LogLineFacts& facts) {
    LogLine line(facts.clientIp);
    line.Append(", -, ");
    const platform::CivilTime& time = facts.localTime;
    AppendNumber(line, time.month);
    line.Append('/');
    AppendNumber(line, time.day);
    line.Append('/');
    AppendNumber(line, time.year - 1900);
    line.Append(kFieldSeparator);
    AppendNumber(line, time.hour);
    line.Append(':');
    AppendNumber(line, time.minute);
    line.Append(':');
    AppendNumber(line, time.second);
    line.Append(kFieldSeparator);
    line.Append(ShortHostName(facts.hostName));
    line.Append(kFieldSeparator);
    line.Append(facts.serverAddress);
    line.Append(kFieldSeparator);
    AppendNumber(line, facts.elapsedMs);
    line.Append(kFieldSeparator);
    AppendNumber(line, static_cast<std::int64_t>(facts.request.size()));
    line.Append(kFieldSeparator);
    AppendNumber(line, facts.bytesSent);
    line.Append(kFieldSeparator);
    line.Append(StatusOf(facts.responseKind, facts.responseText));
    line.Append(", 0, ");
    const RequestWords words = SplitRequest(facts.request);
    line.Append(Printable(words.method));
    line.Append(kFieldSeparator);
    line.Append(Printable(words.target));
    return line;
}

int WriteLogEntry(const Connection& connection) {
    const std::string hostName = platform::HostName();
    const std::string serverAddress = connection.socket.LocalAddress();
    const LogLineFacts facts{
        .clientIp = connection.clientIp,
        .localTime = platform::LocalCivilTime(platform::CurrentUnixTime()),
        .hostName = hostName,
        .serverAddress = serverAddress,
        .elapsedMs = platform::TickCount() - connection.startTick,
        .request = connection.request,
        .bytesSent = connection.bytesSent,
        .responseKind = connection.response.kind,
        .responseText = connection.response.text,
    };
    // One write of the whole line, so lines of two writers never interleave.
    FixedString<kLogLineCapacity + 2> record(FormatLogLine(facts).View());
    record.Append("\r\n");
    return platform::AppendToFile(Settings().LogFile, record) ? 0 : -1;
}
