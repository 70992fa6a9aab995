#pragma once
// The name of a temporary file this process made, deleted when its owner lets go
// of it, so that no temporary file outlives the request that made it.
#include <string>
#include <string_view>
#include <utility>

#include "platform/FileHandle.h"

namespace platform {

class OwnedTempFile {
public:
    OwnedTempFile() = default;
    explicit OwnedTempFile(std::string name) : name_(std::move(name)) {}
    ~OwnedTempFile() { Delete(); }
    OwnedTempFile(const OwnedTempFile&) = delete;
    OwnedTempFile& operator=(const OwnedTempFile&) = delete;
    OwnedTempFile(OwnedTempFile&& other) noexcept : name_(std::exchange(other.name_, {})) {}
    OwnedTempFile& operator=(OwnedTempFile&& other) noexcept {
        if (this != &other) {
            Delete();
            name_ = std::exchange(other.name_, {});
        }
        return *this;
    }

    void Delete() {
        if (!name_.empty()) DeleteFile(name_);
        name_.clear();
    }
    // Gives up ownership without deleting: someone else deletes it now.
    std::string Release() { return std::exchange(name_, {}); }
    [[nodiscard]] std::string_view Name() const { return name_; }
    [[nodiscard]] bool Owns() const { return !name_.empty(); }

private:
    std::string name_;
};

}  // namespace platform
