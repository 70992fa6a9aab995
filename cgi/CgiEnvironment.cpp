// The environment of a CGI program: 17 variables in a fixed order, each value bounded.
#include <string>

#include "cgi/CgiGateway.h"
#include "platform/HostInfo.h"
#include "request/DrivePath.h"

namespace {

// Capacities of the values, terminator included.
constexpr std::size_t kMethodCapacity = 12;
constexpr std::size_t kContentTypeCapacity = 52;
constexpr std::size_t kScriptNameCapacity = 52;
constexpr std::size_t kHostNameCapacity = 52;
constexpr std::size_t kTranslatedCapacity = 256;
constexpr std::size_t kPathInfoCapacity = 256;
constexpr std::size_t kQueryCapacity = 512;
constexpr std::size_t kAcceptCapacity = 512;

std::string_view Bounded(std::string_view value, std::size_t capacity) {
    return value.substr(0, capacity - 1);
}

void AddVariable(std::string& block, std::string_view name, std::string_view value) {
    // The last byte stays for the block's closing NUL.
    if (block.size() + name.size() + value.size() + 2 > kEnvironmentCapacity - 1) return;
    block += name;
    block += value;
    block += '\0';
}

const char* MethodName(RequestMethod method) {
    switch (method) {
        case RequestMethod::Get:
            return "GET";
        case RequestMethod::Head:
            return "HEAD";
        case RequestMethod::Post:
            return "POST";
    }
    return "GET";
}

// The document root in URL form: "c:\web\docs\" becomes "/c/web/docs".
std::string DocumentRootUrl() {
    std::string url;
    PathToUrl(Settings().RootDir, url);
    if (url.ends_with('/')) url.pop_back();
    return url;
}

std::string ContentTypeOf(const Connection& connection) {
    if (connection.method != RequestMethod::Post) return {};
    HeaderValueText value;
    if (GetHeaderValue(connection.request, "Content-type:", value, "\r\n;") != 0) {
        GetHeaderValue(connection.request, "Content-Type:", value, "\r\n;");
    }
    return std::string(value);
}

}  // namespace

std::string BuildCgiEnvironment(const Connection& connection) {
    PathText scriptName;
    PathText pathInfo;
    QueryStringText queryString;
    ParseCgiRequest(connection.request, connection.method, scriptName, pathInfo, queryString);
    HeaderValueText accept;
    GetHeaderValue(connection.request, "Accept:", accept, "\r\n");
    const bool post = connection.method == RequestMethod::Post;
    const std::string translated = pathInfo.Empty() ? std::string() : DocumentRootUrl() + std::string(pathInfo);

    std::string block;
    AddVariable(block, "SERVER_SOFTWARE=PELLORA/1.0", "");
    AddVariable(block, "GATEWAY_INTERFACE=CGI/1.1", "");
    AddVariable(block, "SERVER_PROTOCOL=HTTP/1.0", "");
    AddVariable(block, "SERVER_PORT=", std::to_string(Settings().Port));
    AddVariable(block, "SERVER_NAME=", Bounded(platform::HostName(), kHostNameCapacity));
    AddVariable(block, "REMOTE_ADDR=", connection.clientIp);
    AddVariable(block, "REMOTE_HOST=", "");
    AddVariable(block, "REMOTE_USER=", "");
    AddVariable(block, "AUTH_TYPE=", "");
    AddVariable(block, "HTTP_ACCEPT=", Bounded(accept, kAcceptCapacity));
    AddVariable(block, "REQUEST_METHOD=", Bounded(MethodName(connection.method), kMethodCapacity));
    AddVariable(block, "SCRIPT_NAME=", Bounded(scriptName, kScriptNameCapacity));
    AddVariable(block, "HTTP_INFO=", Bounded(pathInfo, kPathInfoCapacity));
    AddVariable(block, "HTTP_TRANSLATED=", Bounded(translated, kTranslatedCapacity));
    AddVariable(block, "QUERY_STRING=", Bounded(queryString, kQueryCapacity));
    AddVariable(block, "CONTENT_TYPE=", Bounded(ContentTypeOf(connection), kContentTypeCapacity));
    AddVariable(block, "CONTENT_LENGTH=", std::to_string(post ? GetContentLength(connection.request) : 0));
    block += '\0';
    return block;
}
