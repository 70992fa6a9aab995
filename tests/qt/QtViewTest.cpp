// The real Qt window and Options sheet on the offscreen platform, driven as a person
// would: widgets found by their names, clicked and typed into with QTest.
#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "config/OptionsFile.h"
#include "platform/qt/QtDesktop.h"
#include "platform/qt/QtMainWindow.h"
#include "platform/qt/QtSheetView.h"
#include "tests/support/ServerProcess.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/MainMenu.h"
#include "ui/MainWindow.h"
#include "ui/OptionsPageLayouts.h"
#include "ui/OptionsSheet.h"

namespace {

platform::Desktop* theDesktop = nullptr;
platform::MessageQueue* theQueue = nullptr;

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

    ServerControl control_{server_, window_};
    OptionsSheet sheet_{control_, window_, drive_.Path()};
};

TEST_F(QtView, TheWindowShowsTheModelAndPostsWhatIsChosen) {
    auto* window = dynamic_cast<platform::QtMainWindow*>(&theDesktop->MainWindow());
    ServerSettings options;
    options.Port = FreePort();
    options.IpOption = kAccessRestrictive;
    MainWindow logic(server_, *theQueue, *window, home_.WriteFile("start.opt", FormatOptionsFile(options)),
                     PELLORA_BUILD_DIR);
    logic.OnCreate();
    for (platform::Message message; theQueue->Peek(message, platform::PeekMode::Remove);) {
    }
    const std::string port = std::to_string(options.Port);
    EXPECT_EQ(window->windowTitle().toStdString(), "Pellora [Port:" + port + "]");
    EXPECT_EQ(Control<QLabel>(window, 100)->size(), QSize(300, 200));
    EXPECT_FALSE(Control<QLabel>(window, 100)->pixmap().isNull()) << "the picture is found beside the program";
    EXPECT_EQ(window->findChild<QLabel*>("status-0")->text().toStdString(), "Listening on Port: [" + port + "]");
    EXPECT_EQ(window->findChild<QLabel*>("status-1")->text(), "Users restricted");
    EXPECT_EQ(window->findChild<QLabel*>("status-0")->width(), window->width() / 5 * 3);
    EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "a fixed frame";
    const QList<QAction*> menus = window->menuBar()->actions();
    ASSERT_EQ(menus.size(), 2);
    EXPECT_EQ(menus[0]->text() + menus[1]->text(), "&File&Help");
    EXPECT_EQ(menus[0]->menu()->actions().size(), 9) << "six items and three separators";
    const std::pair<std::uint64_t, const char*> items[] = {{kCommandOptions, "&Options..."},
                                                           {kCommandLoadOptions, "&Load Options ..."},
                                                           {kCommandSaveOptionsAs, "&Save Options As..."},
                                                           {kCommandStopServer, "S&top Server"},
                                                           {kCommandStartServer, "St&art Server"},
                                                           {kCommandExit, "E&xit"},
                                                           {kCommandHelpTopics, "&Help Topics \tF1"},
                                                           {kCommandReadme, "&Read me..."},
                                                           {kCommandAbout, "&About Pellora..."},
                                                           {kSystemCommandOptions, "&Options..."}};
    for (const auto& [id, text] : items) {
        EXPECT_EQ(window->findChild<QAction*>(QString("menu-%1").arg(id))->text(), QString(text)) << id;
    }

    window->TriggerMenuItem(kCommandStopServer);
    window->TriggerMenuItem(kCommandStartServer);  // grayed: nothing happens
    window->findChild<QAction*>(QString("menu-%1").arg(kSystemCommandOptions))->trigger();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window, Qt::Key_F1);
    window->close();
    std::vector<std::pair<std::uint32_t, std::uint64_t>> posted;
    for (platform::Message message; theQueue->Peek(message, platform::PeekMode::Remove);) {
        posted.emplace_back(message.id, message.first);
    }
    EXPECT_EQ(posted, (std::vector<std::pair<std::uint32_t, std::uint64_t>>{
                          {platform::kCommandMessage, kCommandStopServer},
                          {platform::kSystemCommandMessage, kSystemCommandOptions},
                          {platform::kHelpMessage, 0},
                          {platform::kCommandMessage, kCommandExit}}))
        << "the close box is the Exit command";
    logic.Handle({platform::kCommandMessage, kCommandStopServer, 0});
    EXPECT_EQ(window->windowTitle(), "Pellora - [Off-Line]");
    EXPECT_TRUE(window->MenuItemEnabled(kCommandStartServer) && !window->MenuItemEnabled(kCommandStopServer));
    server_.StopListening();
}

