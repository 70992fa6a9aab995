#pragma once
// The Upload page: the built-in upload on or off, where it may write, and the link.
#include "ui/OptionsPage.h"

class UploadPage : public OptionsPage {
public:
    using OptionsPage::OptionsPage;
    void OnInit() override;
    void OnNotify(int id, platform::Notification notification) override;
    void OnApply() override;

private:
    // The options follow the check box; the directory box, the one-directory choice.
    void EnableOptions();
};
