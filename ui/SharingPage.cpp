#include "ui/SharingPage.h"

#include "config/RegistryStore.h"
#include "platform/DriveTable.h"
#include "platform/FileHandle.h"
#include "platform/MessageBox.h"
#include "ui/OptionsPageLayouts.h"

using namespace sharing;

namespace {

constexpr std::size_t kEntryBoxLimit = 255;
constexpr std::size_t kEntryCapacity = 255;  // the page takes up to 254 characters
const AccessListControls kControls{kAll, kSelective, kRestrictive, kEntryBox, kAdd, kList, kRemove, {}, kEntryBoxLimit};

}  // namespace

SharingPage::SharingPage(platform::Dialog& dialog, OptionsContext& context, int index)
    : AccessListPage(dialog, context, index, kControls) {}

void SharingPage::OnInit() {
    const ServerSettings& settings = Settings();
    Load(settings.DirAccessOption, ListEntries(settings.DirList));
}

std::string_view SharingPage::LimitMessage() const {
    return "You can only define at most 8 directory pathes.";
}

std::size_t SharingPage::EntryCapacity() const {
    return kEntryCapacity;
}

std::optional<std::string> SharingPage::CheckEntry(const std::string& text) {
    // A host path below a drive is written in its drive form, the form requests have.
    std::string entry = platform::TheDriveTable().MapFromHost(text);
    if (platform::GetPathStatus(entry).kind != platform::PathKind::Directory) {
        platform::ShowMessageBox("Error", "This is not a valid directory path.", platform::MessageIcon::None);
        return std::nullopt;
    }
    if (entry.size() >= 2 && entry.ends_with('\\') && entry[entry.size() - 2] != ':') entry.pop_back();
    if (entry.ends_with(':')) entry += '\\';
    return entry;
}

void SharingPage::OnApply() {
    ServerSettings& settings = Settings();
    settings.DirAccessOption = CheckedMode();
    StoreEntries(settings.DirList);
    SaveDirAccessSettings();
}
