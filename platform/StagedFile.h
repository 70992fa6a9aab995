#pragma once
// A file that gets its name only once it is complete. It is written without a name in
// its directory (O_TMPFILE), so a run that fails, or is killed, leaves nothing behind.
// Where the file system cannot do that, it is written under a hidden temporary name
// that is removed unless the file is published.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/FileHandle.h"

namespace platform {

enum class PublishResult { Published, NameTaken, Failed };

class StagedFile {
public:
    StagedFile() = default;
    ~StagedFile() { Discard(); }
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;
    StagedFile(StagedFile&& other) noexcept;
    StagedFile& operator=(StagedFile&& other) noexcept;

    // A new, empty file in `directory` (drive form, or a host path). Not open when it
    // cannot be made; `error` then says why.
    static StagedFile CreateIn(std::string_view directory, FileError* error = nullptr);

    [[nodiscard]] bool IsOpen() const { return file_.IsOpen(); }
    // Appends every byte; false when the write failed (a full disk) or was short.
    bool Write(std::string_view bytes) { return file_.WriteAll(bytes); }

    // A new staged file in `directory` holding everything written here so far.
    StagedFile CopyInto(std::string_view directory, FileError* error = nullptr);

    // Gives the file `name` (one component) in its directory, unless something of that
    // name is there already: never replaces, never follows a link at the name. Once
    // published, the file is no longer this object's.
    PublishResult Publish(std::string_view name);

    // Drops what was written; nothing of it remains.
    void Discard();

private:
    FileHandle directory_;       // where the file is written and published
    FileHandle file_;            // open for reading and writing
    std::string temporaryName_;  // only where the file system keeps no file without a name
};

}  // namespace platform
