#pragma once
#include "core/Connection.h"

// Sorts a GET or HEAD request into its URL form and answers it or hands it on.
// 0 when an answer or hand-off was made, -1 when an error page was set.
int RouteRequest(Connection& connection);
