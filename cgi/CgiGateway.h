#pragma once
// The CGI gateway: query URLs and every POST run a CGI/1.1 program whose standard
// output becomes the response.
#include <string>
#include <string_view>

#include "config/ServerSettings.h"
#include "core/Connection.h"

inline constexpr std::size_t kCommandLineCapacity = 256;
inline constexpr std::size_t kQueryStringCapacity = 4096;
inline constexpr std::size_t kEnvironmentCapacity = 4096;

using CommandLineText = FixedString<kCommandLineCapacity>;
using QueryStringText = FixedString<kQueryStringCapacity>;

// Starts the program a query URL or a POST names: 0 and state RunningCgi, or -1 and
// an error page.
int RunCgiRequest(Connection& connection);

// Whether the request names a program that can run, from its header alone: 0, or -1
// and the error page its run would get. A body nothing would read is never stored.
int CheckCgiProgram(Connection& connection);

// One look at the running program: when it has ended, its output becomes the response.
int PollCgiRun(Connection& connection);

// "/cgi-bin/" for the CGI directory "cgi-bin": what a CGI URL begins with.
std::string CgiPrefix(std::string_view cgiDir);

// The script name, path information and query string of a URL below the CGI
// directory; -1 when the URL is not below it.
int ParseCgiRequest(std::string_view request, RequestMethod method, PathText& scriptName, PathText& pathInfo,
                    QueryStringText& queryString);

// The program path, or the registered interpreter command in front of it: 0 when a
// command template was used, -1 when the command line is the program path alone.
int BuildCgiCommandLine(std::string_view programPath, CommandLineText& commandLine);

// The 17 variables of the program's environment, each "NAME=value" and a NUL, then
// one more NUL; every value bounded, the whole block at most 4096 bytes.
std::string BuildCgiEnvironment(const Connection& connection);
