#include "request/DrivePath.h"

#include <cctype>
#include <string>
#include <vector>

namespace {

std::string Replaced(std::string_view text, char from, char to) {
    std::string replaced(text);
    for (char& c : replaced) {
        if (c == from) c = to;
    }
    return replaced;
}

bool HasDrivePrefix(std::string_view path) {
    return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

}  // namespace

DrivePathResult NormalizeDrivePath(std::string_view path, PathText& normalized) {
    std::string result;
    const DrivePathResult outcome = NormalizeDrivePath(path, result);
    if (outcome != DrivePathResult::Normalized) return outcome;
    return normalized.Assign(result) ? DrivePathResult::Normalized : DrivePathResult::TooLong;
}

DrivePathResult NormalizeDrivePath(std::string_view path, std::string& result) {
    if (!HasDrivePrefix(path)) return DrivePathResult::NotDriveForm;
    const std::string_view rest = path.substr(2);
    if (!rest.empty() && rest.front() != '\\') return DrivePathResult::NotDriveForm;

    std::vector<std::string_view> components;
    std::size_t start = 0;
    while (start <= rest.size()) {
        std::size_t end = rest.find('\\', start);
        if (end == std::string_view::npos) end = rest.size();
        const std::string_view component = rest.substr(start, end - start);
        if (component == "..") {
            if (!components.empty()) components.pop_back();
        } else if (!component.empty() && component != ".") {
            components.push_back(component);
        }
        start = end + 1;
    }
    result.assign(path.substr(0, 2));
    for (const std::string_view component : components) {
        result += '\\';
        result += component;
    }
    return DrivePathResult::Normalized;
}

std::string WithBackslashes(std::string_view text) {
    return Replaced(text, '/', '\\');
}

std::string WithSlashes(std::string_view text) {
    return Replaced(text, '\\', '/');
}

int PathToUrl(std::string_view path, std::string& url) {
    url.clear();
    if (path.size() < 2 || path[1] != ':') return -1;
    // "C:\docs" becomes "C:/docs", then "/C/docs": the colon's place takes the letter.
    url = WithSlashes(path);
    url[1] = url[0];
    url[0] = '/';
    return 0;
}
