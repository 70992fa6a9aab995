#include "platform/qt/QtDesktop.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/DesktopServices.h"
#include "platform/MessageBox.h"
#include "platform/PropertySheet.h"
#include "platform/qt/QtFileDialog.h"
#include "platform/qt/QtMainWindow.h"
#include "platform/qt/QtSheetView.h"

namespace platform {
namespace {

QtMainWindow* theMainWindow = nullptr;

// Takes what is in the pipe now, keeping at most 4 KiB.
void TakeWhatWasSaid(int descriptor, std::string& said) {
    char buffer[512];
    ssize_t count = 0;
    while ((count = read(descriptor, buffer, sizeof buffer)) > 0 || (count < 0 && errno == EINTR)) {
        if (count > 0 && said.size() < 4096) said.append(buffer, static_cast<std::size_t>(count));
    }
}

// Waits for the probe to end, listening to what it says meanwhile. The end of the
// child, not of the pipe, is awaited: something the toolkit started may hold the pipe.
int WaitForProbe(pid_t child, int saying, std::string& said) {
    int status = 0;
    for (;;) {
        pollfd readable{saying, POLLIN, 0};
        poll(&readable, 1, 100);
        TakeWhatWasSaid(saying, said);
        const pid_t ended = waitpid(child, &status, WNOHANG);
        if (ended == child) break;
        if (ended < 0 && errno != EINTR) return -1;
    }
    TakeWhatWasSaid(saying, said);
    return status;
}

// Qt ends the process when it cannot reach the display; a child tries first, so a
// missing or refused display leaves the program headless instead of dead. Qt's reason,
// the first line it printed ("could not connect to display :1"), goes to standard error;
// the rest is advice about reinstalling plugins, which does not apply here.
bool DisplayOpens(int argc, char** argv) {
    int saying[2];
    if (pipe2(saying, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    const pid_t child = fork();
    if (child == 0) {
        dup2(saying[1], STDERR_FILENO);
        QGuiApplication probe(argc, argv);
        _exit(0);
    }
    close(saying[1]);
    std::string said;
    const int status = child > 0 ? WaitForProbe(child, saying[0], said) : -1;
    close(saying[0]);
    const bool opened = status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    said.resize(std::min(said.find('\n'), said.size()));
    if (!opened && !said.empty()) std::fprintf(stderr, "%s\n", said.c_str());
    return opened;
}

void ShowQtMessageBox(std::string_view caption, std::string_view text, MessageIcon icon) {
    QString body = ToQString(text);
    body.replace("\r\n", "\n");
    QMessageBox box(icon == MessageIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon, ToQString(caption),
                    body, QMessageBox::Ok);
    box.exec();
}

std::optional<std::string> ChooseFileOverMainWindow(const FileDialogRequest& request) {
    return ChooseQtFile(request, theMainWindow);
}

bool OpenWithDesktop(std::string_view hostPath) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(ToQString(hostPath)));
}

void ShowQtWaitCursor(bool shown) {
    if (shown) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    } else {
        QGuiApplication::restoreOverrideCursor();
    }
}

std::unique_ptr<SheetView> MakeQtSheetView(PropertySheet& sheet) {
    return std::make_unique<QtSheetView>(sheet, theMainWindow);
}

class QtDesktop : public Desktop {
public:
    QtDesktop(int& argc, char** argv, MessageQueue& queue) : application_(argc, argv), window_(queue), queue_(queue) {
        QApplication::setApplicationName("Pellora");
        QApplication::setQuitOnLastWindowClosed(false);
        theMainWindow = &window_;
        SetMessageBoxHandler(&ShowQtMessageBox);
        SetDesktopServices({&ChooseFileOverMainWindow, &OpenWithDesktop, &ShowQtWaitCursor});
        SetSheetViewFactory(&MakeQtSheetView);
    }
    ~QtDesktop() override {
        SetSheetViewFactory(nullptr);
        SetDesktopServices({});
        SetMessageBoxHandler(nullptr);
        theMainWindow = nullptr;
    }

    Window& MainWindow() override { return window_; }

    int Run(const Turn& turn) override {
        QSocketNotifier notifier(queue_.Descriptor(), QSocketNotifier::Read);
        QTimer again;
        again.setSingleShot(true);
        again.setInterval(0);
        bool quitting = false;
        const auto step = [&] {
            if (quitting) return;
            int exitCode = 0;
            const int result = turn(exitCode);
            if (result < 0) {
                quitting = true;
                QCoreApplication::exit(exitCode);
            } else if (result > 0) {
                again.start();
            }
        };
        QObject::connect(&notifier, &QSocketNotifier::activated, &notifier, step);
        QObject::connect(&again, &QTimer::timeout, &again, step);
        window_.showMinimized();
        again.start();
        return QApplication::exec();
    }

private:
    QApplication application_;
    QtMainWindow window_;
    MessageQueue& queue_;
};

}  // namespace

}  // namespace platform

platform::Desktop* PelloraOpenDesktop(int& argc, char** argv, platform::MessageQueue& queue) {
    if (!platform::DisplayOpens(argc, argv)) return nullptr;
    return new platform::QtDesktop(argc, argv, queue);  // the loader takes ownership
}
