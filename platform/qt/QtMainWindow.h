#pragma once
// The main window on Qt: picture, two-part status bar, menu bar and context menu. Menu
// commands, F1 and the close box are posted to the message queue as messages.
#include <QLabel>
#include <QMainWindow>
#include <map>

#include "platform/MessageQueue.h"
#include "platform/Window.h"

namespace platform {

class QtMainWindow : public QMainWindow, public Window {
public:
    explicit QtMainWindow(MessageQueue& queue);

    void SetTitle(std::string_view title) override;
    bool HasStatusBar() const override { return statusParts_[0] != nullptr; }
    void SetStatusText(int part, std::string_view text) override;
    void CreateContents(const WindowContents& contents) override;
    void EnableMenuItem(std::uint64_t id, bool enabled) override;
    [[nodiscard]] bool MenuItemEnabled(std::uint64_t id) const override;
    void ShowAbout(std::string_view title, std::string_view picturePath) override;

    // Runs the command of a menu item as a click on it would (tests use it too).
    void TriggerMenuItem(std::uint64_t id);
    void ShowContextMenu(const QPoint& at);

protected:
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void Post(std::uint32_t message, std::uint64_t id);
    void AddItems(QMenu* menu, std::span<const MenuItem> items, std::uint32_t message);

    MessageQueue& queue_;
    std::array<QLabel*, 2> statusParts_{};
    std::map<std::uint64_t, QAction*> actions_;
    QMenu* contextMenu_ = nullptr;
    std::uint64_t closeCommand_ = 0;
};

QString ToQString(std::string_view text);
std::string FromQString(const QString& text);

}  // namespace platform
