#pragma once
// The Sharing page: which directories are served. Entries are existing directories.
#include "ui/AccessListPage.h"

class SharingPage : public AccessListPage {
public:
    SharingPage(platform::Dialog& dialog, OptionsContext& context, int index);
    void OnInit() override;
    void OnApply() override;

protected:
    std::optional<std::string> CheckEntry(const std::string& text) override;
    [[nodiscard]] std::string_view LimitMessage() const override;
    [[nodiscard]] std::size_t EntryCapacity() const override;
};
