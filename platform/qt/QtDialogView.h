#pragma once
// Qt widgets for a dialog of the model, placed as its template says and kept in step
// with it both ways: the user's edits go to the model, the model's changes to the
// widgets. Every widget is named "control-<id>".
#include <QObject>
#include <QWidget>
#include <map>

#include "platform/Dialog.h"

namespace platform {

class QtDialogView : public QObject, public DialogView {
public:
    QtDialogView(Dialog& dialog, QWidget* parent);
    ~QtDialogView() override;

    [[nodiscard]] QWidget* Widget() const { return widget_; }
    void Refresh(int id) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* Create(const ControlTemplate& control);
    void Connect(const ControlTemplate& control, QWidget* widget);

    Dialog& dialog_;
    QWidget* widget_;
    std::map<int, QWidget*> widgets_;
};

}  // namespace platform
