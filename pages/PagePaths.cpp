#include "pages/PagePaths.h"

#include "platform/ShortNames.h"

std::string DirectoryUrl(std::string_view path) {
    const std::size_t slash = path.rfind('\\');
    if (slash == std::string_view::npos || path.size() < 2 || path[1] != ':') return {};
    std::string url{'/', path[0]};
    // Every separator becomes '/', every component its URL form: the directory part
    // of 'C:\my docs\*' gives '/C/my%20docs/'.
    const std::string_view directory = path.substr(2, slash - 1);
    std::size_t start = 0;
    while (start < directory.size()) {
        const std::size_t end = directory.find('\\', start);
        url += platform::UrlOfComponent(directory.substr(start, end - start));
        if (end == std::string_view::npos) break;
        url += '/';
        start = end + 1;
    }
    return url;
}
