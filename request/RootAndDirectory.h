#pragma once
// Answers to the site root, to directories, to built-in image names, and redirects.
#include <string_view>

#include "core/Connection.h"

int ServeRootRequest(Connection& connection);
// `path` names an existing directory in drive form without a trailing backslash.
int ServeDirectoryRequest(Connection& connection, std::string_view path);
int ServeBuiltinImage(Connection& connection, std::string_view name);
// A complete 302 response to the URL of the local `path`, in responseText.
int WriteRedirect(std::string_view path, Connection& connection);

// The host a redirect names: the request's Host header without its port when it
// holds a plain host name or address, else the machine's name.
std::string RedirectHost(std::string_view request);
