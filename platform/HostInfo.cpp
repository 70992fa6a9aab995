#include "platform/HostInfo.h"

#include <arpa/inet.h>
#include <limits.h>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

#include <array>
#include <cstdlib>

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

std::string ExecutableDirectory() {
    std::string path = ExecutablePath();
    const std::size_t slash = path.rfind('/');
    path.resize(slash == std::string::npos ? 0 : slash);
    return path;
}

std::optional<std::string> LookUpHostAddress(std::string_view name) {
    const std::string host(name);
    if (host.empty() || host.find('\0') != std::string::npos) return std::nullopt;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return std::nullopt;
    std::array<char, INET_ADDRSTRLEN> text{};
    const auto* address = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    const bool converted = inet_ntop(AF_INET, &address->sin_addr, text.data(), text.size()) != nullptr;
    freeaddrinfo(found);
    if (!converted) return std::nullopt;
    return std::string(text.data());
}

std::string PathFromWorkingDirectory(std::string_view path) {
    const bool driveForm = path.size() >= 2 && path[1] == ':';
    if (driveForm || (!path.empty() && path.front() == '/')) return std::string(path);
    std::array<char, PATH_MAX> directory{};
    if (getcwd(directory.data(), directory.size()) == nullptr) return std::string(path);
    std::string absolute = directory.data();
    if (absolute.back() != '/') absolute += '/';
    absolute += path;
    return absolute;
}

std::optional<std::string> EnvironmentValue(std::string_view name) {
    const char* value = std::getenv(std::string(name).c_str());
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

}  // namespace platform
