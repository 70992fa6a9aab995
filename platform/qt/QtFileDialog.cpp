#include "platform/qt/QtFileDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <memory>

#include "platform/qt/QtMainWindow.h"

namespace platform {
namespace {

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

// An Open dialog that takes a name not made yet. It is Qt's own dialog, as the native
// ones open only files that exist, and it refuses a folder that does not exist, which
// Qt's own dialog would take.
class NewFileDialog : public QFileDialog {
public:
    NewFileDialog(QWidget* owner, const QString& title) : QFileDialog(owner, title) {
        setOption(DontUseNativeDialog);
        setAcceptMode(AcceptOpen);
        setFileMode(AnyFile);
    }

protected:
    void accept() override {
        const QStringList chosen = selectedFiles();
        const QString folder = chosen.isEmpty() ? QString() : QFileInfo(chosen.first()).absolutePath();
        if (!folder.isEmpty() && !QFileInfo(folder).isDir()) {
            QMessageBox::warning(this, windowTitle(),
                                 QDir::toNativeSeparators(folder) + "\nThis folder does not exist.");
            return;
        }
        QFileDialog::accept();
    }
};

std::unique_ptr<QFileDialog> MakeDialog(const FileDialogRequest& request, QWidget* owner) {
    const QString title = ToQString(request.title);
    const bool save = request.mode == FileDialogMode::Save;
    if (!save && !request.fileMustExist) return std::make_unique<NewFileDialog>(owner, title);
    auto dialog = std::make_unique<QFileDialog>(owner, title);
    dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    return dialog;
}

}  // namespace

std::optional<std::string> ChooseQtFile(const FileDialogRequest& request, QWidget* owner) {
    const std::unique_ptr<QFileDialog> dialog = MakeDialog(request, owner);
    QStringList filters;
    for (const FileFilter& filter : request.filters) filters << QtFilter(filter);
    dialog->setNameFilters(filters);
    if (!request.defaultExtension.empty()) dialog->setDefaultSuffix(ToQString(request.defaultExtension));
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return std::nullopt;
    return FromQString(dialog->selectedFiles().first());
}

}  // namespace platform
