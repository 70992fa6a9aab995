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

enum class CgiLaunch { Started, Refused };
enum class ProgramCheck { Runnable, Refused };
enum class CgiProgress { Running, Ended };
enum class CommandForm { ThroughInterpreter, ProgramItself };

// Starts the program a query URL or a POST names, its run kept in the connection; or
// sets the error page that says why not.
CgiLaunch RunCgiRequest(Connection& connection);

// Whether the request names a program that can run, from its header alone; when not,
// the error page its run would get is set. A body nothing would read is never stored.
ProgramCheck CheckCgiProgram(Connection& connection);

// One look at the running program: when it has ended, its output becomes the response.
CgiProgress PollCgiRun(Connection& connection);

// "/cgi-bin/" for the CGI directory "cgi-bin": what a CGI URL begins with.
std::string CgiPrefix(std::string_view cgiDir);

// The script name, path information and query string of a URL below the CGI
// directory; -1 when the URL is not below it.
int ParseCgiRequest(std::string_view request, RequestMethod method, PathText& scriptName, PathText& pathInfo,
                    QueryStringText& queryString);

// The program path, with the registered interpreter command in front of it when its
// type has one.
CommandForm BuildCgiCommandLine(std::string_view programPath, CommandLineText& commandLine);

// The 17 variables of the program's environment, each "NAME=value" and a NUL, then
// one more NUL; every value bounded, the whole block at most 4096 bytes.
std::string BuildCgiEnvironment(const Connection& connection);
