#include "ui/DirectoriesPage.h"

#include <array>

#include "config/RegistryStore.h"
#include "config/ServerSettings.h"
#include "ui/OptionsPageLayouts.h"

using namespace directories;
using platform::Notification;

namespace {

constexpr std::size_t kBoxCapacity = 255;
constexpr std::size_t kPathLimit = 255;
constexpr std::array<int, 4> kChoices{kListing, kIndexElseListing, kIndexElseError, kError};

}  // namespace

void DirectoriesPage::OnInit() {
    const ServerSettings& settings = Settings();
    const bool known = settings.DirOption >= kDirListing && settings.DirOption <= kDirError;
    const int choice = kChoices[known ? static_cast<std::size_t>(settings.DirOption) : 0];
    dialog_.CheckRadioButton(kListing, kError, choice);
    if (choice == kIndexElseListing || choice == kIndexElseError) dialog_.SetText(kFileBox, settings.DirFile);
    EnableFor(choice);
    dialog_.SetLimit(kFileBox, kPathLimit);
    dialog_.CheckRadioButton(kTableStyle, kPreStyle, settings.UseTable != 0 ? kTableStyle : kPreStyle);
}

void DirectoriesPage::EnableFor(int choice) {
    const std::array fileControls{kFileBox, kFileLabel};
    const std::array styleControls{kStyleGroup, kTableStyle, kPreStyle};
    dialog_.EnableAll(fileControls, choice == kIndexElseListing || choice == kIndexElseError);
    dialog_.EnableAll(styleControls, choice == kListing || choice == kIndexElseListing);
}

void DirectoriesPage::OnNotify(int id, Notification notification) {
    switch (id) {
        case kListing:
        case kIndexElseListing:
        case kIndexElseError:
        case kError:
            if (notification != Notification::Clicked) return;
            EnableFor(id);
            MarkChanged();
            return;
        case kTableStyle:
        case kPreStyle:
            if (notification == Notification::Clicked) MarkChanged();
            return;
        case kFileBox:
            if (notification == Notification::TextChanged) MarkChanged();
            return;
        default:
            return;
    }
}

void DirectoriesPage::OnApply() {
    ServerSettings& settings = Settings();
    if (dialog_.Checked(kIndexElseListing) || dialog_.Checked(kIndexElseError)) {
        settings.DirOption = dialog_.Checked(kIndexElseListing) ? kDirIndexElseListing : kDirIndexElseError;
        settings.DirFile.Assign(TrimmedText(kFileBox, kBoxCapacity));
    } else {
        settings.DirOption = dialog_.Checked(kListing) ? kDirListing : kDirError;
        settings.DirFile.Clear();
    }
    settings.UseTable = dialog_.Checked(kTableStyle) ? 1 : 0;
    SaveIndexSettings();
}
