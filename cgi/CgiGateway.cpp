#include "cgi/CgiGateway.h"

#include "core/ErrorPage.h"

int RunCgiRequest(Connection& connection) {
    connection.cgiRun.reset();  // the body file goes with it
    SetUnavailableFeaturePage(connection, "Running CGI programs");
    return -1;
}

int PollCgiRun(Connection& connection) {
    if (!connection.cgiRun) {
        SetErrorPage(connection, kInternalError, "Internal CGI-BIN execution error.");
        connection.state = ConnectionState::ResponseReady;
        return 0;
    }
    CgiRun& run = *connection.cgiRun;
    run.bodyFile.Close();
    run.outputFile.Close();
    run.bodyFileName.Delete();
    connection.responseText.Assign(run.outputFileName.Name());
    connection.responseFile = std::move(run.outputFileName);
    connection.responseKind = ResponseKind::CgiOutput;
    connection.state = ConnectionState::ResponseReady;
    connection.cgiRun.reset();
    return 0;
}
