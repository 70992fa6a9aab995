#include "platform/AllocatorTuning.h"

#include <malloc.h>

namespace platform {

void KeepLargeBlocksWarm() {
    constexpr int kWarmBytes = 4 * 1024 * 1024;
    mallopt(M_MMAP_THRESHOLD, kWarmBytes);
    mallopt(M_TRIM_THRESHOLD, kWarmBytes);
}

}  // namespace platform
