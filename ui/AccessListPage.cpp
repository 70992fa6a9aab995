#include "ui/AccessListPage.h"

#include "platform/MessageBox.h"

using platform::Notification;

void AccessListPage::Load(std::int32_t mode, std::span<const std::string_view> entries) {
    const int checked = mode == kAccessSelective     ? controls_.selective
                        : mode == kAccessRestrictive ? controls_.restrictive
                                                     : controls_.all;
    dialog_.CheckRadioButton(controls_.all, controls_.restrictive, checked);
    const bool listed = checked != controls_.all;
    if (listed) {
        for (const std::string_view entry : entries) {
            if (entry.empty()) break;
            dialog_.AddItem(controls_.list, entry);
        }
    }
    EnableList(listed);
    dialog_.Enable(controls_.add, false);
    dialog_.Enable(controls_.remove, false);
    dialog_.SetLimit(controls_.entryBox, controls_.entryLimit);
}

std::int32_t AccessListPage::CheckedMode() const {
    if (dialog_.Checked(controls_.selective)) return kAccessSelective;
    return dialog_.Checked(controls_.restrictive) ? kAccessRestrictive : kAccessAll;
}

std::vector<std::string> AccessListPage::Entries() const {
    std::vector<std::string> entries;
    const int count = dialog_.ItemCount(controls_.list);
    entries.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) entries.emplace_back(dialog_.Item(controls_.list, i));
    return entries;
}

void AccessListPage::EnableList(bool enabled) {
    dialog_.Enable(controls_.entryBox, enabled);
    dialog_.Enable(controls_.list, enabled);
    dialog_.EnableAll(controls_.followers, enabled);
}

void AccessListPage::OnNotify(int id, Notification notification) {
    if (id == controls_.all && notification == Notification::Clicked) {
        EnableList(false);
        dialog_.Enable(controls_.add, false);
        dialog_.Enable(controls_.remove, false);
        MarkChanged();
    } else if ((id == controls_.selective || id == controls_.restrictive) && notification == Notification::Clicked) {
        EnableList(true);
        MarkChanged();
    } else if (id == controls_.entryBox && notification == Notification::TextChanged) {
        dialog_.Enable(controls_.add, true);
        context_.sheet.SetDefaultButton(controls_.add);  // Enter adds while typing
    } else if (id == controls_.entryBox && notification == Notification::FocusLost) {
        context_.sheet.SetDefaultButton(platform::kOkButtonId);
    } else if (id == controls_.list) {
        if (dialog_.Selection(controls_.list) >= 0) dialog_.Enable(controls_.remove, true);
    } else if (id == controls_.add && notification == Notification::Clicked) {
        Add();
    } else if (id == controls_.remove && notification == Notification::Clicked) {
        Remove();
    }
}

void AccessListPage::Add() {
    if (dialog_.ItemCount(controls_.list) >= kListEntries) {
        platform::ShowMessageBox("Error", LimitMessage(), platform::MessageIcon::None);
        return;
    }
    const std::string text = dialog_.Text(controls_.entryBox, EntryCapacity());
    if (text.empty()) return;
    const std::optional<std::string> entry = CheckEntry(text);
    if (!entry) return;
    if (dialog_.FindItemExact(controls_.list, *entry) < 0) {
        dialog_.AddItem(controls_.list, *entry);
        MarkChanged();
    }
    dialog_.SetText(controls_.entryBox, "");
}

void AccessListPage::Remove() {
    const int selected = dialog_.Selection(controls_.list);
    if (selected < 0) return;
    dialog_.DeleteItem(controls_.list, selected);
    MarkChanged();
}
