#include "platform/AppendFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>

#include "platform/DriveTable.h"
#include "platform/FileHandle.h"

namespace platform {

bool AppendToFile(std::string_view path, std::string_view bytes) {
    std::optional<std::string> host = TheDriveTable().MapToHost(path);
    // A NUL would silently cut the name the kernel sees.
    if (!host || host->empty() || host->find('\0') != std::string::npos) return false;
    // O_NONBLOCK: a FIFO nobody reads fails to open instead of hanging the server.
    constexpr int flags = O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    int descriptor;
    do {
        descriptor = open(host->c_str(), flags, 0644);
    } while (descriptor < 0 && errno == EINTR);
    FileHandle file(descriptor);
    if (!file.IsOpen()) return false;
    ssize_t written;
    do {
        written = write(file.Descriptor(), bytes.data(), bytes.size());
    } while (written < 0 && errno == EINTR);
    return true;
}

}  // namespace platform
