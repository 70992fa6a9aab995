#include "platform/qt/QtSheetView.h"

#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/qt/QtMainWindow.h"

namespace platform {
namespace {

QPointer<QDialog> openDialog;

// Enter presses the sheet's default button, Escape cancels, F1 asks for the page's
// help, and the close box cancels: the model decides what each means.
class SheetDialog : public QDialog {
public:
    SheetDialog(PropertySheet& sheet, QWidget* owner) : QDialog(owner), sheet_(sheet) {}

protected:
    void keyPressEvent(QKeyEvent* event) override {
        switch (event->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
                sheet_.PressEnter();
                return;
            case Qt::Key_Escape:
                sheet_.PressCancel();
                return;
            case Qt::Key_F1:
                sheet_.PressHelp();
                return;
            default:
                QDialog::keyPressEvent(event);
        }
    }
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        sheet_.PressCancel();
    }

private:
    PropertySheet& sheet_;
};

}  // namespace

QtSheetView::QtSheetView(PropertySheet& sheet, QWidget* owner)
    : sheet_(sheet),
      dialog_(new SheetDialog(sheet, owner)),
      tabs_(new QTabWidget(dialog_)),
      connections_(std::make_unique<QObject>()) {
    dialog_->setObjectName("sheet");
    dialog_->setWindowTitle(ToQString(sheet.Caption()));
    dialog_->setModal(false);
    tabs_->setObjectName("sheet-tabs");
    tabs_->setUsesScrollButtons(false);  // every tab in view, as the sheet is wide enough
    for (int i = 0; i < sheet.PageCount(); ++i) {
        auto* placeholder = new QWidget;
        const DialogTemplate& layout = sheet.PageLayout(i);
        placeholder->setMinimumSize(layout.width, layout.height);
        tabs_->addTab(placeholder, ToQString(sheet.PageTitle(i)));
    }
    auto* buttons = new QDialogButtonBox(dialog_);
    QPushButton* ok = buttons->addButton(QDialogButtonBox::Ok);
    QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    apply_ = buttons->addButton(QDialogButtonBox::Apply);
    ok->setObjectName("sheet-ok");
    cancel->setObjectName("sheet-cancel");
    apply_->setObjectName("sheet-apply");
    for (QPushButton* button : {ok, cancel, apply_}) button->setAutoDefault(false);
    QObject* context = connections_.get();
    QObject::connect(ok, &QPushButton::clicked, context, [this] { sheet_.PressOk(); });
    QObject::connect(cancel, &QPushButton::clicked, context, [this] { sheet_.PressCancel(); });
    QObject::connect(apply_, &QPushButton::clicked, context, [this] { sheet_.PressApply(); });
    QObject::connect(tabs_, &QTabWidget::currentChanged, context, [this](int index) { sheet_.Activate(index); });
    auto* layout = new QVBoxLayout(dialog_);
    layout->addWidget(tabs_);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    openDialog = dialog_;
    dialog_->show();
}

QtSheetView::~QtSheetView() {
    connections_.reset();
    pages_.clear();
    openDialog = nullptr;
    dialog_->hide();
    // The sheet may close from inside one of its own widgets' signals.
    dialog_->deleteLater();
}

void QtSheetView::PageCreated(int index, Dialog& page) {
    QWidget* tab = tabs_->widget(index);
    if (tab == nullptr) return;
    pages_.push_back(std::make_unique<QtDialogView>(page, tab));
    pages_.back()->Widget()->show();  // the tab is already on screen
}

void QtSheetView::Refresh() {
    const bool blocked = tabs_->blockSignals(true);
    tabs_->setCurrentIndex(sheet_.ActivePage());
    tabs_->blockSignals(blocked);
    apply_->setEnabled(sheet_.ApplyEnabled());
}

void QtSheetView::BringForward() {
    dialog_->show();
    dialog_->raise();
    dialog_->activateWindow();
}

QDialog* QtSheetView::OpenDialog() {
    return openDialog.data();
}

}  // namespace platform
