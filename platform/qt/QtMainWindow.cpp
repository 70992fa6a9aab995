#include "platform/qt/QtMainWindow.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDialog>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QVBoxLayout>

#include "platform/Message.h"

namespace platform {

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string FromQString(const QString& text) {
    return text.toUtf8().toStdString();
}

QtMainWindow::QtMainWindow(MessageQueue& queue) : queue_(queue) {
    setWindowTitle("Pellora");
    // F1 asks for the window's own help page, as the menu's hint says.
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    QObject::connect(help, &QShortcut::activated, this, [this] { Post(kHelpMessage, 0); });
}

void QtMainWindow::Post(std::uint32_t message, std::uint64_t id) {
    queue_.Post(Message{message, id, 0});
}

void QtMainWindow::SetTitle(std::string_view title) {
    setWindowTitle(ToQString(title));
}

void QtMainWindow::SetStatusText(int part, std::string_view text) {
    if (part < 0 || part > 1 || statusParts_[static_cast<std::size_t>(part)] == nullptr) return;
    statusParts_[static_cast<std::size_t>(part)]->setText(ToQString(text));
}

void QtMainWindow::AddItems(QMenu* menu, std::span<const MenuItem> items, std::uint32_t message) {
    for (const MenuItem& item : items) {
        if (item.id == 0) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(ToQString(item.text));
        action->setObjectName(QString("menu-%1").arg(item.id));
        const std::uint64_t id = item.id;
        QObject::connect(action, &QAction::triggered, this, [this, message, id] { Post(message, id); });
        actions_[id] = action;
    }
}

void QtMainWindow::CreateContents(const WindowContents& contents) {
    // Built once; a second call (a test's) starts the menus afresh.
    menuBar()->clear();
    actions_.clear();
    delete contextMenu_;
    auto* picture = new QLabel(this);
    picture->setObjectName("control-100");
    picture->setFixedSize(contents.pictureWidth, contents.pictureHeight);
    picture->setPixmap(QPixmap(ToQString(contents.picturePath)));
    setCentralWidget(picture);
    setWindowIcon(QIcon(ToQString(contents.iconPath)));
    closeCommand_ = contents.closeCommand;

    QStatusBar* bar = statusBar();
    bar->setObjectName("control-101");
    bar->setSizeGripEnabled(false);
    if (statusParts_[0] == nullptr) {
        for (QLabel*& part : statusParts_) part = new QLabel(bar);
        statusParts_[0]->setObjectName("status-0");
        statusParts_[1]->setObjectName("status-1");
        bar->addWidget(statusParts_[0]);
        bar->addWidget(statusParts_[1], 1);
    }
    statusParts_[0]->setText(ToQString(contents.statusText));

    for (const Menu& menu : contents.menuBar) {
        AddItems(menuBar()->addMenu(ToQString(menu.title)), menu.items, kCommandMessage);
    }
    contextMenu_ = new QMenu(this);
    AddItems(contextMenu_, contents.contextMenu, kSystemCommandMessage);

    // A fixed frame: the picture above the status bar, nothing to resize or maximize.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    adjustSize();
    setFixedSize(sizeHint());
    statusParts_[0]->setFixedWidth(width() / 5 * 3);
}

void QtMainWindow::EnableMenuItem(std::uint64_t id, bool enabled) {
    const auto found = actions_.find(id);
    if (found != actions_.end()) found->second->setEnabled(enabled);
}

bool QtMainWindow::MenuItemEnabled(std::uint64_t id) const {
    const auto found = actions_.find(id);
    return found == actions_.end() || found->second->isEnabled();
}

void QtMainWindow::TriggerMenuItem(std::uint64_t id) {
    const auto found = actions_.find(id);
    if (found != actions_.end() && found->second->isEnabled()) found->second->trigger();
}

void QtMainWindow::ShowAbout(std::string_view title, std::string_view picturePath) {
    QDialog about(this);
    about.setWindowTitle(ToQString(title));
    auto* layout = new QVBoxLayout(&about);
    auto* picture = new QLabel(&about);
    picture->setPixmap(QPixmap(ToQString(picturePath)));
    picture->setAlignment(Qt::AlignCenter);
    layout->addWidget(picture);
    auto* ok = new QPushButton("OK", &about);
    QObject::connect(ok, &QPushButton::clicked, &about, &QDialog::accept);
    layout->addWidget(ok);
    about.exec();
}

void QtMainWindow::ShowContextMenu(const QPoint& at) {
    if (contextMenu_ != nullptr) contextMenu_->popup(at);
}

void QtMainWindow::closeEvent(QCloseEvent* event) {
    // The close box is the Exit command: the program, not the toolkit, ends the window.
    event->ignore();
    Post(kCommandMessage, closeCommand_);
}

void QtMainWindow::contextMenuEvent(QContextMenuEvent* event) {
    ShowContextMenu(event->globalPos());
}

}  // namespace platform
