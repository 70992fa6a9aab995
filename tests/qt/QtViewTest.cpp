// The real Qt Options sheet offscreen, its widgets found by name and driven with QTest as a
// person would; tests/desktop shows the window itself on a real display.
#include <QTest>
#include <QtWidgets>

#include "platform/qt/QtDesktop.h"
#include "platform/qt/QtSheetView.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/OptionsPageLayouts.h"

namespace {

class QtView : public UiTest {
protected:
    void TearDown() override {
        sheet_.Sheet().PressCancel();
        QApplication::processEvents();
        UiTest::TearDown();
    }
    QDialog* Open(int page) {
        sheet_.Open();
        QDialog* dialog = platform::QtSheetView::OpenDialog();
        dialog->findChild<QTabWidget*>("sheet-tabs")->setCurrentIndex(page);
        return dialog;
    }
    template <typename Widget = QWidget>
    static Widget* Control(const QObject* parent, std::uint64_t id) {
        return parent->findChild<Widget*>(QString("control-%1").arg(id));
    }
    // On the indicator: a click beyond the end of a short text misses the button.
    static void ClickIndicator(QWidget* button) {
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    }
};

// A click on a selected radio button keeps it selected, in each group of the sheet;
// Enter in an entry box adds (or refuses) once instead of closing the sheet.
TEST_F(QtView, ClicksAndKeysReachThePagesOnce) {
    Settings().UploadOn = 1;  // so that every group is enabled
    QDialog* dialog = Open(0);
    int clicked = 0;
    for (int page = 0; page < 6; ++page) {
        dialog->findChild<QTabWidget*>("sheet-tabs")->setCurrentIndex(page);
        for (const platform::ControlTemplate& control : sheet_.Sheet().Page(page)->Layout().controls) {
            auto* radio = Control<QRadioButton>(dialog, control.id);
            if (radio == nullptr || !radio->isChecked()) continue;
            ClickIndicator(radio);
            EXPECT_TRUE(radio->isChecked() && sheet_.Sheet().Page(page)->Checked(control.id)) << control.id;
            ++clicked;
        }
    }
    EXPECT_EQ(clicked, 6) << "one checked button in each group of the sheet";

    dialog->findChild<QTabWidget*>("sheet-tabs")->setCurrentIndex(2);
    QTest::mouseClick(Control(dialog, network::kSelective), Qt::LeftButton);
    auto* address = Control<QLineEdit>(dialog, network::kEntryBox);
    for (const char* typed : {"10.1.2", "no-such-host.invalid"}) {
        QTest::keyClicks(address, typed);
        QTest::keyClick(address, Qt::Key_Return);
    }
    auto* list = Control<QListWidget>(dialog, network::kList);
    EXPECT_EQ(list->count() == 1 ? list->item(0)->text() : "", "10.1.2");
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(waitCursors, 1) << "the name is looked up once";
    EXPECT_EQ(address->text(), "no-such-host.invalid") << "left in the box for correction";
    EXPECT_TRUE(sheet_.Sheet().IsOpen()) << "Enter added instead of closing";
    QTest::mouseClick(dialog->findChild<QPushButton*>("sheet-ok"), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ(platform::QtSheetView::OpenDialog(), nullptr);
}

// The desktop's own file dialog, typed into from inside its event loop (a bare name gets
// the extension); message boxes are closed and kept, a dialog still open is cancelled.
TEST_F(QtView, TheLogFileDialogTakesANewFileInAFolderThatExists) {
    platform::DesktopServices services = platform::SetDesktopServices({});
    services.chooseFile = previousServices_.chooseFile;
    platform::SetDesktopServices(services);
    QDialog* dialog = Open(4);
    ClickIndicator(Control(dialog, logging::kEnable));
    const auto browse = [&](const QString& name) {
        QStringList shown;
        QTimer fileWatch;  // two timers: a timer's handler is not run again while it runs
        QTimer boxWatch;
        QObject::connect(&fileWatch, &QTimer::timeout, [&] {
            auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (files == nullptr) return;
            fileWatch.stop();
            files->setDirectory(QString::fromStdString(drive_.Path()));
            QTest::keyClicks(files->findChild<QLineEdit*>("fileNameEdit"), name);
            QTest::keyClick(files->findChild<QLineEdit*>("fileNameEdit"), Qt::Key_Return);
            if (files->isVisible()) files->reject();
        });
        QObject::connect(&boxWatch, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown << box->text();
                QTest::keyClick(box, Qt::Key_Escape);
            }
        });
        fileWatch.start(10);
        boxWatch.start(10);
        QTest::mouseClick(Control(dialog, logging::kBrowse), Qt::LeftButton);
        return shown.join('\n').toStdString();
    };
    EXPECT_NE(browse("missing/new.log").find("missing"), std::string::npos) << "a folder that is not there is refused";
    EXPECT_EQ(Control<QLineEdit>(dialog, logging::kFileBox)->text(), "");
    EXPECT_EQ(browse("new"), "");
    EXPECT_EQ(Control<QLineEdit>(dialog, logging::kFileBox)->text(), "C:\\new.log");
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static const TestDirectory runtime;  // Qt wants a private runtime directory
    setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 0);
    ::testing::InitGoogleTest(&argc, argv);
    static const std::unique_ptr<platform::MessageQueue> queue = platform::MessageQueue::Create();
    static int qtArgc = 1;
    static char* qtArgv[] = {argv[0], nullptr};
    const std::unique_ptr<platform::Desktop> desktop(PelloraOpenDesktop(qtArgc, qtArgv, *queue));
    if (!desktop) return std::fprintf(stderr, "the offscreen Qt platform did not open\n"), 1;
    return RUN_ALL_TESTS();
}
