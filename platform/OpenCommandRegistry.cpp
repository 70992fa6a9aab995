#include "platform/OpenCommandRegistry.h"

#include <fstream>
#include <unordered_map>

#include "platform/HostInfo.h"

namespace platform {
namespace {

using Commands = std::unordered_map<std::string, std::string>;

Commands ReadRegistrations() {
    Commands commands;
    std::string directory = ExecutablePath();
    directory = directory.substr(0, directory.rfind('/') + 1);
    std::ifstream file(directory + "open-commands.conf");
    std::string line;
    while (std::getline(file, line)) {
        const std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] != '.') continue;
        const std::size_t extensionEnd = line.find_first_of(" \t", start);
        if (extensionEnd == std::string::npos) continue;
        const std::size_t commandStart = line.find_first_not_of(" \t", extensionEnd);
        if (commandStart == std::string::npos) continue;
        commands.emplace(line.substr(start, extensionEnd - start), line.substr(commandStart));
    }
    return commands;
}

}  // namespace

std::optional<std::string> RegisteredOpenCommand(std::string_view extension) {
    static const Commands commands = ReadRegistrations();
    const auto found = commands.find(std::string(extension));
    if (found == commands.end()) return std::nullopt;
    return found->second;
}

}  // namespace platform
