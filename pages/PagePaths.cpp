#include "pages/PagePaths.h"

#include "platform/DirectoryEnumeration.h"
#include "platform/ShortNames.h"

namespace {

bool MayHoldShortName(std::string_view text) {
    return text.find_first_of("~%") != std::string_view::npos;
}

}  // namespace

int PathToUrl(std::string_view path, std::string& out) {
    out.clear();
    if (path.size() < 2 || path[1] != ':') return -1;
    out.reserve(path.size() + 1);
    out += '/';
    out += path[0];
    for (const char c : path.substr(2)) out += c == '\\' ? '/' : c;
    return 0;
}

std::string DirectoryUrl(std::string_view path) {
    const std::size_t slash = path.rfind('\\');
    std::string url;
    if (PathToUrl(path.substr(0, slash == std::string_view::npos ? 0 : slash + 1), url) != 0) return {};
    return platform::PercentEncodeUnsafe(url);
}

void ExpandShortNames(PathText& path) {
    const std::string_view old = path.View();
    if (!MayHoldShortName(old) || old.size() < 5) return;
    std::size_t start = 0;
    if (old[1] == ':') {
        start = 3;
    } else if (old[0] == '\\') {
        start = 1;
    }
    std::string expanded(old.substr(0, start));
    while (start < old.size()) {
        const std::string_view rest = old.substr(start);
        const bool isPattern = rest.substr(0, rest.find('\\')).find_first_of("*?") != std::string_view::npos;
        if (!MayHoldShortName(rest) || isPattern) {
            expanded += rest;
            break;
        }
        const std::size_t end = rest.find('\\');
        const std::size_t componentStart = expanded.size();
        expanded += rest.substr(0, end);
        platform::DirectoryEnumeration lookup;
        platform::DirectoryEntry found;
        if (lookup.Start(expanded, found)) expanded.replace(componentStart, std::string::npos, found.name);
        if (end == std::string_view::npos) break;
        expanded += '\\';
        start += end + 1;
    }
    if (expanded.size() <= PathText::kMaxLength) path.Assign(expanded);
}
