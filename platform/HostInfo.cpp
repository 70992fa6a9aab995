#include "platform/HostInfo.h"

#include <limits.h>
#include <unistd.h>

#include <array>

namespace platform {

std::string HostName() {
    std::array<char, 256> name{};
    if (gethostname(name.data(), name.size() - 1) != 0 || name[0] == '\0') return "localhost";
    return name.data();
}

std::string ExecutablePath() {
    std::array<char, PATH_MAX> path{};
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (length <= 0) return {};
    return std::string(path.data(), static_cast<std::size_t>(length));
}

std::string AbsoluteHostPath(std::string_view path) {
    if (!path.empty() && path.front() == '/') return std::string(path);
    std::array<char, PATH_MAX> directory{};
    if (getcwd(directory.data(), directory.size()) == nullptr) return std::string(path);
    std::string absolute = directory.data();
    if (absolute.back() != '/') absolute += '/';
    absolute += path;
    return absolute;
}

}  // namespace platform
