#include "platform/qt/QtDesktop.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>
#include <cstdio>

#include "platform/DesktopServices.h"
#include "platform/MessageBox.h"
#include "platform/PropertySheet.h"
#include "platform/qt/QtMainWindow.h"
#include "platform/qt/QtSheetView.h"

namespace platform {
namespace {

QtMainWindow* theMainWindow = nullptr;

// Qt ends the process when it cannot reach the display; a child tries first, so a
// missing or refused display leaves the program headless instead of dead.
bool DisplayOpens(int argc, char** argv) {
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        const int devNull = open("/dev/null", O_WRONLY);
        if (devNull >= 0) dup2(devNull, STDERR_FILENO);
        QGuiApplication probe(argc, argv);
        _exit(0);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void ShowQtMessageBox(std::string_view caption, std::string_view text, MessageIcon icon) {
    QString body = ToQString(text);
    body.replace("\r\n", "\n");
    QMessageBox box(icon == MessageIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon, ToQString(caption),
                    body, QMessageBox::Ok);
    box.exec();
}

// "HTML File (*.htm, *.html)" with "*.htm; *.html" becomes "HTML File (*.htm *.html)",
// the form Qt reads its patterns from.
QString QtFilter(const FileFilter& filter) {
    QString name = ToQString(filter.name);
    const qsizetype open = name.lastIndexOf(" (");
    if (open >= 0 && name.endsWith(')')) name.truncate(open);
    QString patterns = ToQString(filter.pattern);
    patterns.replace(';', ' ');
    return name + " (" + patterns.simplified() + ")";
}

std::optional<std::string> ChooseQtFile(const FileDialogRequest& request) {
    QFileDialog dialog(theMainWindow, ToQString(request.title));
    const bool save = request.mode == FileDialogMode::Save;
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    QStringList filters;
    for (const FileFilter& filter : request.filters) filters << QtFilter(filter);
    dialog.setNameFilters(filters);
    if (!request.defaultExtension.empty()) dialog.setDefaultSuffix(ToQString(request.defaultExtension));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return FromQString(dialog.selectedFiles().first());
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
        SetDesktopServices({&ChooseQtFile, &OpenWithDesktop, &ShowQtWaitCursor});
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
