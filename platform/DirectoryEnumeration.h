#pragma once
// The entries of a directory that match a pattern, in the order the file system
// gives them, as the logic asks with a drive-form pattern ("C:\docs\*", "c:\docs\*.txt").
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

struct DirectoryEntry {
    std::string name;
    std::string shortName;  // see ShortNames.h; empty when the name is safe in a URL
    bool isDirectory = false;
    std::uint64_t size = 0;         // bytes; 0 for directories
    std::int64_t modifiedTime = 0;  // seconds since 1970-01-01 UTC
};

// '*' matches any run of characters, '?' exactly one, other ASCII letters either case.
// A pattern ending in ".*" also matches the name without that extension, so "*.*"
// matches every name.
bool MatchesNamePattern(std::string_view pattern, std::string_view name);

// Move-only; the directory stream is closed when the enumeration ends or goes.
class DirectoryEnumeration {
public:
    DirectoryEnumeration();
    ~DirectoryEnumeration();
    DirectoryEnumeration(DirectoryEnumeration&& other) noexcept;
    DirectoryEnumeration& operator=(DirectoryEnumeration&& other) noexcept;
    DirectoryEnumeration(const DirectoryEnumeration&) = delete;
    DirectoryEnumeration& operator=(const DirectoryEnumeration&) = delete;

    // Starts with the first matching entry. The last component of `pattern` is matched
    // as written and, when it holds percent escapes, in its decoded form too; without
    // '*' or '?' it names one entry, found as the file functions find a name. ".." is
    // left out at a drive root, "." and ".." are given elsewhere, hidden names like any
    // other. False, with nothing open, when the directory cannot be read or nothing
    // matches.
    bool Start(std::string_view pattern, DirectoryEntry& first);
    // The next matching entry; false at the end.
    bool Next(DirectoryEntry& entry);
    void Close();
    [[nodiscard]] bool IsOpen() const { return state_ != nullptr; }

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace platform
