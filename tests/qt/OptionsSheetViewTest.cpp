#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <functional>

#include "platform/qt/QtSheetView.h"
#include "tests/qt/QtDesktopTest.h"
#include "ui/OptionsPageLayouts.h"
#include "ui/OptionsSheet.h"

namespace {

using platform::QtSheetView;

// Answers the file dialog that the next click opens, from inside its event loop, and
// closes every message box shown meanwhile, keeping its text. A dialog still open after
// the answer is cancelled, so a test that goes wrong ends instead of waiting for a person.
class FileDialogAnswer {
public:
    explicit FileDialogAnswer(std::function<void(QFileDialog&)> answer) : answer_(std::move(answer)) {
        QObject::connect(&dialogWatch_, &QTimer::timeout, &dialogWatch_, [this] { Answer(); });
        QObject::connect(&boxWatch_, &QTimer::timeout, &boxWatch_, [this] { CloseMessageBox(); });
        dialogWatch_.start(10);
        boxWatch_.start(10);
    }

    QStringList messages;

private:
    void Answer() {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return;
        dialogWatch_.stop();
        answer_(*dialog);
        if (dialog->isVisible()) dialog->reject();
    }
    void CloseMessageBox() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        messages << box->text();
        QTest::keyClick(box, Qt::Key_Escape);
    }

    std::function<void(QFileDialog&)> answer_;
    QTimer dialogWatch_;  // two timers: a timer's handler is not run again while it is running
    QTimer boxWatch_;
};

class OptionsSheetViewTest : public QtDesktopTest {
protected:
    void TearDown() override {
        sheet_.Sheet().PressCancel();
        ProcessEvents();
        QtDesktopTest::TearDown();
    }
    QDialog* Open(int page) {
        sheet_.Open();
        QDialog* dialog = QtSheetView::OpenDialog();
        EXPECT_NE(dialog, nullptr);
        if (dialog == nullptr) return nullptr;
        dialog->findChild<QTabWidget*>("sheet-tabs")->setCurrentIndex(page);
        return dialog;
    }
    template <typename Widget = QWidget>
    static Widget* Control(QDialog* dialog, int id) {
        return dialog->findChild<Widget*>(QString("control-%1").arg(id));
    }
    // On the indicator: a click beyond the end of a short text misses the button.
    static void ClickIndicator(QWidget* button) {
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    }
    static QString Text(QWidget* widget) {
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
        if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
        if (auto* group = qobject_cast<QGroupBox*>(widget)) return group->title();
        return {};
    }

    ServerControl control_{server_, window_};
    OptionsSheet sheet_{control_, window_, drive_.Path()};
};

TEST_F(OptionsSheetViewTest, EveryPageBuildsWithItsTitleIdsAndTexts) {
    QDialog* dialog = Open(0);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Options");
    EXPECT_FALSE(dialog->isModal());
    auto* tabs = dialog->findChild<QTabWidget*>("sheet-tabs");
    const char* titles[] = {"General", "Directories", "Network", "Sharing", "Logging", "Upload"};
    const platform::DialogTemplate* layouts[] = {&GeneralPageLayout(), &DirectoriesPageLayout(), &NetworkPageLayout(),
                                                 &SharingPageLayout(), &LoggingPageLayout(),     &UploadPageLayout()};
    ASSERT_EQ(tabs->count(), 6);
    for (int page = 0; page < 6; ++page) {
        EXPECT_EQ(tabs->tabText(page), titles[page]);
        tabs->setCurrentIndex(page);
        ProcessEvents();
        EXPECT_EQ(sheet_.LastPage(), page);
        for (const platform::ControlTemplate& control : layouts[page]->controls) {
            QWidget* widget = Control(dialog, control.id);
            ASSERT_NE(widget, nullptr) << titles[page] << " " << control.id;
            if (!control.text.empty()) {
                EXPECT_EQ(Text(widget).toStdString(), control.text) << control.id;
            }
        }
        Screenshot(dialog, std::string("options-") + titles[page]);
    }
}

TEST_F(OptionsSheetViewTest, ClicksAndTypingReachThePageLogic) {
    QDialog* dialog = Open(0);
    auto* apply = dialog->findChild<QPushButton*>("sheet-apply");
    EXPECT_FALSE(apply->isEnabled());
    auto* rootFile = Control<QComboBox>(dialog, general::kRootFileBox);
    EXPECT_FALSE(rootFile->isEnabled());
    QTest::mouseClick(Control(dialog, general::kRootFileChoice), Qt::LeftButton);
    EXPECT_TRUE(rootFile->isEnabled()) << "the page enabled the root file for its choice";
    EXPECT_TRUE(apply->isEnabled());
    EXPECT_FALSE(Control<QRadioButton>(dialog, general::kDriveIndex)->isChecked());

    auto* port = Control<QLineEdit>(dialog, general::kPortBox);
    port->clear();
    QTest::keyClicks(port, "81x82");
    EXPECT_EQ(port->text(), "8182") << "the box keeps digits only";
    QTest::mouseClick(apply, Qt::LeftButton);
    EXPECT_EQ(Settings().Port, 8182);
    EXPECT_EQ(Settings().RootOption, kRootFile);
    EXPECT_FALSE(apply->isEnabled());
    QTest::mouseClick(dialog->findChild<QPushButton*>("sheet-ok"), Qt::LeftButton);
    ProcessEvents();
    EXPECT_FALSE(sheet_.Sheet().IsOpen());
    EXPECT_EQ(QtSheetView::OpenDialog(), nullptr);
}

