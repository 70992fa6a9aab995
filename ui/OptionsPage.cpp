#include "ui/OptionsPage.h"

#include "ui/Help.h"

void OptionsPage::OnHelp() {
    OpenHelpPage(context_.programDirectory, dialog_.Layout().id);
}

std::string OptionsPage::TrimmedText(int id, std::size_t capacity) const {
    std::string text = dialog_.Text(id, capacity);
    TrimBlanks(text);
    return text;
}

void TrimBlanks(std::string& text) {
    const std::size_t last = text.find_last_not_of(' ');
    text.erase(last == std::string::npos ? 0 : last + 1);
    text.erase(0, text.find_first_not_of(' ') == std::string::npos ? text.size() : text.find_first_not_of(' '));
}
