#pragma once
#include "core/Connection.h"

// Starts the CGI program a query URL or a POST names (state RunningCgi), or sets an
// error page.
int RunCgiRequest(Connection& connection);
// One look at the running program: when it has ended, its output becomes the response.
int PollCgiRun(Connection& connection);
