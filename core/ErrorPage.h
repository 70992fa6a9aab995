#pragma once
// The one format of every error response, held whole in the response's text.
#include <string_view>

#include "core/Connection.h"

// "HTTP/1.0 <status>", a text/html content line (and `headerLine` when given), and a
// body naming status and message.
void SetErrorPage(Connection& connection, std::string_view status, std::string_view message,
                  std::string_view headerLine = {});
// The same without a body.
void SetHeaderOnlyErrorPage(Connection& connection, std::string_view status);
// The header-only form for HEAD requests, the whole page otherwise.
void SetErrorPageForMethod(Connection& connection, std::string_view status, std::string_view message);

inline constexpr std::string_view kBadRequest = "400 Bad Request";
inline constexpr std::string_view kForbidden = "403 Forbidden";
inline constexpr std::string_view kNotFound = "404 Not Found";
inline constexpr std::string_view kRangeNotSatisfiable = "416 Range Not Satisfiable";
inline constexpr std::string_view kInternalError = "500 Internal Server Error";
inline constexpr std::string_view kServiceUnavailable = "503 Service Unavailable";

inline constexpr std::string_view kTempFileMessage = "The server wasn't able to create tmp file.";
inline constexpr std::string_view kMalformedRequestMessage =
    "The request is either too long or not in the right format.";
inline constexpr std::string_view kNotFoundMessage = "File or directory not found.";
inline constexpr std::string_view kBusyMessage = "The server is busy serving other clients. Try again later.";
