#pragma once
// The Options sheet: six pages over the settings record, modeless, opening on the
// page that was active last.
#include <string>

#include "platform/PropertySheet.h"
#include "ui/OptionsPage.h"

class OptionsSheet {
public:
    OptionsSheet(ServerControl& control, platform::Window& window, std::string programDirectory);

    // Opens the sheet, or brings the open one forward.
    void Open();
    [[nodiscard]] platform::PropertySheet& Sheet() { return sheet_; }
    [[nodiscard]] int LastPage() const { return context_.lastPage; }

private:
    platform::PropertySheet sheet_;
    OptionsContext context_;
};
