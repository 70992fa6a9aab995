#include "request/Router.h"

#include <string>

#include "cgi/CgiGateway.h"
#include "cgi/upload/UploadForm.h"
#include "config/ServerSettings.h"
#include "core/ErrorPage.h"
#include "platform/FileHandle.h"
#include "platform/HostPath.h"
#include "request/AccessControl.h"
#include "request/DrivePath.h"
#include "request/RootAndDirectory.h"

namespace {

void RefuseMalformed(Connection& connection) {
    SetErrorPageForMethod(connection, kBadRequest, kMalformedRequestMessage);
}

void NotFound(Connection& connection) {
    SetErrorPageForMethod(connection, kNotFound, kNotFoundMessage);
}

// '/docs/a.txt' is sent to the drive form of the same path under the document root.
void RedirectIntoDocumentRoot(Connection& connection, std::string_view url) {
    std::string_view root = Settings().RootDir;
    if (root.empty()) return NotFound(connection);
    if (root.back() == '\\') root.remove_suffix(1);
    PathText path;
    if (!path.Assign(std::string(root) + WithBackslashes(url))) return RefuseMalformed(connection);
    WriteRedirect(path, connection);
}

// '/c/docs/a.txt' names 'c:\docs\a.txt'.
void ServeDrivePath(Connection& connection, std::string_view url) {
    std::string path;
    if (url.size() > 1 && url.front() == '/') {
        path = std::string(1, url[1]) + ":" + std::string(url.substr(2));
    } else {
        path = url;
    }
    if (!path.empty() && path.back() == '/') path.pop_back();
    std::string normalized;
    if (NormalizeDrivePath(WithBackslashes(path), normalized) != DrivePathResult::Normalized) {
        return NotFound(connection);
    }
    // Told from the path as sent: a name that holds '*' is reached by its short name.
    const bool wildcard = normalized.find('*') != std::string::npos;
    // Short names become the names they stand for before anything looks at the path,
    // so the directory lists are matched against the real names.
    PathText local;
    if (!local.Assign(platform::ResolveShortNames(normalized))) return RefuseMalformed(connection);
    if (CheckDirectoryAccess(Settings(), local) != 0) {
        return SetErrorPageForMethod(connection, kForbidden, "This directory is not allowed for access.");
    }
    if (wildcard) return ServeDirectoryListing(connection, local);
    // Most paths name a readable file: opening it tells so with the calls that serve
    // it. The rest is told apart by the path's status; a file that would not open here
    // gets its error page when delivery opens it again.
    std::int64_t size = 0;
    platform::FileHandle file = platform::OpenFileForRead(local, nullptr, &size);
    if (file.IsOpen()) {
        connection.TakeBody(std::move(file), size);
    } else {
        const platform::PathStatus status = platform::GetPathStatus(local);
        if (status.kind == platform::PathKind::Missing) return NotFound(connection);
        if (status.kind == platform::PathKind::Directory) return ServeDirectoryRequest(connection, local);
    }
    connection.response.file = local;
    connection.response.kind = ResponseKind::File;
}

}  // namespace

Routing RouteRequest(Connection& connection) {
    UrlText url;
    if (ExtractUrl(connection.request, url) < 0) {
        RefuseMalformed(connection);
    } else if (const std::string_view target = url; target.starts_with("/@upload.htm")) {
        ServeUploadPage(connection, target.substr(2));
    } else if (target.starts_with("/@")) {
        ServeBuiltinImage(connection, target.substr(2));
    } else if (target.find('?') != std::string_view::npos) {
        if (RunCgiRequest(connection) == CgiLaunch::Started) return Routing::ProgramStarted;
    } else if (target == "/") {
        ServeRootRequest(connection);
    } else if (target.size() > 2 && target[2] != '/') {
        RedirectIntoDocumentRoot(connection, target);
    } else {
        ServeDrivePath(connection, target);
    }
    return Routing::Answered;
}
