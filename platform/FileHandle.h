#pragma once
// Files through the drive table: drive-form paths ("C:\docs\a.txt") are mapped onto
// the host, other paths (host paths of the program's own files, temporary files)
// pass unchanged.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace platform {

// Why a file could not be reached: the logic tells "missing" from "refused".
// OutOfDescriptors: the process (or the system) has no file descriptor left to open it with.
enum class FileError { None, Missing, Refused, OutOfDescriptors, Other };

class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(int descriptor) : descriptor_(descriptor) {}
    ~FileHandle() { Close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    FileHandle(FileHandle&& other) noexcept : descriptor_(other.Release()), writeFailed_(other.writeFailed_) {}
    FileHandle& operator=(FileHandle&& other) noexcept;

    [[nodiscard]] bool IsOpen() const { return descriptor_ >= 0; }
    [[nodiscard]] int Descriptor() const { return descriptor_; }
    int Release();
    void Close();

    // Bytes read; 0 at the end of the file or when the handle is not open; -1 on error.
    long Read(void* buffer, std::size_t count);
    // Moves the offset the next read (or send) starts from; false when it cannot.
    bool Seek(std::int64_t offset);
    // Writes every byte; false when the write failed or was short.
    bool WriteAll(std::string_view bytes);
    // Whether any write through this handle failed (a full disk mid-page, say).
    [[nodiscard]] bool WriteFailed() const { return writeFailed_; }

private:
    int descriptor_ = -1;
    bool writeFailed_ = false;
};

enum class PathKind { Missing, File, Directory };

struct PathStatus {
    PathKind kind = PathKind::Missing;
    FileError error = FileError::Missing;  // why it is missing (None when it exists)
};

// Only regular files and directories exist for the server: devices, pipes and
// sockets would block or misbehave when read, so they count as missing.
PathStatus GetPathStatus(std::string_view path);

// `size`, when given, gets the file's size at opening (from the same fstat that
// checks it is a regular file).
FileHandle OpenFileForRead(std::string_view path, FileError* error = nullptr, std::int64_t* size = nullptr);

// For the platform's own file code: an errno as "missing", "refused" or other, and
// storing it where the caller asked for it.
FileError ErrorFromErrno(int error);
void ReportFileError(FileError* error, FileError value);
// Makes reads and writes of a descriptor opened with O_NONBLOCK (so that opening a
// pipe cannot hang) block again; its other status flags stay.
bool ClearNonBlocking(int descriptor);
// Creates or truncates (mode 0644 before the umask).
FileHandle CreateFileForWrite(std::string_view path, FileError* error = nullptr);
bool DeleteFile(std::string_view path);

}  // namespace platform
