#pragma once
#include <string>

#include "platform/FileHandle.h"

namespace platform {

// A new file in $TMPDIR (default /tmp) named "uGh" + 4 hex digits + ".tmp", created
// exclusively with mode 0600 and open for writing (close-on-exec). Its full host
// name goes into `name`. A handle that is not open means failure.
FileHandle CreateTemporaryFile(std::string& name);

// The directory temporary files go to.
std::string TemporaryDirectory();

}  // namespace platform