TEST_F(OptionsSheetViewTest, EnterInTheAddressBoxAddsTheEntry) {
    QDialog* dialog = Open(2);
    QTest::mouseClick(Control(dialog, network::kSelective), Qt::LeftButton);
    auto* box = Control<QLineEdit>(dialog, network::kEntryBox);
    QTest::keyClicks(box, "10.1.2");
    QTest::keyClick(box, Qt::Key_Return);
    auto* list = Control<QListWidget>(dialog, network::kList);
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), "10.1.2");
    EXPECT_TRUE(sheet_.Sheet().IsOpen()) << "Enter added instead of closing";
    list->setCurrentRow(0);
    EXPECT_TRUE(Control(dialog, network::kRemove)->isEnabled());
    QTest::mouseClick(Control(dialog, network::kRemove), Qt::LeftButton);
    EXPECT_EQ(list->count(), 0);
    QTest::mouseClick(dialog->findChild<QPushButton*>("sheet-cancel"), Qt::LeftButton);
    ProcessEvents();
    EXPECT_EQ(Settings().IpOption, kAccessAll) << "Cancel stored nothing";
}

TEST_F(OptionsSheetViewTest, ClickingTheCheckedRadioButtonKeepsItChecked) {
    Settings().UploadOn = 1;  // so that every group is enabled
    QDialog* dialog = Open(0);
    auto* tabs = dialog->findChild<QTabWidget*>("sheet-tabs");
    int clicked = 0;
    for (int page = 0; page < tabs->count(); ++page) {
        tabs->setCurrentIndex(page);
        const platform::Dialog& model = *sheet_.Sheet().Page(page);
        for (const platform::ControlTemplate& control : model.Layout().controls) {
            auto* radio = Control<QRadioButton>(dialog, control.id);
            if (radio == nullptr || !radio->isChecked()) continue;
            ClickIndicator(radio);
            EXPECT_TRUE(radio->isChecked()) << control.id;
            EXPECT_TRUE(model.Checked(control.id)) << control.id;
            ++clicked;
        }
    }
    EXPECT_EQ(clicked, 6) << "one checked button in each group of the sheet";
}

TEST_F(OptionsSheetViewTest, EnterInARefusedEntryShowsItsMessageOnce) {
    QDialog* dialog = Open(2);
    QTest::mouseClick(Control(dialog, network::kSelective), Qt::LeftButton);
    auto* address = Control<QLineEdit>(dialog, network::kEntryBox);
    QTest::keyClicks(address, "no-such-host.invalid");
    QTest::keyClick(address, Qt::Key_Return);
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(waitCursors, 1) << "the name is looked up once";
    EXPECT_EQ(address->text(), "no-such-host.invalid") << "left in the box for correction";

    dialog->findChild<QTabWidget*>("sheet-tabs")->setCurrentIndex(3);
    QTest::mouseClick(Control(dialog, sharing::kSelective), Qt::LeftButton);
    auto* directory = Control<QLineEdit>(dialog, sharing::kEntryBox);
    QTest::keyClicks(directory, "c:\\missing");
    QTest::keyClick(directory, Qt::Key_Return);
    EXPECT_EQ(messages.size(), 2u);
    EXPECT_EQ(Control<QListWidget>(dialog, sharing::kList)->count(), 0);
    EXPECT_TRUE(sheet_.Sheet().IsOpen());
}

TEST_F(OptionsSheetViewTest, LogFileBrowseTakesANewFileInAFolderThatExists) {
    UseDesktopFileDialogs();
    QDialog* dialog = Open(4);
    ClickIndicator(Control(dialog, logging::kEnable));
    auto* fileBox = Control<QLineEdit>(dialog, logging::kFileBox);
    const auto browse = [&](const QString& name) {
        FileDialogAnswer answer([&](QFileDialog& files) {
            files.setDirectory(QString::fromStdString(drive_.Path()));
            auto* nameBox = files.findChild<QLineEdit*>("fileNameEdit");
            QTest::keyClicks(nameBox, name);
            QTest::keyClick(nameBox, Qt::Key_Return);
        });
        QTest::mouseClick(Control(dialog, logging::kBrowse), Qt::LeftButton);
        return answer.messages;
    };
    const QStringList refused = browse("missing/new.log");
    ASSERT_EQ(refused.size(), 1) << "a folder that does not exist is refused in the dialog";
    EXPECT_TRUE(refused[0].contains("missing")) << refused[0].toStdString();
    EXPECT_EQ(fileBox->text().toStdString(), "");
    EXPECT_EQ(browse("new.log").join('\n').toStdString(), "") << "no message";
    EXPECT_EQ(fileBox->text().toStdString(), "C:\\new.log");
}

}  // namespace
