#pragma once
// Answers to the site root, to directories, to built-in image names, and redirects.
#include <string_view>

#include "core/Connection.h"

// Each leaves its answer, or its error page, in the connection's response.
void ServeRootRequest(Connection& connection);
// `path` names an existing directory in drive form without a trailing backslash.
void ServeDirectoryRequest(Connection& connection, std::string_view path);
// A generated listing page of a drive-form pattern ('c:\docs\*', 'c:\docs\*.txt'),
// or the 500 answer when no temporary file could be made.
void ServeDirectoryListing(Connection& connection, std::string_view pattern);
void ServeBuiltinImage(Connection& connection, std::string_view name);
// A complete 302 response to the URL of the local `path`.
void WriteRedirect(std::string_view path, Connection& connection);

// The host a redirect names: the request's Host header without its port when it
// holds a plain host name or address, else the machine's name.
std::string RedirectHost(std::string_view request);
