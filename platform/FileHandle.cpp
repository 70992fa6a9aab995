#include "platform/FileHandle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>

#include "platform/HostPath.h"

namespace platform {
namespace {

int OpenRetryingOnSignal(const std::string& path, int flags, mode_t mode = 0) {
    int descriptor;
    do {
        descriptor = open(path.c_str(), flags, mode);
    } while (descriptor < 0 && errno == EINTR);
    return descriptor;
}

// Only a regular file reads to an end; a directory is refused as Windows refuses it,
// pipes and devices do not exist for the server.
FileError ErrorForNonRegular(int descriptor, std::int64_t* size) {
    struct stat status {};
    if (fstat(descriptor, &status) != 0) return ErrorFromErrno(errno);
    if (S_ISREG(status.st_mode)) {
        if (size != nullptr) *size = static_cast<std::int64_t>(status.st_size);
        return FileError::None;
    }
    return S_ISDIR(status.st_mode) ? FileError::Refused : FileError::Missing;
}

}  // namespace

bool ClearNonBlocking(int descriptor) {
    const int flags = fcntl(descriptor, F_GETFL);
    if (flags < 0) return false;
    return (flags & O_NONBLOCK) == 0 || fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

FileError ErrorFromErrno(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
            return FileError::Missing;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS:
            return FileError::Refused;
        case EMFILE:
        case ENFILE:
            return FileError::OutOfDescriptors;
        default:
            return FileError::Other;
    }
}

void ReportFileError(FileError* error, FileError value) {
    if (error != nullptr) *error = value;
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        Close();
        descriptor_ = other.Release();
        writeFailed_ = other.writeFailed_;
    }
    return *this;
}

int FileHandle::Release() {
    int descriptor = descriptor_;
    descriptor_ = -1;
    return descriptor;
}

void FileHandle::Close() {
    // No retry on EINTR: Linux has released the descriptor either way.
    if (IsOpen()) close(Release());
}

long FileHandle::Read(void* buffer, std::size_t count) {
    if (!IsOpen()) return 0;
    ssize_t got;
    do {
        got = read(descriptor_, buffer, count);
    } while (got < 0 && errno == EINTR);
    return static_cast<long>(got);
}

bool FileHandle::Seek(std::int64_t offset) {
    return descriptor_ >= 0 && lseek(descriptor_, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
}

bool FileHandle::WriteAll(std::string_view bytes) {
    if (!IsOpen()) {
        writeFailed_ = true;
        return false;
    }
    while (!bytes.empty()) {
        ssize_t written = write(descriptor_, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            writeFailed_ = true;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

PathStatus GetPathStatus(std::string_view path) {
    std::optional<std::string> host = ResolveHostPath(path);
    if (!host) return {PathKind::Missing, FileError::Missing};
    struct stat status {};
    if (stat(host->c_str(), &status) != 0) return {PathKind::Missing, ErrorFromErrno(errno)};
    if (S_ISREG(status.st_mode)) return {PathKind::File, FileError::None};
    if (S_ISDIR(status.st_mode)) return {PathKind::Directory, FileError::None};
    return {PathKind::Missing, FileError::Missing};
}

FileHandle OpenFileForRead(std::string_view path, FileError* error, std::int64_t* size) {
    std::optional<std::string> host = ResolveHostPath(path);
    if (!host) {
        ReportFileError(error, FileError::Missing);
        return FileHandle{};
    }
    FileHandle file(OpenRetryingOnSignal(*host, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!file.IsOpen()) {
        ReportFileError(error, ErrorFromErrno(errno));
        return FileHandle{};
    }
    // O_NONBLOCK keeps a pipe from hanging the open; on the regular file that is
    // all this returns, Linux ignores it, so it is left set.
    const FileError refusal = ErrorForNonRegular(file.Descriptor(), size);
    ReportFileError(error, refusal);
    return refusal == FileError::None ? std::move(file) : FileHandle{};
}

FileHandle CreateFileForWrite(std::string_view path, FileError* error) {
    std::optional<std::string> host = ResolveHostPath(path);
    if (!host) {
        ReportFileError(error, FileError::Missing);
        return FileHandle{};
    }
    // A pipe nobody reads would hang the open; O_NONBLOCK makes it fail instead.
    constexpr int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    FileHandle file(OpenRetryingOnSignal(*host, flags, 0644));
    if (!file.IsOpen() || !ClearNonBlocking(file.Descriptor())) {
        ReportFileError(error, ErrorFromErrno(errno));
        return FileHandle{};
    }
    ReportFileError(error, FileError::None);
    return file;
}

bool DeleteFile(std::string_view path) {
    std::optional<std::string> host = ResolveHostPath(path);
    return host && unlink(host->c_str()) == 0;
}

}  // namespace platform
