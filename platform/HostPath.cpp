#include "platform/HostPath.h"

#include <sys/stat.h>

#include "platform/DriveTable.h"
#include "platform/ShortNames.h"

namespace platform {
namespace {

bool Exists(const std::string& hostPath) {
    struct stat status {};
    return lstat(hostPath.c_str(), &status) == 0;
}

struct ResolvedPath {
    std::string host;
    std::string drive;
};

// Walks the components below the drive root once, checking only those that hold a
// '%', so the common path costs nothing beyond the table lookup.
std::optional<ResolvedPath> Resolve(std::string_view path, bool stopAtWildcards) {
    const DriveTable& table = TheDriveTable();
    std::optional<std::string> mapped = table.MapToHost(path);
    if (!mapped) return std::nullopt;
    const bool driveForm = path.size() >= 2 && path[1] == ':';
    if (!driveForm || path.find('%') == std::string_view::npos) return ResolvedPath{*mapped, std::string(path)};

    ResolvedPath resolved{*table.MapToHost(path.substr(0, 2)), std::string(path.substr(0, 2))};
    if (path.size() <= 2) return resolved;
    if (resolved.host != "/") resolved.host += '/';
    bool resolving = true;
    std::string_view rest = path.substr(3);
    while (true) {
        const std::size_t end = rest.find('\\');
        const std::string_view component = rest.substr(0, end);
        std::string chosen(component);
        if (stopAtWildcards && component.find_first_of("*?") != std::string_view::npos) resolving = false;
        if (resolving && component.find('%') != std::string_view::npos) {
            if (!Exists(resolved.host + chosen)) {
                const std::optional<std::string> decoded = DecodeShortName(component);
                if (decoded && Exists(resolved.host + *decoded)) {
                    chosen = *decoded;
                } else {
                    resolving = false;  // nothing below a missing name exists either
                }
            }
        }
        resolved.host += chosen;
        resolved.drive += '\\';
        resolved.drive += chosen;
        if (end == std::string_view::npos) break;
        resolved.host += '/';
        rest.remove_prefix(end + 1);
    }
    return resolved;
}

}  // namespace

std::optional<std::string> ResolveHostPath(std::string_view path) {
    std::optional<ResolvedPath> resolved = Resolve(path, false);
    if (!resolved || resolved->host.find('\0') != std::string::npos) return std::nullopt;
    return std::move(resolved->host);
}

std::string ResolveShortNames(std::string_view drivePath) {
    std::optional<ResolvedPath> resolved = Resolve(drivePath, true);
    if (!resolved) return std::string(drivePath);
    return std::move(resolved->drive);
}

}  // namespace platform
