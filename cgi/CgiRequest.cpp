// Where a CGI URL points: script name, path information and query string.
#include <algorithm>
#include <cctype>

#include "cgi/CgiGateway.h"
#include "platform/TextCase.h"
#include "request/ContentTypes.h"

std::string CgiPrefix(std::string_view cgiDir) {
    std::string prefix;
    if (!cgiDir.starts_with('/')) prefix += '/';
    prefix += cgiDir;
    if (!cgiDir.ends_with('/')) prefix += '/';
    return prefix;
}

int ParseCgiRequest(std::string_view request, RequestMethod method, PathText& scriptName, PathText& pathInfo,
                    QueryStringText& queryString) {
    request = AsText(request);
    const std::size_t slash = request.find('/');
    const std::string_view cgiDir = Settings().CgiDir;
    if (slash == std::string_view::npos || cgiDir.empty()) return -1;
    const std::string_view url = request.substr(slash);
    const std::string prefix = CgiPrefix(cgiDir);
    if (url.size() < prefix.size() || !platform::EqualIgnoringCase(url.substr(0, prefix.size()), prefix)) {
        scriptName.Clear();
        return -1;
    }
    const std::size_t scriptEnd = url.find_first_of("/? \r", prefix.size());
    // A script name its field cannot hold names no program the server could start.
    if (!scriptName.Assign(url.substr(0, scriptEnd))) {
        scriptName.Clear();
        return -1;
    }
    if (scriptEnd != std::string_view::npos && url[scriptEnd] == '/') {
        const std::string_view rest = url.substr(scriptEnd);
        pathInfo.Assign(rest.substr(0, rest.find_first_of("? \r")));
    }
    if (method == RequestMethod::Get) {
        // The text after the first '?' anywhere in the request, blanks skipped, up to a
        // blank or line end; taken whole rather than through a 256-character header value.
        const std::size_t question = request.find('?');
        if (question != std::string_view::npos) {
            std::string_view query = request.substr(question + 1);
            query.remove_prefix(std::min(query.find_first_not_of(' '), query.size()));
            queryString.Assign(query.substr(0, query.find_first_of(" \r\n")));
        }
    }
    return 0;
}

CommandForm BuildCgiCommandLine(std::string_view programPath, CommandLineText& commandLine) {
    FixedString<256> command;
    const std::string_view placeholder = "\"%1\"";
    std::size_t at = std::string_view::npos;
    if (LookupOpenCommand(programPath, command) == 0) at = command.View().find(placeholder);
    if (at == std::string_view::npos) {
        commandLine.Assign(programPath);
        return CommandForm::ProgramItself;
    }
    commandLine.Assign(command.View().substr(0, at));
    commandLine.Append(programPath);
    return CommandForm::ThroughInterpreter;
}
