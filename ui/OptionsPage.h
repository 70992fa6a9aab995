#pragma once
// What every page of the Options sheet shares: its controls, its sheet, the page
// index that becomes the sheet's last page, and the help page of its template.
#include <string>
#include <string_view>

#include "platform/Dialog.h"
#include "platform/PropertySheet.h"
#include "platform/Window.h"
#include "ui/ServerControl.h"

struct OptionsContext {
    ServerControl& control;
    platform::Window& window;
    platform::PropertySheet& sheet;
    std::string programDirectory;
    int lastPage = 0;  // the page the sheet opens on next time
};

class OptionsPage : public platform::PageEvents {
public:
    OptionsPage(platform::Dialog& dialog, OptionsContext& context, int index)
        : dialog_(dialog), context_(context), index_(index) {}

    void OnSetActive() override { context_.lastPage = index_; }
    void OnHelp() override;

protected:
    void MarkChanged() { context_.sheet.MarkChanged(); }
    // The text of a box as a buffer of `capacity` bytes takes it, blanks trimmed.
    [[nodiscard]] std::string TrimmedText(int id, std::size_t capacity) const;

    platform::Dialog& dialog_;
    OptionsContext& context_;

private:
    int index_;
};

// Removes trailing blanks, then leading ones; only the blank counts, not tabs.
void TrimBlanks(std::string& text);
