#include "platform/PropertySheet.h"

#include <utility>

namespace platform {
namespace {

SheetViewFactory currentViewFactory = nullptr;

}  // namespace

SheetViewFactory SetSheetViewFactory(SheetViewFactory factory) {
    return std::exchange(currentViewFactory, factory);
}

void PropertySheet::Reset() {
    if (open_) return;
    pages_.clear();
}

int PropertySheet::AddPage(const DialogTemplate& layout, std::string_view title, PageFactory factory) {
    if (pages_.size() >= kMaxSheetPages) return -1;
    PageSlot page;
    page.layout = &layout;
    page.title = title;
    page.factory = std::move(factory);
    pages_.push_back(std::move(page));
    return static_cast<int>(pages_.size()) - 1;
}

int PropertySheet::Show(std::string_view caption, int startPage) {
    if (pages_.empty()) return 0;
    caption_ = caption;
    open_ = true;
    applyEnabled_ = false;
    defaultButton_ = kOkButtonId;
    active_ = startPage >= 0 && startPage < PageCount() ? startPage : 0;
    if (currentViewFactory != nullptr) view_ = currentViewFactory(*this);
    Activate(active_);
    return 1;
}

std::string_view PropertySheet::PageTitle(int index) const {
    return pages_.at(static_cast<std::size_t>(index)).title;
}

const DialogTemplate& PropertySheet::PageLayout(int index) const {
    return *pages_.at(static_cast<std::size_t>(index)).layout;
}

Dialog* PropertySheet::Page(int index) {
    if (index < 0 || index >= PageCount()) return nullptr;
    return pages_[static_cast<std::size_t>(index)].dialog.get();
}

void PropertySheet::Create(PageSlot& page, int index) {
    page.dialog = std::make_unique<Dialog>(*page.layout);
    page.events = page.factory(*page.dialog);
    page.dialog->SetEvents(page.events.get());
    if (view_) view_->PageCreated(index, *page.dialog);
    page.events->OnInit();
}

void PropertySheet::MarkChanged() {
    if (!open_ || applyEnabled_) return;
    applyEnabled_ = true;
    if (view_) view_->Refresh();
}

void PropertySheet::SetDefaultButton(int id) {
    defaultButton_ = id;
}

void PropertySheet::Activate(int index) {
    if (!open_ || index < 0 || index >= PageCount()) return;
    active_ = index;
    PageSlot& page = pages_[static_cast<std::size_t>(index)];
    if (!page.dialog) Create(page, index);
    page.events->OnSetActive();
    if (view_) view_->Refresh();
}

void PropertySheet::ApplyAll() {
    for (PageSlot& page : pages_) {
        if (page.events) page.events->OnApply();
    }
    applyEnabled_ = false;
}

void PropertySheet::PressApply() {
    if (!open_ || !applyEnabled_) return;
    ApplyAll();
    if (view_) view_->Refresh();
}

void PropertySheet::PressOk() {
    if (!open_) return;
    ApplyAll();
    Close();
}

void PropertySheet::PressCancel() {
    if (open_) Close();
}

void PropertySheet::PressEnter() {
    if (!open_) return;
    if (defaultButton_ == kOkButtonId) {
        PressOk();
        return;
    }
    if (Dialog* page = Page(active_)) page->UserClicks(defaultButton_);
}

void PropertySheet::PressHelp() {
    PageSlot& page = pages_[static_cast<std::size_t>(active_)];
    if (open_ && page.events) page.events->OnHelp();
}

void PropertySheet::BringForward() {
    if (open_ && view_) view_->BringForward();
}

void PropertySheet::Close() {
    open_ = false;
    // The view goes first: its widgets point into the pages.
    view_.reset();
    for (PageSlot& page : pages_) {
        page.events.reset();
        page.dialog.reset();
    }
}

}  // namespace platform
