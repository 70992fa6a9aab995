#include "platform/StagedFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <utility>
#include <vector>

#include "platform/HostPath.h"

namespace platform {
namespace {

constexpr std::size_t kCopyChunk = 64 * 1024;
constexpr unsigned kHiddenNameNumbers = 0x10000;
constexpr mode_t kFileMode = 0644;

std::string HiddenName(unsigned number) {
    static constexpr char hexDigits[] = "0123456789ABCDEF";
    std::string name = ".uGh";
    for (int shift = 12; shift >= 0; shift -= 4) name += hexDigits[(number >> shift) & 0xF];
    name += ".tmp";
    return name;
}

unsigned StartNumber() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<unsigned>((static_cast<unsigned long>(getpid()) * 2654435761u) ^
                                 static_cast<unsigned long>(now.tv_nsec)) %
           kHiddenNameNumbers;
}

// A file system without O_TMPFILE answers with one of these.
bool LacksUnnamedFiles(int error) {
    return error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
}

bool IsSingleComponent(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

}  // namespace

StagedFile::StagedFile(StagedFile&& other) noexcept
    : directory_(std::move(other.directory_)),
      file_(std::move(other.file_)),
      temporaryName_(std::exchange(other.temporaryName_, {})) {}

StagedFile& StagedFile::operator=(StagedFile&& other) noexcept {
    if (this != &other) {
        Discard();
        directory_ = std::move(other.directory_);
        file_ = std::move(other.file_);
        temporaryName_ = std::exchange(other.temporaryName_, {});
    }
    return *this;
}

StagedFile StagedFile::CreateIn(std::string_view directory, FileError* error) {
    StagedFile staged;
    const std::optional<std::string> host = ResolveHostPath(directory);
    if (!host) {
        ReportFileError(error, FileError::Missing);
        return staged;
    }
    staged.directory_ = FileHandle(open(host->c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!staged.directory_.IsOpen()) {
        ReportFileError(error, ErrorFromErrno(errno));
        return {};
    }
    const int where = staged.directory_.Descriptor();
    staged.file_ = FileHandle(openat(where, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, kFileMode));
    if (staged.file_.IsOpen()) {
        ReportFileError(error, FileError::None);
        return staged;
    }
    if (!LacksUnnamedFiles(errno)) {
        ReportFileError(error, ErrorFromErrno(errno));
        return {};
    }
    const unsigned start = StartNumber();
    for (unsigned tried = 0; tried < kHiddenNameNumbers; ++tried) {
        std::string name = HiddenName((start + tried) % kHiddenNameNumbers);
        staged.file_ = FileHandle(openat(where, name.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, kFileMode));
        if (staged.file_.IsOpen()) {
            staged.temporaryName_ = std::move(name);
            ReportFileError(error, FileError::None);
            return staged;
        }
        if (errno != EEXIST) break;
    }
    ReportFileError(error, ErrorFromErrno(errno));
    return {};
}

StagedFile StagedFile::CopyInto(std::string_view directory, FileError* error) {
    StagedFile copy = CreateIn(directory, error);
    if (!copy.IsOpen()) return copy;
    std::vector<char> buffer(kCopyChunk);
    off_t offset = 0;
    while (true) {
        const ssize_t got = pread(file_.Descriptor(), buffer.data(), buffer.size(), offset);
        if (got < 0 && errno == EINTR) continue;
        if (got == 0) return copy;
        if (got < 0 || !copy.Write(std::string_view(buffer.data(), static_cast<std::size_t>(got)))) {
            ReportFileError(error, ErrorFromErrno(errno));
            return {};
        }
        offset += got;
    }
}

PublishResult StagedFile::Publish(std::string_view name) {
    if (!IsOpen() || !IsSingleComponent(name)) return PublishResult::Failed;
    // The data reaches the disk before the name does, so a crash never leaves a
    // complete-looking file with a hole in it.
    if (fdatasync(file_.Descriptor()) != 0 && errno != EINVAL) return PublishResult::Failed;
    const std::string target(name);
    const int where = directory_.Descriptor();
    int result;
    if (temporaryName_.empty()) {
        const std::string self = "/proc/self/fd/" + std::to_string(file_.Descriptor());
        result = linkat(AT_FDCWD, self.c_str(), where, target.c_str(), AT_SYMLINK_FOLLOW);
        // Without /proc, only a process allowed to open files by handle can do this.
        if (result != 0 && errno == ENOENT)
            result = linkat(file_.Descriptor(), "", where, target.c_str(), AT_EMPTY_PATH);
    } else {
        result = renameat2(where, temporaryName_.c_str(), where, target.c_str(), RENAME_NOREPLACE);
        if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
            // A file system without a renaming that refuses to replace: a hard link
            // refuses to replace too.
            result = linkat(where, temporaryName_.c_str(), where, target.c_str(), 0);
            if (result == 0) unlinkat(where, temporaryName_.c_str(), 0);
        }
        if (result == 0) temporaryName_.clear();
    }
    if (result != 0) return errno == EEXIST ? PublishResult::NameTaken : PublishResult::Failed;
    file_.Close();
    directory_.Close();
    return PublishResult::Published;
}

void StagedFile::Discard() {
    if (!temporaryName_.empty() && directory_.IsOpen()) unlinkat(directory_.Descriptor(), temporaryName_.c_str(), 0);
    temporaryName_.clear();
    file_.Close();
    directory_.Close();
}

}  // namespace platform
