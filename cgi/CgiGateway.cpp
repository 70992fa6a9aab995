// The CGI gateway: starting the program a request names, and looking at it until its
// output can be sent. The server never waits on a program.
#include <string>

#include "cgi/CgiGateway.h"
#include "cgi/upload/UploadEnvironment.h"
#include "core/ErrorPage.h"
#include "core/HtmlText.h"
#include "core/TempFiles.h"
#include "platform/HostInfo.h"
#include "platform/HostPath.h"
#include "request/DrivePath.h"

namespace {

constexpr std::string_view kUploadRequestStart = "POST /@upload.exe ";
constexpr std::string_view kMismatchMessage = "The cgi-bin request doesn't match Pellora configuration.";

struct ProgramPlace {
    std::string program;
    std::string workingDirectory;
    std::string extraEnvironment;  // entries after the 17 CGI variables, each ended by a NUL
};

// The upload program lives beside the server's own executable.
ProgramPlace UploadProgram() {
    const std::string executable = platform::ExecutablePath();
    const std::size_t slash = executable.rfind('/');
    if (executable.empty() || slash == std::string::npos) return {};
    const std::string directory = executable.substr(0, slash);
    return {directory + "/upload.exe", directory, UploadProgramEnvironment(Settings())};
}

// A script below the document root's CGI directory; empty program when refused.
ProgramPlace ScriptProgram(Connection& connection) {
    PathText scriptName;
    PathText pathInfo;
    QueryStringText queryString;
    if (ParseCgiRequest(connection.request, connection.method, scriptName, pathInfo, queryString) != 0) {
        SetErrorPage(connection, kBadRequest, kMismatchMessage);
        return {};
    }
    const ServerSettings& settings = Settings();
    if (settings.RootDir.Empty()) {
        SetErrorPage(connection, kInternalError, "For cgi-bin to work, root document path has to be define.");
        return {};
    }
    // The prefix matches in any letter case; on a file system that tells case apart,
    // the program is found under the CGI directory as configured.
    const std::string prefix = CgiPrefix(settings.CgiDir);
    const std::string script = WithBackslashes(prefix + std::string(scriptName.View().substr(prefix.size())));
    std::string root(settings.RootDir);
    ProgramPlace place;
    if (root.ends_with('\\')) {
        place.program = root.substr(0, root.size() - 1) + script;
        place.workingDirectory = root + std::string(settings.CgiDir);
    } else {
        place.program = root + script;
        place.workingDirectory = root + "\\" + std::string(settings.CgiDir);
    }
    return place;
}

// The program a request names, found as a URL names it: a short name in the URL is
// the program it stands for. Empty program, and an error page, when nothing can run.
ProgramPlace FindProgram(Connection& connection) {
    ProgramPlace place;
    if (connection.request.View().starts_with(kUploadRequestStart)) {
        // With uploads off, nobody may write files on this machine through the server.
        if (Settings().UploadOn == 0) {
            SetErrorPage(connection, kInternalError, "Pellora upload capability is currently disabled.");
            return {};
        }
        place = UploadProgram();
    } else {
        place = ScriptProgram(connection);
        if (place.program.empty()) return {};
        place.program = platform::ResolveShortNames(place.program);
    }
    if (place.program.empty() || platform::GetPathStatus(place.program).kind != platform::PathKind::File) {
        SetErrorPage(connection, kNotFound, "Cgi-bin file " + HtmlEscape(place.program) + " not found");
        return {};
    }
    CommandLineText commandLine;
    BuildCgiCommandLine(place.program, commandLine);
    if (!commandLine.View().ends_with(place.program)) {
        SetErrorPage(connection, kBadRequest, kMismatchMessage);
        return {};
    }
    return place;
}

CgiLaunch Launch(Connection& connection, const ProgramPlace& place) {
    CommandLineText commandLine;
    const bool usesInterpreter = BuildCgiCommandLine(place.program, commandLine) == CommandForm::ThroughInterpreter;

    if (!connection.cgiRun) connection.cgiRun = std::make_unique<CgiRun>();
    CgiRun& run = *connection.cgiRun;
    if (connection.method == RequestMethod::Post) {
        run.bodyFile = platform::OpenFileForRead(run.bodyFileName.Name());
    }
    if (CreateTempFile(run.outputFile, run.outputFileName) != 0) {
        connection.cgiRun.reset();
        SetErrorPage(connection, kInternalError, kTempFileMessage);
        return CgiLaunch::Refused;
    }
    platform::ChildLaunch launch;
    if (usesInterpreter) {
        launch.interpreter = commandLine.View().substr(0, commandLine.Length() - place.program.size());
    }
    launch.program = place.program;
    launch.workingDirectory = place.workingDirectory;
    launch.environment = BuildCgiEnvironment(connection);
    if (!place.extraEnvironment.empty()) {
        launch.environment.pop_back();  // the block's closing NUL moves behind the extra entries
        launch.environment += place.extraEnvironment;
        launch.environment += '\0';
    }
    launch.standardInput = run.bodyFile.IsOpen() ? run.bodyFile.Descriptor() : -1;
    launch.standardOutput = run.outputFile.Descriptor();
    run.process = platform::ChildProcess::Start(launch);
    if (!run.process.Started()) {
        connection.cgiRun.reset();  // its files go with it
        SetErrorPage(connection, kInternalError, "The server wasn't able to create process.");
        return CgiLaunch::Refused;
    }
    return CgiLaunch::Started;
}

}  // namespace

ProgramCheck CheckCgiProgram(Connection& connection) {
    return FindProgram(connection).program.empty() ? ProgramCheck::Refused : ProgramCheck::Runnable;
}

CgiLaunch RunCgiRequest(Connection& connection) {
    const ProgramPlace place = FindProgram(connection);
    if (place.program.empty()) {
        connection.cgiRun.reset();
        return CgiLaunch::Refused;
    }
    return Launch(connection, place);
}

CgiProgress PollCgiRun(Connection& connection) {
    if (!connection.cgiRun) {
        SetErrorPage(connection, kInternalError, "Internal CGI-BIN execution error.");
        return CgiProgress::Ended;
    }
    CgiRun& run = *connection.cgiRun;
    if (run.process.IsRunning()) return CgiProgress::Running;
    run.bodyFile.Close();
    run.bodyFileName.Delete();
    run.outputFile.Close();
    connection.response.temporaryFile = std::move(run.outputFileName);
    connection.response.kind = ResponseKind::CgiOutput;
    connection.cgiRun.reset();
    return CgiProgress::Ended;
}
