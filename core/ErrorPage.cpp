#include "core/ErrorPage.h"

void SetErrorPage(Connection& connection, std::string_view status, std::string_view message,
                  std::string_view headerLine) {
    ResponseText& text = connection.response.text;
    text.Assign("HTTP/1.0 ");
    text.Append(status);
    text.Append("\r\nContent-Type: text/html\r\n");
    if (!headerLine.empty()) {
        text.Append(headerLine);
        text.Append("\r\n");
    }
    text.Append("\r\n<body><h1>HTTP/1.0 ");
    text.Append(status);
    text.Append("</h1>");
    text.Append(message);
    text.Append("</body>");
    connection.response.kind = ResponseKind::ErrorPage;
}

void SetHeaderOnlyErrorPage(Connection& connection, std::string_view status) {
    ResponseText& text = connection.response.text;
    text.Assign("HTTP/1.0 ");
    text.Append(status);
    text.Append("\r\nContent-Type: text/html\r\n\r\n");
    connection.response.kind = ResponseKind::ErrorPage;
}

void SetErrorPageForMethod(Connection& connection, std::string_view status, std::string_view message) {
    if (connection.method == RequestMethod::Head) {
        SetHeaderOnlyErrorPage(connection, status);
    } else {
        SetErrorPage(connection, status, message);
    }
}
