#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

#include "platform/qt/QtSheetView.h"
#include "tests/qt/QtDesktopTest.h"
#include "ui/OptionsPageLayouts.h"
#include "ui/OptionsSheet.h"

namespace {

using platform::QtSheetView;

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

}  // namespace
