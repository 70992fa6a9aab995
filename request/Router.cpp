#include "request/Router.h"

#include <string>

#include "cgi/CgiGateway.h"
#include "cgi/upload/UploadPage.h"
#include "config/ServerSettings.h"
#include "core/ErrorPage.h"
#include "platform/FileHandle.h"
#include "platform/HostPath.h"
#include "request/AccessControl.h"
#include "request/DrivePath.h"
#include "request/RootAndDirectory.h"

namespace {

int RefuseMalformed(Connection& connection) {
    SetErrorPageForMethod(connection, kBadRequest, kMalformedRequestMessage);
    return -1;
}

int NotFound(Connection& connection) {
    SetErrorPageForMethod(connection, kNotFound, kNotFoundMessage);
    return -1;
}

std::string WithBackslashes(std::string_view text) {
    std::string converted(text);
    for (char& c : converted) {
        if (c == '/') c = '\\';
    }
    return converted;
}

// '/docs/a.txt' is sent to the drive form of the same path under the document root.
int RedirectIntoDocumentRoot(Connection& connection, std::string_view url) {
    std::string_view root = Settings().RootDir;
    if (root.empty()) return NotFound(connection);
    if (root.back() == '\\') root.remove_suffix(1);
    PathText path;
    if (!path.Assign(std::string(root) + WithBackslashes(url))) return RefuseMalformed(connection);
    WriteRedirect(path, connection);
    connection.responseKind = ResponseKind::Text;
    return 0;
}

// '/c/docs/a.txt' names 'c:\docs\a.txt'.
int ServeDrivePath(Connection& connection, std::string_view url) {
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
        SetErrorPageForMethod(connection, kForbidden, "This directory is not allowed for access.");
        return -1;
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
    connection.responseText.Assign(local);
    connection.responseKind = ResponseKind::File;
    return 0;
}

}  // namespace

int RouteRequest(Connection& connection) {
    UrlText url;
    if (ExtractUrl(connection.request, url) < 0) return RefuseMalformed(connection);
    const std::string_view target = url;
    if (target.starts_with("/@upload.htm")) return ServeUploadPage(connection, target.substr(2));
    if (target.starts_with("/@")) return ServeBuiltinImage(connection, target.substr(2));
    if (target.find('?') != std::string_view::npos) return RunCgiRequest(connection);
    if (target == "/") return ServeRootRequest(connection);
    if (target.size() > 2 && target[2] != '/') return RedirectIntoDocumentRoot(connection, target);
    return ServeDrivePath(connection, target);
}
