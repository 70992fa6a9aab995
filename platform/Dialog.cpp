#include "platform/Dialog.h"

#include <algorithm>
#include <cctype>

#include "platform/TextCase.h"

namespace platform {
namespace {

bool IsList(ControlKind kind) {
    return kind == ControlKind::ListBox || kind == ControlKind::ComboBox;
}

}  // namespace

Dialog::Dialog(const DialogTemplate& layout) : layout_(layout) {
    controls_.reserve(layout.controls.size());
    for (const ControlTemplate& control : layout.controls) {
        Control state;
        state.layout = &control;
        if (control.kind != ControlKind::TextBox && control.kind != ControlKind::ComboBox &&
            control.kind != ControlKind::ListBox) {
            state.text = control.text;
        }
        controls_.push_back(std::move(state));
    }
}

Dialog::Control* Dialog::Find(int id) {
    for (Control& control : controls_) {
        if (control.layout->id == id) return &control;
    }
    return nullptr;
}

const Dialog::Control* Dialog::Find(int id) const {
    return const_cast<Dialog*>(this)->Find(id);
}

void Dialog::Changed(int id) {
    if (view_ != nullptr) view_->Refresh(id);
}

void Dialog::Notify(int id, Notification notification) {
    if (events_ != nullptr) events_->OnNotify(id, notification);
}

std::string_view Dialog::Text(int id) const {
    const Control* control = Find(id);
    return control != nullptr ? std::string_view(control->text) : std::string_view();
}

std::string Dialog::Text(int id, std::size_t capacity) const {
    const std::string_view text = Text(id);
    return std::string(text.substr(0, capacity > 0 ? capacity - 1 : 0));
}

void Dialog::SetText(int id, std::string_view text) {
    Control* control = Find(id);
    if (control == nullptr || control->text == text) return;
    control->text = text;
    Changed(id);
}

void Dialog::SetLimit(int id, std::size_t characters) {
    if (Control* control = Find(id)) control->limit = characters;
}

std::size_t Dialog::Limit(int id) const {
    const Control* control = Find(id);
    return control != nullptr ? control->limit : 0;
}

bool Dialog::Checked(int id) const {
    const Control* control = Find(id);
    return control != nullptr && control->checked;
}

void Dialog::SetChecked(int id, bool checked) {
    Control* control = Find(id);
    if (control == nullptr || control->checked == checked) return;
    control->checked = checked;
    Changed(id);
}

void Dialog::CheckRadioButton(int first, int last, int id) {
    for (Control& control : controls_) {
        const int controlId = control.layout->id;
        if (control.layout->kind == ControlKind::RadioButton && controlId >= first && controlId <= last) {
            SetChecked(controlId, controlId == id);
        }
    }
}

bool Dialog::Enabled(int id) const {
    const Control* control = Find(id);
    return control != nullptr && control->enabled;
}

void Dialog::Enable(int id, bool enabled) {
    Control* control = Find(id);
    if (control == nullptr || control->enabled == enabled) return;
    control->enabled = enabled;
    Changed(id);
}

void Dialog::EnableAll(std::span<const int> ids, bool enabled) {
    for (const int id : ids) Enable(id, enabled);
}

int Dialog::AddItem(int id, std::string_view text) {
    Control* control = Find(id);
    if (control == nullptr || !IsList(control->layout->kind)) return -1;
    auto& items = control->items;
    auto place = items.end();
    if (control->layout->sorted) {
        place = std::upper_bound(items.begin(), items.end(), text,
                                 [](std::string_view a, const std::string& b) { return LessIgnoringCase(a, b); });
    }
    const auto index = static_cast<int>(place - items.begin());
    items.insert(place, std::string(text));
    if (control->selection >= index) ++control->selection;
    Changed(id);
    return index;
}

void Dialog::DeleteItem(int id, int index) {
    Control* control = Find(id);
    if (control == nullptr || index < 0 || index >= static_cast<int>(control->items.size())) return;
    control->items.erase(control->items.begin() + index);
    if (control->selection == index) {
        control->selection = -1;
    } else if (control->selection > index) {
        --control->selection;
    }
    Changed(id);
}

int Dialog::ItemCount(int id) const {
    const Control* control = Find(id);
    return control != nullptr ? static_cast<int>(control->items.size()) : 0;
}

std::string_view Dialog::Item(int id, int index) const {
    const Control* control = Find(id);
    if (control == nullptr || index < 0 || index >= static_cast<int>(control->items.size())) return {};
    return control->items[static_cast<std::size_t>(index)];
}

int Dialog::FindItemExact(int id, std::string_view text) const {
    const Control* control = Find(id);
    if (control == nullptr) return -1;
    for (std::size_t i = 0; i < control->items.size(); ++i) {
        if (EqualIgnoringCase(control->items[i], text)) return static_cast<int>(i);
    }
    return -1;
}

int Dialog::Selection(int id) const {
    const Control* control = Find(id);
    return control != nullptr ? control->selection : -1;
}

void Dialog::SetSelection(int id, int index) {
    Control* control = Find(id);
    if (control == nullptr) return;
    if (index < 0 || index >= static_cast<int>(control->items.size())) index = -1;
    if (control->selection == index) return;
    control->selection = index;
    Changed(id);
}

void Dialog::SetHorizontalExtent(int id, int pixels) {
    if (Control* control = Find(id)) control->horizontalExtent = pixels;
}

int Dialog::HorizontalExtent(int id) const {
    const Control* control = Find(id);
    return control != nullptr ? control->horizontalExtent : 0;
}

std::string Dialog::Typed(const Control& control, std::string_view text) const {
    std::string typed;
    for (const char c : text) {
        if (control.layout->digitsOnly && !std::isdigit(static_cast<unsigned char>(c))) continue;
        if (control.limit != 0 && typed.size() >= control.limit) break;
        typed += c;
    }
    return typed;
}

void Dialog::UserTypes(int id, std::string_view text) {
    Control* control = Find(id);
    if (control == nullptr || !control->enabled) return;
    const std::string typed = Typed(*control, text);
    const bool changed = typed != control->text;
    control->text = typed;
    Changed(id);  // the view may hold characters the model refused
    if (changed) Notify(id, Notification::TextChanged);
}

void Dialog::UserClicks(int id) {
    Control* control = Find(id);
    if (control == nullptr || !control->enabled) return;
    const ControlTemplate& layout = *control->layout;
    if (layout.kind == ControlKind::CheckBox) {
        SetChecked(id, !control->checked);
    } else if (layout.kind == ControlKind::RadioButton) {
        for (const Control& other : controls_) {
            const ControlTemplate& otherLayout = *other.layout;
            if (otherLayout.kind == ControlKind::RadioButton && otherLayout.group == layout.group) {
                SetChecked(otherLayout.id, otherLayout.id == id);
            }
        }
        Changed(id);  // a second click may have cleared the view's button; the model keeps it checked
    }
    Notify(id, Notification::Clicked);
}

void Dialog::UserSelects(int id, int index) {
    Control* control = Find(id);
    if (control == nullptr || !control->enabled) return;
    SetSelection(id, index);
    Notify(id, Notification::SelectionChanged);
}

void Dialog::UserLeaves(int id) {
    if (Find(id) != nullptr) Notify(id, Notification::FocusLost);
}

}  // namespace platform
