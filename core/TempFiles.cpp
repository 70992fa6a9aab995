#include "core/TempFiles.h"

#include <algorithm>
#include <optional>
#include <string>

#include "platform/DriveGeometry.h"
#include "platform/TempFile.h"

namespace {

constexpr std::uint64_t kMinimumReserve = 64ULL << 20;
constexpr std::uint64_t kReservePercent = 5;

}  // namespace

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

bool TempSpaceHolds(std::int64_t bytes) {
    const std::optional<platform::DriveSpace> space = platform::GetSpaceAt(platform::TemporaryDirectory());
    if (!space) return true;
    const std::uint64_t reserve = std::max(kMinimumReserve, space->freeBytes / 100 * kReservePercent);
    const std::uint64_t wanted = bytes > 0 ? static_cast<std::uint64_t>(bytes) : 0;
    return wanted == 0 || (space->freeBytes >= reserve && wanted <= space->freeBytes - reserve);
}
