#include "ui/LoggingPage.h"

#include <array>

#include "config/RegistryStore.h"
#include "config/ServerSettings.h"
#include "platform/DesktopServices.h"
#include "platform/DriveTable.h"
#include "ui/OptionsPageLayouts.h"

using namespace logging;
using platform::Notification;

namespace {

constexpr std::size_t kBoxCapacity = 256;  // the page reads up to 255 characters
constexpr std::size_t kPathLimit = 255;

constexpr std::array<platform::FileFilter, 3> kLogFileFilters{{
    {"Log File (*.log)", "*.log"},
    {"Text (*.txt)", "*.txt"},
    {"All Files (*.*)", "*.*"},
}};

}  // namespace

void LoggingPage::OnInit() {
    const ServerSettings& settings = Settings();
    const bool logging = settings.LogOption != 0;
    dialog_.SetChecked(kEnable, logging);
    if (logging) dialog_.SetText(kFileBox, settings.LogFile);
    EnableFile(logging);
    dialog_.SetLimit(kFileBox, kPathLimit);
}

void LoggingPage::EnableFile(bool enabled) {
    const std::array ids{kFileLabel, kFileBox, kBrowse};
    dialog_.EnableAll(ids, enabled);
}

void LoggingPage::Browse() {
    // The log is made on the first request it records, so a new name is taken too.
    const std::optional<std::string> chosen = platform::ChooseFile({.mode = platform::FileDialogMode::Open,
                                                                    .title = "Select a log file",
                                                                    .filters = kLogFileFilters,
                                                                    .defaultExtension = "log",
                                                                    .fileMustExist = false});
    // The box's own change marks the page changed, as typing would.
    if (chosen) dialog_.UserTypes(kFileBox, platform::TheDriveTable().MapFromHost(*chosen));
}

void LoggingPage::OnNotify(int id, Notification notification) {
    if (id == kEnable && notification == Notification::Clicked) {
        EnableFile(dialog_.Checked(kEnable));
        MarkChanged();
    } else if (id == kFileBox && notification == Notification::TextChanged) {
        MarkChanged();
    } else if (id == kBrowse && notification == Notification::Clicked) {
        Browse();
    }
}

void LoggingPage::OnApply() {
    ServerSettings& settings = Settings();
    if (dialog_.Checked(kEnable)) {
        settings.LogOption = 1;
        settings.LogFile.Assign(TrimmedText(kFileBox, kBoxCapacity));
    } else {
        settings.LogOption = 0;
        settings.LogFile.Clear();
    }
    SaveLoggingSettings();
}
