#include "request/AccessControl.h"

#include <array>
#include <cstddef>

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

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// Lower-cased, with a '\' after it so that c:\public does not match c:\publicity.
// A requested path always gets one; a list entry only when it lacks it.
bool ComposePathText(PathText& work, std::string_view text, bool alwaysAppend) {
    work.Clear();
    for (char c : text) {
        if (!work.Append(LowerAscii(c))) return false;
    }
    if (!alwaysAppend && !work.Empty() && work.View().back() == '\\') return true;
    return work.Append('\\');
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
    const int used = UsedEntries(settings.DirList);
    for (int i = 0; i < used; ++i) {
        PathText entry;
        ComposePathText(entry, settings.DirList[i].View(), false);
        if (StartsWith(path, entry.View())) return true;
    }
    return false;
}

}  // namespace

// Too long for its work buffer: Selective refuses; Restrictive compares what fits (never refuses less).

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
    PathText work;
    if (!ComposePathText(work, path, true) && option == kAccessSelective) return kRefused;
    return Decide(option, PathInList(settings, work.View()));
}
