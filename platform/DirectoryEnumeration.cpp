#include "platform/DirectoryEnumeration.h"

#include "platform/Utf8.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <optional>

#include "platform/FileHandle.h"
#include "platform/HostPath.h"
#include "platform/ShortNames.h"

namespace platform {
namespace {

char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// One pass with a single backtracking point: linear for one '*', never exponential.
bool MatchesExactly(std::string_view pattern, std::string_view name) {
    std::size_t p = 0, n = 0;
    std::size_t starPattern = std::string_view::npos, starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starPattern = p++;
            starName = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            n += CharacterLength(name, n);
        } else if (p < pattern.size() && FoldAscii(pattern[p]) == FoldAscii(name[n])) {
            ++p;
            ++n;
        } else if (starPattern != std::string_view::npos) {
            p = starPattern + 1;
            starName += CharacterLength(name, starName);
            n = starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool FillEntry(int directory, const char* name, DirectoryEntry& entry) {
    struct stat status {};
    // A dangling link is still an entry; it shows as what it is.
    if (fstatat(directory, name, &status, 0) != 0 && fstatat(directory, name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
        return false;  // gone since it was read
    }
    entry.name = name;
    entry.shortName = ShortNameOf(entry.name);
    entry.isDirectory = S_ISDIR(status.st_mode);
    entry.size = S_ISREG(status.st_mode) ? static_cast<std::uint64_t>(status.st_size) : 0;
    entry.modifiedTime = static_cast<std::int64_t>(status.st_mtim.tv_sec);
    return true;
}

struct DirectoryCloser {
    void operator()(DIR* directory) const { closedir(directory); }
};

}  // namespace

bool MatchesNamePattern(std::string_view pattern, std::string_view name) {
    if (MatchesExactly(pattern, name)) return true;
    return pattern.ends_with(".*") && MatchesExactly(pattern.substr(0, pattern.size() - 2), name);
}

struct DirectoryEnumeration::State {
    std::unique_ptr<DIR, DirectoryCloser> directory;
    std::string pattern;
    std::optional<std::string> decodedPattern;
    bool atDriveRoot = false;

    bool Matches(std::string_view name) const {
        if (atDriveRoot && (name == "." || name == "..")) return false;
        return MatchesNamePattern(pattern, name) || (decodedPattern && MatchesNamePattern(*decodedPattern, name));
    }
};

DirectoryEnumeration::DirectoryEnumeration() = default;
DirectoryEnumeration::~DirectoryEnumeration() = default;
DirectoryEnumeration::DirectoryEnumeration(DirectoryEnumeration&& other) noexcept = default;
DirectoryEnumeration& DirectoryEnumeration::operator=(DirectoryEnumeration&& other) noexcept = default;

void DirectoryEnumeration::Close() {
    state_.reset();
}

bool DirectoryEnumeration::Start(std::string_view pattern, DirectoryEntry& first) {
    Close();
    const std::size_t slash = pattern.rfind('\\');
    if (slash == std::string_view::npos || slash + 1 == pattern.size()) return false;
    const std::string_view directoryPart = pattern.substr(0, slash);
    const std::string_view namePattern = pattern.substr(slash + 1);
    const bool atDriveRoot = directoryPart.size() == 2 && directoryPart[1] == ':';

    if (namePattern.find_first_of("*?") == std::string_view::npos) {
        // One name: found literally first, else by its short name, as a path is.
        const std::optional<std::string> host = ResolveHostPath(pattern);
        if (!host || namePattern == "." || namePattern == "..") return false;
        const std::size_t cut = host->rfind('/');
        const std::string parent = cut == 0 ? "/" : host->substr(0, cut);
        const FileHandle directory(open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        return directory.IsOpen() && FillEntry(directory.Descriptor(), host->c_str() + cut + 1, first);
    }

    const std::optional<std::string> host = ResolveHostPath(directoryPart);
    if (!host) return false;
    auto state = std::make_unique<State>();
    state->directory.reset(opendir(host->c_str()));  // glibc opens it close-on-exec
    if (!state->directory) return false;
    state->pattern = namePattern;
    state->decodedPattern = DecodeShortName(namePattern);
    state->atDriveRoot = atDriveRoot;
    state_ = std::move(state);
    if (Next(first)) return true;
    Close();
    return false;
}

bool DirectoryEnumeration::Next(DirectoryEntry& entry) {
    if (!state_) return false;
    DIR* directory = state_->directory.get();
    while (const dirent* found = readdir(directory)) {
        if (state_->Matches(found->d_name) && FillEntry(dirfd(directory), found->d_name, entry)) return true;
    }
    return false;
}

}  // namespace platform
