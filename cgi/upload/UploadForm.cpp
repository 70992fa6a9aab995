#include "cgi/upload/UploadForm.h"

#include <string>

#include "config/ServerSettings.h"
#include "core/DateText.h"
#include "core/ErrorPage.h"
#include "core/HtmlText.h"
#include "request/DrivePath.h"

namespace {

// '/C/docs/' names 'C:\docs\'; fewer than two characters name nothing.
std::string UrlToLocalDirectory(std::string_view url) {
    if (url.size() < 2) return {};
    return std::string(1, url[1]) + ":" + WithBackslashes(url.substr(2));
}

}  // namespace

void ServeUploadPage(Connection& connection, std::string_view name) {
    const ServerSettings& settings = Settings();
    if (settings.UploadOn == 0) {
        return SetErrorPage(connection, kInternalError, "Pellora upload capability is currently disabled.");
    }
    std::string destination;
    if (settings.UploadAccessType == 0) {
        destination = settings.UploadDir;
    } else {
        const std::size_t at = name.find("upload.htm");
        if (at == std::string_view::npos) return SetErrorPage(connection, kInternalError, "Server process error.");
        destination = UrlToLocalDirectory(name.substr(at + 10));
    }
    if (!destination.empty() && !destination.ends_with('\\')) destination += '\\';
    if (!WriteUploadForm(PathText(destination), connection.response.text)) {
        // Escaped, the destination leaves the form no room: a cut page is no form.
        return SetErrorPageForMethod(connection, kBadRequest, kMalformedRequestMessage);
    }
    connection.response.kind = ResponseKind::Text;
}

bool WriteUploadForm(std::string_view destination, ResponseText& text) {
    text.Assign("HTTP/1.0 200 OK\r\nDate: ");
    text.Append(CurrentDateText());
    text.Append("Server: Pellora/1.0\r\nMIME-version: 1.0\r\nContent-Type: text/html\r\n\r\n");
    text.Append("<HTML><HEAD><TITLE>Pellora File Upload</TITLE></HEAD><BODY>\r\n");
    text.Append("<H2>Pellora File Upload</H2>\r\n");
    text.Append("<FORM ENCTYPE=\"multipart/form-data\" METHOD=POST ACTION=\"/@upload.exe\">\r\n");
    text.Append("<TABLE><TR><TD>Destination:<BR><I>(Full name or path)</I></TD>\r\n");
    text.Append("<TD><INPUT TYPE=TEXT SIZE=40 NAME=\"dest\" value = \"");
    text.Append(HtmlEscape(destination));
    text.Append("\"></TD></TR><TR>\r\n");
    text.Append("<TD>File to upload:</TD>");
    text.Append("<TD><INPUT TYPE=FILE NAME=\"upl-file\" SIZE=40></TD></TR><TR>\r\n");
    text.Append("<TD COLSPAN=2 ALIGN=CENTER><INPUT TYPE=SUBMIT VALUE=\"Upload Now\"></TD>\r\n");
    text.Append("</TR></TABLE></FORM>\r\n");
    return text.Append("<HR> Note: Your browser must support file uploading. </BODY></HTML>\r\n");
}
