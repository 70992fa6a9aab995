#include "platform/MessageBox.h"

#include <cstdio>
#include <string>

namespace platform {
namespace {

// Line ends inside a text are CR LF, as the texts are written; a terminal wants LF.
void PrintToStandardError(std::string_view caption, std::string_view text, MessageIcon) {
    std::string line(caption);
    line += ": ";
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        line += text[i];
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

MessageBoxHandler currentHandler = &PrintToStandardError;

}  // namespace

void ShowMessageBox(std::string_view caption, std::string_view text, MessageIcon icon) {
    currentHandler(caption, text, icon);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    MessageBoxHandler previous = currentHandler;
    currentHandler = handler != nullptr ? handler : &PrintToStandardError;
    return previous;
}

}  // namespace platform
