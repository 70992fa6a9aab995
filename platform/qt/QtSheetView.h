#pragma once
// The Options sheet on Qt: a modeless dialog with a tab per page and OK, Cancel and
// Apply. Pages get their widgets when the model creates them (the first time each is
// shown). The dialog is named "sheet", its tab bar "sheet-tabs", its buttons
// "sheet-ok", "sheet-cancel" and "sheet-apply".
#include <QDialog>
#include <QTabWidget>
#include <memory>
#include <vector>

#include "platform/PropertySheet.h"
#include "platform/qt/QtDialogView.h"

namespace platform {

class QtSheetView : public SheetView {
public:
    QtSheetView(PropertySheet& sheet, QWidget* owner);
    ~QtSheetView() override;

    void PageCreated(int index, Dialog& page) override;
    void Refresh() override;
    void BringForward() override;

    // The open sheet's dialog (tests find their widgets through it).
    static QDialog* OpenDialog();

private:
    PropertySheet& sheet_;
    QDialog* dialog_;
    QTabWidget* tabs_;
    QPushButton* apply_;
    std::unique_ptr<QObject> connections_;  // goes first, so no signal reaches a closed sheet
    std::vector<std::unique_ptr<QtDialogView>> pages_;
};

}  // namespace platform
