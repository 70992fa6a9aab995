#pragma once
#include <string_view>

#include "core/Connection.h"

// The built-in upload form; `name` is the URL behind "/@".
int ServeUploadPage(Connection& connection, std::string_view name);
