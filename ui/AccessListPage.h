#pragma once
// The Network and Sharing pages: a mode of three buttons, and a list of at most eight
// entries edited through a text box, Add and Remove. The list box is the working copy;
// the record changes on Apply only.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "config/ServerSettings.h"
#include "ui/OptionsPage.h"

struct AccessListControls {
    int all = 0;
    int selective = 0;
    int restrictive = 0;
    int entryBox = 0;
    int add = 0;
    int list = 0;
    int remove = 0;
    std::span<const int> followers;  // further controls that follow the list's state
    std::size_t entryLimit = 0;      // characters the text box takes
};

class AccessListPage : public OptionsPage {
public:
    AccessListPage(platform::Dialog& dialog, OptionsContext& context, int index, const AccessListControls& controls)
        : OptionsPage(dialog, context, index), controls_(controls) {}
    void OnNotify(int id, platform::Notification notification) override;

protected:
    void Load(std::int32_t mode, std::span<const std::string_view> entries);
    [[nodiscard]] std::int32_t CheckedMode() const;
    [[nodiscard]] std::vector<std::string> Entries() const;

    // Between the record's fixed lists and the page's entries.
    template <typename List>
    static std::vector<std::string_view> ListEntries(const List& list) {
        return {list.begin(), list.end()};
    }
    template <typename List>
    void StoreEntries(List& list) const {
        const std::vector<std::string> entries = CheckedMode() == kAccessAll ? std::vector<std::string>() : Entries();
        for (std::size_t i = 0; i < list.size(); ++i) {
            list[i].Assign(i < entries.size() ? std::string_view(entries[i]) : std::string_view());
        }
    }

    // The entry as it goes into the list, or nothing after the page's message.
    virtual std::optional<std::string> CheckEntry(const std::string& text) = 0;
    [[nodiscard]] virtual std::string_view LimitMessage() const = 0;
    // How much of the box's text an entry is made of.
    [[nodiscard]] virtual std::size_t EntryCapacity() const = 0;

private:
    void EnableList(bool enabled);
    void Add();
    void Remove();

    const AccessListControls& controls_;
};
