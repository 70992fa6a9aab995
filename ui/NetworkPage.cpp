#include "ui/NetworkPage.h"

#include <array>

#include "config/RegistryStore.h"
#include "platform/DesktopServices.h"
#include "platform/HostInfo.h"
#include "platform/MessageBox.h"
#include "ui/AccessStatusText.h"
#include "ui/DottedAddress.h"
#include "ui/OptionsPageLayouts.h"

using namespace network;

namespace {

constexpr std::size_t kEntryBoxLimit = 127;
constexpr std::array<int, 2> kFollowers{kListLabel, kHint};
const AccessListControls kControls{kAll,  kSelective, kRestrictive, kEntryBox,     kAdd,
                                   kList, kRemove,    kFollowers,   kEntryBoxLimit};

}  // namespace

NetworkPage::NetworkPage(platform::Dialog& dialog, OptionsContext& context, int index)
    : AccessListPage(dialog, context, index, kControls) {}

void NetworkPage::OnInit() {
    const ServerSettings& settings = Settings();
    Load(settings.IpOption, ListEntries(settings.IpList));
}

std::string_view NetworkPage::LimitMessage() const {
    return "You can only define at most 8 IP addresses.";
}

// The whole text: a host name cut short would be looked up as another host.
std::size_t NetworkPage::EntryCapacity() const {
    return kEntryBoxLimit + 1;
}

std::optional<std::string> NetworkPage::CheckEntry(const std::string& text) {
    std::string entry = text;
    if (!IsDottedAddress(entry)) {
        const platform::WaitCursor waiting;
        if (std::optional<std::string> address = platform::LookUpHostAddress(entry)) entry = std::move(*address);
    }
    // An address that does not fit an entry whole would be stored as another one.
    if (!IsDottedAddress(entry) || entry.size() >= kIpEntryCapacity) {
        platform::ShowMessageBox(
            "Error", "Incorrect IP address.\r\nPlease use the format 123.123.123.123\r\nor enter a valid host name.",
            platform::MessageIcon::None);
        return std::nullopt;
    }
    if (entry.ends_with('.')) entry.pop_back();
    return entry;
}

void NetworkPage::OnApply() {
    ServerSettings& settings = Settings();
    settings.IpOption = CheckedMode();
    StoreEntries(settings.IpList);
    UpdateAccessStatusText(context_.window);
    SaveIpAccessSettings();
}
