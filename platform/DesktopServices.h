#pragma once
// What the windows ask of the desktop besides themselves: file dialogs, opening a
// document in the desktop's own program for it (help pages in the browser, the
// read-me in the text editor), and the wait cursor. The desktop installs its handlers;
// headless, no file is ever chosen and no document opened.
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace platform {

struct FileFilter {
    std::string_view name;     // "Options File (*.opt)"
    std::string_view pattern;  // "*.opt", or several: "*.htm; *.html"
};

enum class FileDialogMode { Open, Save };

struct FileDialogRequest {
    FileDialogMode mode = FileDialogMode::Open;
    std::string_view title;
    std::span<const FileFilter> filters;  // the first is selected
    std::string_view defaultExtension;    // without the dot; empty for none
    // Open: false takes a name that does not exist yet. Its folder must exist either way.
    bool fileMustExist = true;
};

struct DesktopServices {
    // The chosen host path, or nothing when the user cancelled.
    std::optional<std::string> (*chooseFile)(const FileDialogRequest& request) = nullptr;
    // False when no program could be asked to open it.
    bool (*openDocument)(std::string_view hostPath) = nullptr;
    void (*showWaitCursor)(bool shown) = nullptr;
};

// Replaces the handlers; returns those it replaces. Missing handlers do nothing.
DesktopServices SetDesktopServices(const DesktopServices& services);

// A file name chosen without an extension gets the request's default extension.
std::optional<std::string> ChooseFile(const FileDialogRequest& request);
bool OpenDocument(std::string_view hostPath);

// The wait cursor while it lives (a long, blocking call such as a host name lookup).
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace platform
