#include "platform/qt/QtDialogView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include "platform/qt/QtMainWindow.h"

namespace platform {
namespace {

// Keeps a widget's signals quiet while the model's state is written into it.
template <typename Widget, typename Write>
void Quietly(Widget* widget, Write write) {
    const bool blocked = widget->blockSignals(true);
    write(widget);
    widget->blockSignals(blocked);
}

}  // namespace

QtDialogView::QtDialogView(Dialog& dialog, QWidget* parent) : dialog_(dialog), widget_(new QWidget(parent)) {
    const DialogTemplate& layout = dialog.Layout();
    widget_->setObjectName(QString("dialog-%1").arg(layout.id));
    widget_->setFixedSize(layout.width, layout.height);
    // Group boxes come first in a template, so the controls they frame lie above them.
    for (const ControlTemplate& control : layout.controls) {
        QWidget* widget = Create(control);
        widget->setObjectName(QString("control-%1").arg(control.id));
        widget->setGeometry(control.bounds.x, control.bounds.y, control.bounds.width, control.bounds.height);
        widgets_[control.id] = widget;
        Connect(control, widget);
    }
    for (const ControlTemplate& control : layout.controls) Refresh(control.id);
    dialog_.SetView(this);
}

QtDialogView::~QtDialogView() {
    dialog_.SetView(nullptr);
}

QWidget* QtDialogView::Create(const ControlTemplate& control) {
    const QString text = ToQString(control.text);
    switch (control.kind) {
        case ControlKind::Label: {
            auto* label = new QLabel(text, widget_);
            label->setWordWrap(control.bounds.height > 24);
            label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            return label;
        }
        case ControlKind::Picture:
            return new QLabel(widget_);
        case ControlKind::GroupBox:
            return new QGroupBox(text, widget_);
        case ControlKind::TextBox:
            return new QLineEdit(widget_);
        case ControlKind::RadioButton: {
            auto* radio = new QRadioButton(text, widget_);
            radio->setAutoExclusive(false);  // the model keeps each group exclusive
            return radio;
        }
        case ControlKind::CheckBox:
            return new QCheckBox(text, widget_);
        case ControlKind::ComboBox: {
            auto* combo = new QComboBox(widget_);
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            return combo;
        }
        case ControlKind::ListBox:
            return new QListWidget(widget_);
        case ControlKind::Button: {
            auto* button = new QPushButton(text, widget_);
            button->setAutoDefault(false);  // Enter belongs to the sheet's default button
            return button;
        }
    }
    return new QWidget(widget_);
}

void QtDialogView::Connect(const ControlTemplate& control, QWidget* widget) {
    const int id = control.id;
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        connect(edit, &QLineEdit::textEdited, this,
                [this, id](const QString& text) { dialog_.UserTypes(id, FromQString(text)); });
        // Enter is the sheet's: the line edit passes it on, so returnPressed would act a second time.
        edit->installEventFilter(this);
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        connect(combo->lineEdit(), &QLineEdit::textEdited, this,
                [this, id](const QString& text) { dialog_.UserTypes(id, FromQString(text)); });
        connect(combo, &QComboBox::activated, this, [this, id](int index) { dialog_.UserSelects(id, index); });
    } else if (auto* list = qobject_cast<QListWidget*>(widget)) {
        connect(list, &QListWidget::currentRowChanged, this, [this, id](int row) { dialog_.UserSelects(id, row); });
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        connect(button, &QAbstractButton::clicked, this, [this, id] { dialog_.UserClicks(id); });
    }
}

bool QtDialogView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        for (const auto& [id, widget] : widgets_) {
            if (widget == watched) dialog_.UserLeaves(id);
        }
    }
    return QObject::eventFilter(watched, event);
}

void QtDialogView::Refresh(int id) {
    const auto found = widgets_.find(id);
    if (found == widgets_.end()) return;
    QWidget* widget = found->second;
    widget->setEnabled(dialog_.Enabled(id));
    const QString text = ToQString(dialog_.Text(id));
    const int limit = static_cast<int>(dialog_.Limit(id));
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        Quietly(edit, [&](QLineEdit* e) {
            if (limit > 0) e->setMaxLength(limit);
            if (e->text() != text) e->setText(text);
        });
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        Quietly(combo, [&](QComboBox* c) {
            if (c->count() != dialog_.ItemCount(id)) {
                c->clear();
                for (int i = 0; i < dialog_.ItemCount(id); ++i) c->addItem(ToQString(dialog_.Item(id, i)));
            }
            if (limit > 0) c->lineEdit()->setMaxLength(limit);
            if (c->currentText() != text) c->setEditText(text);
            if (dialog_.HorizontalExtent(id) > 0) c->view()->setMinimumWidth(dialog_.HorizontalExtent(id));
        });
    } else if (auto* list = qobject_cast<QListWidget*>(widget)) {
        Quietly(list, [&](QListWidget* l) {
            l->clear();
            for (int i = 0; i < dialog_.ItemCount(id); ++i) l->addItem(ToQString(dialog_.Item(id, i)));
            l->setCurrentRow(dialog_.Selection(id));
        });
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        if (button->isCheckable()) Quietly(button, [&](QAbstractButton* b) { b->setChecked(dialog_.Checked(id)); });
    }
}

}  // namespace platform
