#pragma once
// The Network page: who may connect. Entries are addresses and partial addresses; a
// host name is looked up when it is added and its address stored instead.
#include "ui/AccessListPage.h"

class NetworkPage : public AccessListPage {
public:
    NetworkPage(platform::Dialog& dialog, OptionsContext& context, int index);
    void OnInit() override;
    void OnApply() override;

protected:
    std::optional<std::string> CheckEntry(const std::string& text) override;
    [[nodiscard]] std::string_view LimitMessage() const override;
    [[nodiscard]] std::size_t EntryCapacity() const override;
};
