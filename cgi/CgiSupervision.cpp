// Watching a running CGI program until its output can be sent.
#include "cgi/CgiGateway.h"
#include "core/ErrorPage.h"

int PollCgiRun(Connection& connection) {
    if (!connection.cgiRun) {
        SetErrorPage(connection, kInternalError, "Internal CGI-BIN execution error.");
        connection.state = ConnectionState::ResponseReady;
        return 0;
    }
    CgiRun& run = *connection.cgiRun;
    if (run.process.IsRunning()) return 0;
    run.bodyFile.Close();
    run.bodyFileName.Delete();
    run.outputFile.Close();
    connection.responseText.Assign(run.outputFileName.Name());
    connection.responseFile = std::move(run.outputFileName);
    connection.state = ConnectionState::ResponseReady;
    connection.responseKind = ResponseKind::CgiOutput;
    connection.cgiRun.reset();
    return 0;
}
