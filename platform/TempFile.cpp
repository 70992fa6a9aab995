#include "platform/TempFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <ctime>

namespace platform {
namespace {

constexpr unsigned NameNumbers = 0x10000;  // four hex digits

// Start where another process is unlikely to be, so a busy directory rarely costs
// more than one try.
unsigned RandomStartNumber() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    auto mixed = static_cast<std::uint64_t>(getpid()) * 2654435761u ^ static_cast<std::uint64_t>(now.tv_nsec) ^
                 static_cast<std::uint64_t>(now.tv_sec);
    return static_cast<unsigned>(mixed % NameNumbers);
}

// Successive files of this process take successive numbers instead of retrying the
// names it already holds.
unsigned& NextNumber() {
    static unsigned next = RandomStartNumber();
    return next;
}

std::string TemporaryName(const std::string& directory, unsigned number) {
    static constexpr char hexDigits[] = "0123456789ABCDEF";
    std::string name = directory;
    if (name.back() != '/') name += '/';
    name += "uGh";
    for (int shift = 12; shift >= 0; shift -= 4) name += hexDigits[(number >> shift) & 0xF];
    name += ".tmp";
    return name;
}

int CreateExclusively(const std::string& name) {
    int descriptor;
    do {
        descriptor = open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOCTTY, 0600);
    } while (descriptor < 0 && errno == EINTR);
    return descriptor;
}

}  // namespace

std::string TemporaryDirectory() {
    const char* fromEnvironment = std::getenv("TMPDIR");
    std::string directory = (fromEnvironment != nullptr && fromEnvironment[0] != '\0') ? fromEnvironment : "/tmp";
    while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
    return directory;
}

FileHandle CreateTemporaryFile(std::string& name) {
    const std::string directory = TemporaryDirectory();
    unsigned& next = NextNumber();
    for (unsigned tried = 0; tried < NameNumbers; ++tried) {
        unsigned number = (next + tried) % NameNumbers;
        std::string candidate = TemporaryName(directory, number);
        FileHandle file(CreateExclusively(candidate));
        if (file.IsOpen()) {
            next = (number + 1) % NameNumbers;
            name = std::move(candidate);
            return file;
        }
        if (errno != EEXIST) break;  // the directory itself is at fault: no name will do
    }
    name.clear();
    return FileHandle{};
}

}  // namespace platform
