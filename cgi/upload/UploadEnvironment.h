#pragma once
// The upload program is the server's own, so besides the CGI variables it is handed
// what places the server's world: the drive table, the settings store and the
// temporary directory. It then sees the same drives and the same saved settings as
// the server, also when these were set for one run (as tests do).
#include <string>

// "NAME=value" and a NUL for each of PELLORA_DRIVES, XDG_CONFIG_HOME, HOME and TMPDIR
// that is set in the server's environment, in that order.
std::string UploadProgramEnvironment();
