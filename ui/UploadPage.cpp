#include "ui/UploadPage.h"

#include <array>

#include "config/RegistryStore.h"
#include "config/ServerSettings.h"
#include "ui/OptionsPageLayouts.h"

using namespace upload;
using platform::Notification;

namespace {

constexpr std::size_t kBoxCapacity = 256;  // the page reads up to 255 characters
constexpr std::size_t kPathLimit = 255;

}  // namespace

void UploadPage::OnInit() {
    const ServerSettings& settings = Settings();
    dialog_.CheckRadioButton(kOneDirectory, kAllShared, settings.UploadAccessType == 0 ? kOneDirectory : kAllShared);
    dialog_.SetChecked(kIncludeLink, settings.IncludeUploadLink != 0);
    dialog_.SetChecked(kEnable, settings.UploadOn != 0);
    EnableOptions();
    dialog_.SetLimit(kDirectoryBox, kPathLimit);
    dialog_.SetText(kDirectoryBox, settings.UploadDir);
}

void UploadPage::EnableOptions() {
    const bool on = dialog_.Checked(kEnable);
    const std::array options{kGroup, kOneDirectory, kAllShared, kIncludeLink};
    dialog_.EnableAll(options, on);
    const std::array directory{kDirectoryLabel, kDirectoryBox};
    dialog_.EnableAll(directory, on && dialog_.Checked(kOneDirectory));
}

void UploadPage::OnNotify(int id, Notification notification) {
    const bool clicked = notification == Notification::Clicked;
    if ((id == kEnable || id == kOneDirectory || id == kAllShared) && clicked) {
        EnableOptions();
        MarkChanged();
    } else if ((id == kIncludeLink && clicked) || (id == kDirectoryBox && notification == Notification::TextChanged)) {
        MarkChanged();
    }
}

void UploadPage::OnApply() {
    ServerSettings& settings = Settings();
    if (!dialog_.Checked(kEnable)) {
        settings.UploadOn = 0;
        settings.UploadAccessType = 1;
        settings.IncludeUploadLink = 1;
        settings.UploadDir.Clear();
    } else {
        settings.UploadOn = 1;
        if (dialog_.Checked(kOneDirectory)) {
            settings.UploadAccessType = 0;
            settings.UploadDir.Assign(TrimmedText(kDirectoryBox, kBoxCapacity));
        } else {
            settings.UploadAccessType = 1;
        }
        settings.IncludeUploadLink = dialog_.Checked(kIncludeLink) ? 1 : 0;
    }
    SaveUploadSettings();
}
