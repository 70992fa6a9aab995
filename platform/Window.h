#pragma once
// The main window as the logic sees it: a title, a status bar of two parts, a picture,
// a menu bar and a context menu whose commands come back as command messages.
#include <cstdint>
#include <map>
#include <span>
#include <string_view>

namespace platform {

struct MenuItem {
    std::string_view text;  // '&' marks the mnemonic, '\t' starts the shortcut
    std::uint64_t id = 0;   // 0 for a separator
};

struct Menu {
    std::string_view title;
    std::span<const MenuItem> items;
};

struct WindowContents {
    std::string_view picturePath;  // host path of the 300 x 200 picture
    int pictureWidth = 0;
    int pictureHeight = 0;
    std::string_view iconPath;    // host path of the window's icon
    std::string_view statusText;  // the status bar's first text
    std::span<const Menu> menuBar;
    std::span<const MenuItem> contextMenu;  // its commands arrive as system commands
    std::uint64_t closeCommand = 0;         // the command the close box gives
};

class Window {
public:
    virtual ~Window() = default;
    virtual void SetTitle(std::string_view title) = 0;
    virtual bool HasStatusBar() const = 0;
    virtual void SetStatusText(int part, std::string_view text) = 0;
    // Builds the picture, the status bar and the menus; the status bar's first part
    // ends at three fifths of the window's width.
    virtual void CreateContents(const WindowContents& contents) = 0;
    virtual void EnableMenuItem(std::uint64_t id, bool enabled) = 0;
    [[nodiscard]] virtual bool MenuItemEnabled(std::uint64_t id) const = 0;
    // A modal box with a picture and an OK button.
    virtual void ShowAbout(std::string_view title, std::string_view picturePath) = 0;
};

// Without a display: every title and status text is printed as a line on standard
// output; the menu exists as its enabled states only.
class HeadlessWindow : public Window {
public:
    void SetTitle(std::string_view title) override;
    bool HasStatusBar() const override { return true; }
    void SetStatusText(int part, std::string_view text) override;
    void CreateContents(const WindowContents&) override {}
    void EnableMenuItem(std::uint64_t id, bool enabled) override { menuEnabled_[id] = enabled; }
    [[nodiscard]] bool MenuItemEnabled(std::uint64_t id) const override;
    void ShowAbout(std::string_view, std::string_view) override {}

private:
    std::map<std::uint64_t, bool> menuEnabled_;
};

// True when neither DISPLAY nor WAYLAND_DISPLAY is set, or PELLORA_HEADLESS=1.
bool HeadlessModeRequested();

}  // namespace platform
