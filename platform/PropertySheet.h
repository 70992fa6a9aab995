#pragma once
// The model of a modeless property sheet: pages in tab order, each built the first
// time it is shown, OK / Cancel / Apply, and the default button that Enter presses.
// The desktop shows it through a SheetView; tests press its buttons directly.
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Dialog.h"

namespace platform {

inline constexpr int kMaxSheetPages = 10;
inline constexpr int kOkButtonId = 1;

// A page's own logic, beside the notifications of its controls.
class PageEvents : public DialogEvents {
public:
    virtual void OnInit() = 0;       // the page is first shown: load it
    virtual void OnSetActive() = 0;  // the page became the active one
    virtual void OnApply() = 0;      // OK or Apply: store and save
    virtual void OnHelp() = 0;       // F1 on the page
};

class PropertySheet;

// The desktop's window for an open sheet.
class SheetView {
public:
    virtual ~SheetView() = default;
    virtual void PageCreated(int index, Dialog& page) = 0;
    virtual void Refresh() = 0;  // active page, Apply button
    virtual void BringForward() = 0;
};
using SheetViewFactory = std::unique_ptr<SheetView> (*)(PropertySheet& sheet);
// Headless there is no factory and the sheet lives as a model only.
SheetViewFactory SetSheetViewFactory(SheetViewFactory factory);

class PropertySheet {
public:
    using PageFactory = std::function<std::unique_ptr<PageEvents>(Dialog& page)>;

    // Forgets the pages of the last sheet; only while it is closed.
    void Reset();
    // Appends a page; its index, or -1 when the sheet holds kMaxSheetPages already.
    int AddPage(const DialogTemplate& layout, std::string_view title, PageFactory factory);
    // Opens the sheet on `startPage`: 0 when no page was added, else 1.
    int Show(std::string_view caption, int startPage);

    [[nodiscard]] bool IsOpen() const { return open_; }
    [[nodiscard]] std::string_view Caption() const { return caption_; }
    [[nodiscard]] int PageCount() const { return static_cast<int>(pages_.size()); }
    [[nodiscard]] std::string_view PageTitle(int index) const;
    [[nodiscard]] const DialogTemplate& PageLayout(int index) const;
    [[nodiscard]] int ActivePage() const { return active_; }
    // The page's controls, or nullptr when it has not been shown yet.
    [[nodiscard]] Dialog* Page(int index);
    [[nodiscard]] bool ApplyEnabled() const { return applyEnabled_; }
    [[nodiscard]] int DefaultButton() const { return defaultButton_; }

    // What the pages ask of their sheet.
    void MarkChanged();
    void SetDefaultButton(int id);

    // What the user does.
    void Activate(int index);
    void PressApply();
    void PressOk();
    void PressCancel();
    // Enter: presses the default button, OK or a button of the active page.
    void PressEnter();
    void PressHelp();
    void BringForward();

private:
    struct PageSlot {
        const DialogTemplate* layout = nullptr;
        std::string title;
        PageFactory factory;
        std::unique_ptr<Dialog> dialog;
        std::unique_ptr<PageEvents> events;
    };

    void Create(PageSlot& page, int index);
    void ApplyAll();
    void Close();

    std::vector<PageSlot> pages_;
    std::string caption_;
    bool open_ = false;
    int active_ = 0;
    bool applyEnabled_ = false;
    int defaultButton_ = kOkButtonId;
    std::unique_ptr<SheetView> view_;
};

}  // namespace platform
