#include "core/ErrorPage.h"

#include <string>

void SetErrorPage(Connection& connection, std::string_view status, std::string_view message) {
    ResponseText& text = connection.responseText;
    text.Assign("HTTP/1.0 ");
    text.Append(status);
    text.Append("\r\nContent-Type: text/html\r\n\r\n<body><h1>HTTP/1.0 ");
    text.Append(status);
    text.Append("</h1>");
    text.Append(message);
    text.Append("</body>");
    connection.responseKind = ResponseKind::Text;
}

void SetHeaderOnlyErrorPage(Connection& connection, std::string_view status) {
    ResponseText& text = connection.responseText;
    text.Assign("HTTP/1.0 ");
    text.Append(status);
    text.Append("\r\nContent-Type: text/html\r\n\r\n");
    connection.responseKind = ResponseKind::Text;
}

void SetErrorPageForMethod(Connection& connection, std::string_view status, std::string_view message) {
    if (connection.method == RequestMethod::Head) {
        SetHeaderOnlyErrorPage(connection, status);
    } else {
        SetErrorPage(connection, status, message);
    }
}

void SetUnavailableFeaturePage(Connection& connection, std::string_view feature) {
    std::string message(feature);
    message += " is not available in this version of Pellora yet.";
    SetErrorPageForMethod(connection, kInternalError, message);
}
