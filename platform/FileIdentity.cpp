#include "platform/FileIdentity.h"

#include <sys/stat.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/HostPath.h"

namespace platform {
namespace {

std::optional<FileIdentity> IdentityOfHostPath(const std::string& hostPath) {
    struct stat status {};
    if (stat(hostPath.c_str(), &status) != 0) return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

// The real path of the deepest existing part of an absolute host path: a missing
// file still lies in the directory that would hold it.
std::optional<std::string> DeepestRealPath(std::string hostPath) {
    while (true) {
        const std::unique_ptr<char, decltype(&std::free)> real(realpath(hostPath.c_str(), nullptr), &std::free);
        if (real) return std::string(real.get());
        if (hostPath == "/") return std::nullopt;
        const std::size_t slash = hostPath.rfind('/');
        hostPath.resize(slash == 0 ? 1 : slash);
    }
}

}  // namespace

std::optional<FileIdentity> IdentityOf(std::string_view path) {
    const std::optional<std::string> host = ResolveHostPath(path);
    if (!host) return std::nullopt;
    return IdentityOfHostPath(*host);
}

std::vector<FileIdentity> PlacesReached(std::string_view path) {
    std::vector<FileIdentity> places;
    const std::optional<std::string> host = ResolveHostPath(path);
    if (!host || host->empty() || host->front() != '/') return places;
    std::optional<std::string> real = DeepestRealPath(*host);
    if (!real) return places;
    // A real path holds no link, "." or "..": its parents are found by cutting it.
    std::string place = *real;
    while (true) {
        if (const std::optional<FileIdentity> identity = IdentityOfHostPath(place)) places.push_back(*identity);
        if (place == "/") break;
        const std::size_t slash = place.rfind('/');
        place.resize(slash == 0 ? 1 : slash);
    }
    return places;
}

}  // namespace platform
