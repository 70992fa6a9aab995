#include "ui/GeneralPage.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "config/RegistryStore.h"
#include "config/ServerSettings.h"
#include "core/TextHelpers.h"
#include "platform/DesktopServices.h"
#include "platform/DriveTable.h"
#include "ui/OptionsPageLayouts.h"

using namespace general;
using platform::Notification;

namespace {

constexpr std::size_t kBoxCapacity = 255;  // the page reads at most 254 characters
constexpr std::size_t kPortLimit = 9;
constexpr std::size_t kPathLimit = 255;
constexpr int kRootFileListExtent = 300;

constexpr std::array<platform::FileFilter, 3> kRootFileFilters{{
    {"HTML File (*.htm, *.html)", "*.htm; *.html"},
    {"Text (*.txt)", "*.txt"},
    {"All Files (*.*)", "*.*"},
}};

}  // namespace

void GeneralPage::OnInit() {
    const ServerSettings& settings = Settings();
    for (const std::string& rootFile : ReadRootFileHistory()) dialog_.AddItem(kRootFileBox, rootFile);
    dialog_.SetHorizontalExtent(kRootFileBox, kRootFileListExtent);
    dialog_.SetLimit(kRootFileBox, kPathLimit);
    dialog_.SetText(kRootFileBox, settings.RootFile);
    const int checked = settings.RootOption == kRootFile    ? kRootFileChoice
                        : settings.RootOption == kRootError ? kRootErrorChoice
                                                            : kDriveIndex;
    dialog_.CheckRadioButton(kDriveIndex, kRootErrorChoice, checked);
    EnableRootFile(settings.RootOption == kRootFile);
    dialog_.SetLimit(kPortBox, kPortLimit);
    dialog_.SetText(kPortBox, std::to_string(settings.Port));
    dialog_.SetLimit(kRootDirBox, kPathLimit);
    dialog_.SetLimit(kCgiDirBox, kPathLimit);
    dialog_.SetText(kRootDirBox, settings.RootDir);
    dialog_.SetText(kCgiDirBox, settings.CgiDir);
}

void GeneralPage::EnableRootFile(bool enabled) {
    const std::array ids{kRootFileBox, kFileLabel, kBrowse};
    dialog_.EnableAll(ids, enabled);
}

void GeneralPage::TakeRootFile(std::string_view path) {
    dialog_.SetText(kRootFileBox, path);
    const std::string_view directory = RootDirectoryOf(path);
    if (path.find('\\') != std::string_view::npos) dialog_.SetText(kRootDirBox, directory);
    MarkChanged();
}

void GeneralPage::Browse() {
    const std::optional<std::string> chosen =
        platform::ChooseFile({platform::FileDialogMode::Open, "Select a file", kRootFileFilters, ""});
    if (chosen) TakeRootFile(platform::TheDriveTable().MapFromHost(*chosen));
}

void GeneralPage::OnNotify(int id, Notification notification) {
    switch (id) {
        case kDriveIndex:
        case kRootErrorChoice:
        case kRootFileChoice:
            if (notification != Notification::Clicked) return;
            EnableRootFile(id == kRootFileChoice);
            MarkChanged();
            return;
        case kRootFileBox:
            if (notification == Notification::SelectionChanged) {
                TakeRootFile(dialog_.Item(kRootFileBox, dialog_.Selection(kRootFileBox)));
            } else if (notification == Notification::TextChanged) {
                MarkChanged();
            }
            return;
        case kBrowse:
            if (notification == Notification::Clicked) Browse();
            return;
        case kPortBox:
        case kRootDirBox:
        case kCgiDirBox:
            if (notification == Notification::TextChanged) MarkChanged();
            return;
        default:
            return;
    }
}

void GeneralPage::OnApply() {
    ServerSettings& settings = Settings();
    const int port = ParseDecimal(dialog_.Text(kPortBox, kBoxCapacity));
    if (port != settings.Port) {
        settings.Port = port;
        context_.control.RestartIfRunning();
    }
    if (dialog_.Checked(kDriveIndex)) {
        settings.RootOption = kRootDriveIndex;
        settings.RootFile.Clear();
    } else if (dialog_.Checked(kRootFileChoice)) {
        settings.RootOption = kRootFile;
        settings.RootFile.Assign(TrimmedText(kRootFileBox, kBoxCapacity));
    } else {
        settings.RootOption = kRootError;
    }
    settings.RootDir.Assign(TrimmedText(kRootDirBox, kBoxCapacity));
    settings.CgiDir.Assign(TrimmedText(kCgiDirBox, kBoxCapacity));
    SaveGlobalSettings();
}
