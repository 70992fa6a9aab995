#include "core/TempFiles.h"

#include <string>

#include "platform/TempFile.h"

int CreateTempFile(platform::FileHandle& handle, platform::OwnedTempFile& name) {
    std::string created;
    platform::FileHandle file = platform::CreateTemporaryFile(created);
    if (!file.IsOpen()) return -1;
    platform::OwnedTempFile owned(created);
    if (created.size() >= kTempNameCapacity) return -1;  // `owned` deletes it
    handle = std::move(file);
    name = std::move(owned);
    return 0;
}
