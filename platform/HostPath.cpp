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

// Which reading of a component with a '%' wins when both name an entry.
enum class Reading {
    // A URL's component: a link made from an entry's short name reaches that entry,
    // whatever is literally named like the link beside it.
    DecodedFirst,
    // A drive-form path's component: it already names the entry as it is; only a name
    // that no drive-form path can spell (one holding a backslash) stays encoded in it.
    LiteralFirst,
};

// The component's name on disk in `directory`, or nothing when neither reading
// names an entry.
std::optional<std::string> NameOnDisk(const std::string& directory, std::string_view component, Reading reading) {
    std::string literal(component);
    std::optional<std::string> decoded = DecodeShortName(component);
    const bool literalExists = Exists(directory + literal);
    const bool decodedExists = decoded && Exists(directory + *decoded);
    if (decodedExists && (reading == Reading::DecodedFirst || !literalExists)) return decoded;
    if (literalExists) return literal;
    return std::nullopt;
}

// Walks the components below the drive root once, checking only those that hold a
// '%', so the common path costs nothing beyond the table lookup. A component's drive
// form is its name on disk, unless that holds a backslash, which would read as a separator.
std::optional<ResolvedPath> Resolve(std::string_view path, Reading reading, bool stopAtWildcards) {
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
        if (stopAtWildcards && component.find_first_of("*?") != std::string_view::npos) resolving = false;
        std::string onDisk(component);
        if (resolving && component.find('%') != std::string_view::npos) {
            const std::optional<std::string> name = NameOnDisk(resolved.host, component, reading);
            // Nothing below a missing name exists either.
            resolving = name.has_value();
            if (name) onDisk = *name;
        }
        resolved.host += onDisk;
        resolved.drive += '\\';
        resolved.drive += onDisk.find('\\') == std::string::npos ? std::string_view(onDisk) : component;
        if (end == std::string_view::npos) break;
        resolved.host += '/';
        rest.remove_prefix(end + 1);
    }
    return resolved;
}

}  // namespace

std::optional<std::string> ResolveHostPath(std::string_view path) {
    std::optional<ResolvedPath> resolved = Resolve(path, Reading::LiteralFirst, false);
    if (!resolved || resolved->host.find('\0') != std::string::npos) return std::nullopt;
    return std::move(resolved->host);
}

std::string ResolveShortNames(std::string_view drivePath) {
    std::optional<ResolvedPath> resolved = Resolve(drivePath, Reading::DecodedFirst, true);
    if (!resolved) return std::string(drivePath);
    return std::move(resolved->drive);
}

}  // namespace platform
