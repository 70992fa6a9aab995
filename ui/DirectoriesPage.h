#pragma once
// The Directories page: listing or index file, and the listing's style.
#include "ui/OptionsPage.h"

class DirectoriesPage : public OptionsPage {
public:
    using OptionsPage::OptionsPage;
    void OnInit() override;
    void OnNotify(int id, platform::Notification notification) override;
    void OnApply() override;

private:
    // The file box is live for the index-file choices, the style for those that can
    // end in a generated listing.
    void EnableFor(int choice);
};