TEST_F(QtView, TheSheetShowsEveryControlOfItsPages) {
    QDialog* dialog = Open(0);
    EXPECT_EQ(dialog->windowTitle(), "Options");
    EXPECT_FALSE(dialog->isModal());
    auto* tabs = dialog->findChild<QTabWidget*>("sheet-tabs");
    ASSERT_EQ(tabs->count(), 6);
    QStringList titles;
    for (int page = 0; page < 6; ++page) titles << tabs->tabText(page);
    EXPECT_EQ(titles.join(' '), "General Directories Network Sharing Logging Upload");
    for (int page = 0; page < 6; ++page) {
        tabs->setCurrentIndex(page);
        EXPECT_EQ(sheet_.LastPage(), page);
        const platform::Dialog& model = *sheet_.Sheet().Page(page);
        for (const platform::ControlTemplate& control : model.Layout().controls) {
            QWidget* widget = Control(dialog, control.id);
            ASSERT_NE(widget, nullptr) << page << ": " << control.id;
            auto* button = qobject_cast<QAbstractButton*>(widget);
            auto* label = qobject_cast<QLabel*>(widget);
            auto* group = qobject_cast<QGroupBox*>(widget);
            const QString text = button ? button->text() : label ? label->text() : group ? group->title() : "";
            EXPECT_EQ(text.toStdString(), control.text) << control.id;
        }
    }
}

TEST_F(QtView, ClicksAndKeysReachThePagesAndRadioButtonsStayExclusive) {
    Settings().UploadOn = 1;  // so that every group is enabled
    QDialog* dialog = Open(0);
    auto* apply = dialog->findChild<QPushButton*>("sheet-apply");
    EXPECT_FALSE(apply->isEnabled());
    QTest::mouseClick(Control(dialog, general::kRootFileChoice), Qt::LeftButton);
    EXPECT_TRUE(Control(dialog, general::kRootFileBox)->isEnabled()) << "the page enabled the root file";
    EXPECT_FALSE(Control<QRadioButton>(dialog, general::kDriveIndex)->isChecked());
    auto* port = Control<QLineEdit>(dialog, general::kPortBox);
    port->clear();
    QTest::keyClicks(port, "81x82");
    EXPECT_EQ(port->text(), "8182") << "the box keeps digits only";
    QTest::mouseClick(apply, Qt::LeftButton);
    EXPECT_EQ(Settings().Port, 8182);
    EXPECT_EQ(Settings().RootOption, kRootFile);
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
    QTest::mouseClick(dialog->findChild<QPushButton*>("sheet-ok"), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ(platform::QtSheetView::OpenDialog(), nullptr);
}

TEST_F(QtView, EnterInAnEntryBoxAddsOrRefusesOnce) {
    QDialog* dialog = Open(2);
    QTest::mouseClick(Control(dialog, network::kSelective), Qt::LeftButton);
    auto* address = Control<QLineEdit>(dialog, network::kEntryBox);
    QTest::keyClicks(address, "10.1.2");
    QTest::keyClick(address, Qt::Key_Return);
    auto* list = Control<QListWidget>(dialog, network::kList);
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), "10.1.2");
    QTest::keyClicks(address, "no-such-host.invalid");
    QTest::keyClick(address, Qt::Key_Return);
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(waitCursors, 1) << "the name is looked up once";
    EXPECT_EQ(address->text(), "no-such-host.invalid") << "left in the box for correction";
    dialog->findChild<QTabWidget*>("sheet-tabs")->setCurrentIndex(3);
    QTest::mouseClick(Control(dialog, sharing::kSelective), Qt::LeftButton);
    QTest::keyClicks(Control(dialog, sharing::kEntryBox), "c:\\missing");
    QTest::keyClick(Control(dialog, sharing::kEntryBox), Qt::Key_Return);
    EXPECT_EQ(messages.size(), 2u);
    EXPECT_TRUE(sheet_.Sheet().IsOpen()) << "Enter added instead of closing";
    QTest::mouseClick(dialog->findChild<QPushButton*>("sheet-cancel"), Qt::LeftButton);
    EXPECT_EQ(Settings().IpOption, kAccessAll) << "Cancel stored nothing";
}

// The desktop's own file dialog, typed into from inside its event loop; message boxes
// are closed and kept, and a dialog still open afterwards is cancelled.
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
    EXPECT_EQ(browse("new.log"), "");
    EXPECT_EQ(Control<QLineEdit>(dialog, logging::kFileBox)->text(), "C:\\new.log");
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Qt wants a private runtime directory; the tests keep theirs in the build tree.
    const std::string runtime = std::string(PELLORA_ARTIFACT_DIR) + "/qt-runtime";
    mkdir(PELLORA_ARTIFACT_DIR, 0755);
    mkdir(runtime.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 0);
    ::testing::InitGoogleTest(&argc, argv);
    static const std::unique_ptr<platform::MessageQueue> queue = platform::MessageQueue::Create();
    static int qtArgc = 1;
    static char* qtArgv[] = {argv[0], nullptr};
    const std::unique_ptr<platform::Desktop> desktop(PelloraOpenDesktop(qtArgc, qtArgv, *queue));
    if (!desktop) return std::fprintf(stderr, "the offscreen Qt platform did not open\n"), 1;
    theDesktop = desktop.get();
    theQueue = queue.get();
    return RUN_ALL_TESTS();
}
