#pragma once
// Where a path lands on disk, told by identity (device and inode) rather than by its
// spelling: two spellings reach the same directory exactly when the file system says
// so, whatever letter case it ignores or tells apart and whatever links lie between.
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace platform {

struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

// What a drive-form or host path names, links followed; nothing when it names nothing.
std::optional<FileIdentity> IdentityOf(std::string_view path);

// The place a path reaches and every directory above it on disk, up to the root: the
// deepest part of the path that exists, links followed, then its real parents. Empty
// when the path names no place at all (an unknown drive, a relative path).
std::vector<FileIdentity> PlacesReached(std::string_view path);

}  // namespace platform
