#pragma once
// The Logging page: the access log on or off, and its file.
#include "ui/OptionsPage.h"

class LoggingPage : public OptionsPage {
public:
    using OptionsPage::OptionsPage;
    void OnInit() override;
    void OnNotify(int id, platform::Notification notification) override;
    void OnApply() override;

private:
    void EnableFile(bool enabled);
    void Browse();
};
