#pragma once
// The main window as the logic sees it: a title and a status bar of two parts.
#include <string_view>

namespace platform {

class Window {
public:
    virtual ~Window() = default;
    virtual void SetTitle(std::string_view title) = 0;
    virtual bool HasStatusBar() const = 0;
    virtual void SetStatusText(int part, std::string_view text) = 0;
};

// Without a display: every title and status text is printed as a line on standard output.
class HeadlessWindow : public Window {
public:
    void SetTitle(std::string_view title) override;
    bool HasStatusBar() const override { return true; }
    void SetStatusText(int part, std::string_view text) override;
};

// True when neither DISPLAY nor WAYLAND_DISPLAY is set, or PELLORA_HEADLESS=1.
bool HeadlessModeRequested();

}  // namespace platform
