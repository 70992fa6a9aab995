#pragma once
// The desktop's Open and Save dialogs, as the logic asks for them.
#include <QWidget>
#include <optional>
#include <string>

#include "platform/DesktopServices.h"

namespace platform {

// The chosen host path, or nothing when the user cancelled.
std::optional<std::string> ChooseQtFile(const FileDialogRequest& request, QWidget* owner);

}  // namespace platform
