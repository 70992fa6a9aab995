#pragma once
// The dialog model: a window's controls addressed by their ids, with their text,
// checked, enabled and list state. The logic reads and sets that state and hears of
// what the user does through notifications; the desktop builds real widgets from the
// same model and keeps them in step with it. Changes made by the logic notify nobody,
// so loading a page never looks like an edit.
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class ControlKind { Label, TextBox, RadioButton, CheckBox, GroupBox, ComboBox, ListBox, Button, Picture };

enum class Notification { Clicked, TextChanged, FocusLost, SelectionChanged };

struct Bounds {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// One control of a dialog template. Radio buttons with the same `group` exclude each
// other; `digitsOnly` text boxes refuse other characters as they are typed; `sorted`
// lists keep their items in alphabetical order, letter case aside. A Picture's text is
// the host path of its image.
struct ControlTemplate {
    int id = 0;
    ControlKind kind = ControlKind::Label;
    std::string_view text;
    Bounds bounds;
    int group = 0;
    bool digitsOnly = false;
    bool sorted = false;
};

struct DialogTemplate {
    int id = 0;  // also the help context of the dialog
    std::string_view title;
    int width = 0;
    int height = 0;
    std::span<const ControlTemplate> controls;
};

// The page logic: told of what the user did to a control.
class DialogEvents {
public:
    virtual ~DialogEvents() = default;
    virtual void OnNotify(int id, Notification notification) = 0;
};

// The desktop's widgets: told when the state of a control changed.
class DialogView {
public:
    virtual ~DialogView() = default;
    virtual void Refresh(int id) = 0;
};

class Dialog {
public:
    explicit Dialog(const DialogTemplate& layout);

    [[nodiscard]] const DialogTemplate& Layout() const { return layout_; }
    void SetEvents(DialogEvents* events) { events_ = events; }
    void SetView(DialogView* view) { view_ = view; }

    // State, as the logic and the views read and set it. An unknown id reads as an
    // empty, unchecked, disabled control and ignores what is set.
    [[nodiscard]] std::string_view Text(int id) const;
    // At most `capacity - 1` bytes of the text, as a bounded buffer would take it.
    [[nodiscard]] std::string Text(int id, std::size_t capacity) const;
    void SetText(int id, std::string_view text);
    // The most characters the user can type (0: no limit).
    void SetLimit(int id, std::size_t characters);
    [[nodiscard]] std::size_t Limit(int id) const;
    [[nodiscard]] bool Checked(int id) const;
    void SetChecked(int id, bool checked);
    // Checks `id` and clears every other radio button whose id lies in first..last.
    void CheckRadioButton(int first, int last, int id);
    [[nodiscard]] bool Enabled(int id) const;
    void Enable(int id, bool enabled);
    void EnableAll(std::span<const int> ids, bool enabled);

    // Lists of list boxes and combo boxes. AddItem returns the new item's index.
    int AddItem(int id, std::string_view text);
    void DeleteItem(int id, int index);
    [[nodiscard]] int ItemCount(int id) const;
    [[nodiscard]] std::string_view Item(int id, int index) const;
    // The index of the item equal to `text` with letter case aside, or -1.
    [[nodiscard]] int FindItemExact(int id, std::string_view text) const;
    [[nodiscard]] int Selection(int id) const;  // -1 when nothing is selected
    void SetSelection(int id, int index);
    void SetHorizontalExtent(int id, int pixels);
    [[nodiscard]] int HorizontalExtent(int id) const;

    // What the user does (the desktop's widgets and tests). Disabled controls take
    // nothing. The state changes first, then the page logic is told.
    void UserTypes(int id, std::string_view text);  // the whole new text of the field
    void UserClicks(int id);
    void UserSelects(int id, int index);
    void UserLeaves(int id);

private:
    struct Control {
        const ControlTemplate* layout = nullptr;
        std::string text;
        bool checked = false;
        bool enabled = true;
        std::size_t limit = 0;
        std::vector<std::string> items;
        int selection = -1;
        int horizontalExtent = 0;
    };

    Control* Find(int id);
    [[nodiscard]] const Control* Find(int id) const;
    void Changed(int id);
    void Notify(int id, Notification notification);
    [[nodiscard]] std::string Typed(const Control& control, std::string_view text) const;

    const DialogTemplate& layout_;
    std::vector<Control> controls_;
    DialogEvents* events_ = nullptr;
    DialogView* view_ = nullptr;
};

}  // namespace platform
