#pragma once
#include "core/Connection.h"

// What routing did with a request: answered it (an answer or an error page is set),
// or started the CGI program that will.
enum class Routing { Answered, ProgramStarted };

// Sorts a GET or HEAD request into its URL form and answers it or hands it on.
Routing RouteRequest(Connection& connection);
