#include "request/RootAndDirectory.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <string>

#include "config/ServerSettings.h"
#include "core/DateText.h"
#include "core/ErrorPage.h"
#include "core/HtmlText.h"
#include "core/TempFiles.h"
#include "core/TextHelpers.h"
#include "pages/DirectoryListing.h"
#include "pages/DriveIndex.h"
#include "platform/FileHandle.h"
#include "platform/HostInfo.h"
#include "platform/ShortNames.h"
#include "request/DrivePath.h"

namespace {

constexpr std::array<std::string_view, 10> kBuiltinImages = {
    "file_htm.gif", "file_txt.gif", "file_img.gif", "file_aud.gif", "file_vid.gif",
    "file_app.gif", "file.gif",     "dir.gif",      "home.gif",     "upload.gif"};

void SetNotFoundAnswer(Connection& connection, std::string_view message) {
    SetErrorPageForMethod(connection, kNotFound, message);
}

bool IsPlainHost(std::string_view host) {
    if (host.empty() || host.size() > 255) return false;
    for (const char c : host) {
        const bool allowed = std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_' ||
                             c == '[' || c == ']' || c == ':';
        if (!allowed) return false;
    }
    return true;
}

std::string WithoutPort(std::string_view host) {
    if (host.starts_with('[')) {
        const std::size_t close = host.find(']');
        return std::string(close == std::string_view::npos ? host : host.substr(0, close + 1));
    }
    return std::string(host.substr(0, host.find(':')));
}

std::string Printed(const char* format, const std::string& host, int port, const std::string& path) {
    std::string text(host.size() + path.size() + 64, '\0');
    const int length = std::snprintf(text.data(), text.size(), format, host.c_str(), port, path.c_str());
    text.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return text;
}

// A page written into a new temporary file, which the connection owns from here on
// and which delivery sends and deletes.
template <typename PageWriterFunction>
void ServeGeneratedPage(Connection& connection, PageWriterFunction writePage) {
    Response& response = connection.response;
    if (CreateTempFile(connection.file, response.temporaryFile) != 0) {
        return SetErrorPageForMethod(connection, kInternalError, kTempFileMessage);
    }
    writePage(connection.file);
    const bool whole = !connection.file.WriteFailed();
    connection.file.Close();
    if (!whole) {
        // A page the disk could not hold whole is not sent as if it were complete.
        response.temporaryFile.Delete();
        return SetErrorPageForMethod(connection, kInternalError, kTempFileMessage);
    }
    response.kind = ResponseKind::TempPage;
}

// Bytes that would end the Location line or its URL early.
bool BreaksLocation(unsigned char byte) {
    return byte <= 0x20 || byte == 0x7f;
}

}  // namespace

void ServeDirectoryListing(Connection& connection, std::string_view pattern) {
    const std::int32_t useTable = Settings().UseTable;
    ServeGeneratedPage(connection, [&](platform::FileHandle& file) { WriteDirectoryListing(file, pattern, useTable); });
}

std::string RedirectHost(std::string_view request) {
    HeaderValueText value;
    if (GetHeaderValue(request, "\nHost:", value) == 0 || GetHeaderValue(request, "\nhost:", value) == 0) {
        std::string host = WithoutPort(value);
        if (IsPlainHost(host)) return host;
    }
    return platform::HostName();
}

void WriteRedirect(std::string_view path, Connection& connection) {
    // A URL taken to its " HTTP" may run past its line end or hold blanks, and a name
    // on disk may hold a line break: control bytes and blanks go into the Location
    // line percent-encoded, so no byte of the request can end that line or the URL in
    // it. The decoded name still finds the same file.
    std::string url;
    if (PathToUrl(path, url) != 0) url = WithSlashes(path);
    const std::string urlPath = platform::PercentEncodeWhere(url, BreaksLocation);
    const std::string host = RedirectHost(connection.request);
    const int port = Settings().Port;
    const std::string location =
        port == 80 ? "Location: http://" + host + urlPath : Printed("Location: http://%s:%d%s", host, port, urlPath);
    ResponseText& text = connection.response.text;
    text.Assign("HTTP/1.0 302 Redirection\r\nDate: ");
    text.Append(CurrentDateText());
    text.Append("Server: Pellora/1.0\r\nMIME-version: 1.0\r\n");
    text.Append(location);
    text.Append("\r\n\r\n");
    if (connection.method != RequestMethod::Head) {
        text.Append("<HTML><TITLE>Redirection</TITLE><BODY><H1>Redirection</H1>This document can be found <A HREF=\"");
        text.Append(HtmlEscape(Printed("http://%s:%d%s", host, port, urlPath)));
        text.Append("\">elsewhere.</A></BODY></HTML>");
    }
    connection.response.kind = ResponseKind::Text;
}

void ServeRootRequest(Connection& connection) {
    const ServerSettings& settings = Settings();
    switch (settings.RootOption) {
        case kRootDriveIndex:
            return ServeGeneratedPage(connection,
                                      [&](platform::FileHandle& file) { WriteDriveIndex(file, settings.UseTable); });
        case kRootFile:
            if (settings.RootFile.Empty()) return SetNotFoundAnswer(connection, "The index file name is not valid.");
            return WriteRedirect(settings.RootFile, connection);
        case kRootError:
            return SetNotFoundAnswer(connection, "Pellora is configured to display an error for requests to root.");
        default:
            return;  // no answer: delivery answers with its 500 page
    }
}

void ServeDirectoryRequest(Connection& connection, std::string_view path) {
    const ServerSettings& settings = Settings();
    const std::int32_t option = settings.DirOption;
    if (option == kDirIndexElseListing || option == kDirIndexElseError) {
        PathText candidate(path);
        const bool fits = candidate.Append('\\') && candidate.Append(settings.DirFile);
        if (fits && !settings.DirFile.Empty() && platform::GetPathStatus(candidate).kind == platform::PathKind::File) {
            connection.response.file = candidate;
            connection.response.kind = ResponseKind::File;
            return;
        }
        if (option == kDirIndexElseError) return SetNotFoundAnswer(connection, "The index file can not be found.");
    }
    switch (option) {
        case kDirListing:
        case kDirIndexElseListing: {
            PathText pattern(path);
            if (!pattern.Append("\\*")) return SetErrorPageForMethod(connection, kBadRequest, kMalformedRequestMessage);
            return ServeDirectoryListing(connection, pattern);
        }
        case kDirError:
            return SetNotFoundAnswer(connection,
                                     "Pellora is configured to display an error for requests to directories.");
        default:
            return;  // no answer: delivery answers with its 500 page
    }
}

void ServeBuiltinImage(Connection& connection, std::string_view name) {
    bool known = false;
    for (const std::string_view image : kBuiltinImages) known = known || image == name;
    if (!known) return SetErrorPageForMethod(connection, kBadRequest, "The server doesn't understand such a request.");
    connection.response.file = platform::ExecutableDirectory() + "/images/" + std::string(name);
    connection.response.kind = ResponseKind::File;
}
