#include "platform/DescriptorReserve.h"

#include <fcntl.h>
#include <unistd.h>

namespace platform {

DescriptorReserve::DescriptorReserve() {
    Restore();
}

DescriptorReserve::~DescriptorReserve() {
    Release();
}

void DescriptorReserve::Release() {
    if (descriptor_ >= 0) close(descriptor_);
    descriptor_ = -1;
}

void DescriptorReserve::Restore() {
    if (descriptor_ < 0) descriptor_ = open("/dev/null", O_RDONLY | O_CLOEXEC);
}

}  // namespace platform
