#pragma once
// Adding a record to the end of a file that others may read, move or delete between
// records, and that several writers may extend at once.
#include <string_view>

namespace platform {

// Opens `path` (drive form or host path; created when missing), appends `bytes` with
// one write, and closes it again. With O_APPEND and a single write, records of
// concurrent writers never interleave. False only when the file could not be opened;
// a failed or short write is not reported.
bool AppendToFile(std::string_view path, std::string_view bytes);

}  // namespace platform
