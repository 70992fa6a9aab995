#include "request/AccessControl.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <vector>

#include "platform/FileIdentity.h"

namespace {

constexpr int kAllowed = 0;
constexpr int kRefused = -1;

// Both sides end in '.' so that only whole address parts match: 192.168 must not match
// 192.1680.1.1. Returns false when the text and its dot do not fit; `work` holds what fits.
bool ComposeAddressText(IpEntryText& work, std::string_view text) {
    if (!work.Assign(text)) return false;
    if (work.Empty() || work.View().back() == '.') return true;
    return work.Append('.');
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// A list ends at its first empty entry; later entries are never consulted.
template <std::size_t Capacity>
int UsedEntries(const std::array<FixedString<Capacity>, kListEntries>& list) {
    int used = 0;
    while (used < kListEntries && !list[used].Empty()) ++used;
    return used;
}

// Whether the directory is one of the places a path reaches, that is the path lies in
// it or below it on disk.
bool Holds(const std::vector<platform::FileIdentity>& reached, std::string_view directory) {
    const std::optional<platform::FileIdentity> identity = platform::IdentityOf(directory);
    return identity && std::find(reached.begin(), reached.end(), *identity) != reached.end();
}

bool IsListPolicy(int option) {
    return option == kAccessSelective || option == kAccessRestrictive;
}

int Decide(int option, bool matched) {
    if (option == kAccessSelective) return matched ? kAllowed : kRefused;
    return matched ? kRefused : kAllowed;
}

bool AddressInList(const ServerSettings& settings, std::string_view client) {
    const int used = UsedEntries(settings.IpList);
    for (int i = 0; i < used; ++i) {
        IpEntryText entry;
        ComposeAddressText(entry, settings.IpList[i].View());
        if (StartsWith(client, entry.View())) return true;
    }
    return false;
}

bool PathInList(const ServerSettings& settings, std::string_view path) {
    const std::vector<platform::FileIdentity> reached = platform::PlacesReached(path);
    const int used = UsedEntries(settings.DirList);
    for (int i = 0; i < used; ++i) {
        if (Holds(reached, settings.DirList[i].View())) return true;
    }
    return false;
}

}  // namespace

// An address too long for its work buffer: Selective refuses; Restrictive compares what
// fits (never refuses less).

int CheckClientAddress(const ServerSettings& settings, std::string_view clientIp) {
    const int option = settings.IpOption;
    if (!IsListPolicy(option)) return kAllowed;
    IpEntryText client;
    if (!ComposeAddressText(client, clientIp) && option == kAccessSelective) return kRefused;
    return Decide(option, AddressInList(settings, client.View()));
}

int CheckDirectoryAccess(const ServerSettings& settings, std::string_view path) {
    const int option = settings.DirAccessOption;
    if (!IsListPolicy(option)) return kAllowed;
    return Decide(option, PathInList(settings, path));
}

bool DirectoryHolds(std::string_view directory, std::string_view path) {
    return Holds(platform::PlacesReached(path), directory);
}
