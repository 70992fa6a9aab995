#pragma once
// The General page: port, what the site's root shows, document root and CGI directory.
#include "ui/OptionsPage.h"

class GeneralPage : public OptionsPage {
public:
    using OptionsPage::OptionsPage;
    void OnInit() override;
    void OnNotify(int id, platform::Notification notification) override;
    void OnApply() override;

private:
    void EnableRootFile(bool enabled);
    void TakeRootFile(std::string_view path);
    void Browse();
};
