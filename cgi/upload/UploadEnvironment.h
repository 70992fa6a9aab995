#pragma once
// The upload program is the server's own, so besides the CGI variables it is handed
// what places the server's world (the drive table, the settings store, the temporary
// directory) and the settings it runs with that decide where uploads may go. The
// form, the server's gate and the program then always agree, also when the server
// runs on an options file or on settings set for one run (as tests do).
#include <string>
#include <string_view>

#include "config/ServerSettings.h"

// Each setting the program applies goes as this prefix and its options-file key.
inline constexpr std::string_view kSettingVariablePrefix = "PELLORA_SETTING_";

// "NAME=value" and a NUL for each of PELLORA_DRIVES, XDG_CONFIG_HOME, HOME and TMPDIR
// that is set in the server's environment, in that order; then one for each upload
// setting of `settings` (UploadOn, UploadAccessType, UploadDir, DirAccessOption and
// the directory list).
std::string UploadProgramEnvironment(const ServerSettings& settings);

// In the program: the server's upload settings from the environment into `settings`;
// false, and `settings` unchanged, when they are not all there (the program was not
// started by a server).
bool TakeServerUploadSettings(ServerSettings& settings);
