#include "ui/OptionsSheet.h"

#include "config/RegistryStore.h"
#include "config/SettingsTable.h"
#include "tests/support/ServerProcess.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/GeneralPage.h"
#include "ui/OptionsPageLayouts.h"

namespace {

using platform::Dialog;

class OptionsSheetTest : public UiTest {
protected:
    Dialog& OpenOn(int page) {
        sheet_.Open();
        options().Activate(page);
        Dialog* dialog = options().Page(page);
        EXPECT_NE(dialog, nullptr);
        return *dialog;
    }
    platform::PropertySheet& options() { return sheet_.Sheet(); }

    ServerControl control_{server_, window_};
    OptionsSheet sheet_{control_, window_, drive_.Path()};
};

TEST_F(OptionsSheetTest, OkOnTheFirstPageStoresAndSavesThatPageOnly) {
    Settings().DirOption = kDirError;
    sheet_.Open();
    Dialog& general = *options().Page(0);
    EXPECT_EQ(options().Page(1), nullptr) << "pages are built when first shown";
    general.UserTypes(general::kCgiDirBox, "  scripts  ");
    options().PressOk();

    EXPECT_FALSE(options().IsOpen());
    EXPECT_EQ(Settings().CgiDir.View(), "scripts");
    EXPECT_EQ(StoredText(kStoreGlobal, "CgiDir"), "scripts");
    EXPECT_EQ(StoredNumber(kStoreDirAccess, "DirIndexType"), std::nullopt) << "an unseen page saves nothing";
    EXPECT_EQ(Settings().DirOption, kDirError);
}

TEST_F(OptionsSheetTest, CancelDropsEditsSinceTheLastApply) {
    Dialog& general = OpenOn(0);
    general.UserTypes(general::kRootDirBox, "c:\\first");
    options().PressApply();
    general.UserTypes(general::kRootDirBox, "c:\\second");
    options().PressCancel();
    EXPECT_EQ(Settings().RootDir.View(), "c:\\first");
    EXPECT_EQ(StoredText(kStoreGlobal, "RootPath"), "c:\\first");
}

TEST_F(OptionsSheetTest, ApplyIsEnabledByAChangeOnlyAndAppliesEveryShownPage) {
    Dialog& general = OpenOn(0);
    EXPECT_FALSE(options().ApplyEnabled()) << "loading the pages is no change";
    Dialog& directories = OpenOn(1);
    EXPECT_FALSE(options().ApplyEnabled());
    directories.UserClicks(directories::kTableStyle);
    EXPECT_TRUE(options().ApplyEnabled());
    options().PressApply();
    EXPECT_FALSE(options().ApplyEnabled());
    EXPECT_EQ(Settings().UseTable, 1);
    EXPECT_EQ(StoredNumber(kStoreDirAccess, "UseTableStyle"), 1u);
    EXPECT_EQ(StoredNumber(kStoreGlobal, "Port"), 80u) << "the General page, shown too, saved its section";
    (void)general;
}

TEST_F(OptionsSheetTest, ReopensOnTheLastActivePageAndOpensOnlyOnce) {
    OpenOn(4);
    EXPECT_EQ(sheet_.LastPage(), 4);
    sheet_.Open();  // a second Options command brings the open sheet forward
    EXPECT_EQ(options().ActivePage(), 4);
    options().PressCancel();
    sheet_.Open();
    EXPECT_EQ(options().ActivePage(), 4);
    EXPECT_NE(options().Page(4), nullptr);
    EXPECT_EQ(options().Page(0), nullptr);
}

TEST_F(OptionsSheetTest, HelpOpensThePageOfTheActivePage) {
    drive_.WriteFile("help/sharing.html", "<p>sharing</p>");
    OpenOn(3);
    options().PressHelp();
    OpenOn(5);
    options().PressHelp();
    EXPECT_EQ(openedDocuments, std::vector<std::string>{drive_ / "help/sharing.html"});
    EXPECT_EQ(messages,
              std::vector<std::string>{"Pellora Error: Could not find the help page " + (drive_ / "help/upload.html")});
}

TEST_F(OptionsSheetTest, GeneralPageEnablesTheRootFileForItsChoiceOnly) {
    Settings().RootOption = kRootFile;
    Settings().RootFile.Assign("c:\\web\\index.htm");
    Dialog& page = OpenOn(0);
    EXPECT_TRUE(page.Checked(general::kRootFileChoice));
    EXPECT_TRUE(page.Enabled(general::kRootFileBox));
    EXPECT_EQ(page.Text(general::kRootFileBox), "c:\\web\\index.htm");
    EXPECT_EQ(page.Limit(general::kPortBox), 9u);
    page.UserClicks(general::kRootErrorChoice);
    for (const int id : {general::kRootFileBox, general::kFileLabel, general::kBrowse}) {
        EXPECT_FALSE(page.Enabled(id)) << id;
    }
    options().PressApply();
    EXPECT_EQ(Settings().RootOption, kRootError);
    EXPECT_EQ(Settings().RootFile.View(), "c:\\web\\index.htm") << "the error choice keeps the root file";
    page.UserClicks(general::kDriveIndex);
    options().PressApply();
    EXPECT_EQ(Settings().RootFile.View(), "");
}

TEST_F(OptionsSheetTest, GeneralPageTakesTheRootFileFromBrowseOrHistory) {
    drive_.WriteFile("web/index.htm", "<p>hi</p>");
    Settings().RootOption = kRootFile;
    Settings().RootFile.Assign("c:\\old\\start.htm");
    SaveGlobalSettings();
    Dialog& page = OpenOn(0);
    ASSERT_EQ(page.ItemCount(general::kRootFileBox), 1);

    nextChoice = drive_ / "web/index.htm";
    page.UserClicks(general::kBrowse);
    EXPECT_EQ(dialogTitles.back(), "Select a file");
    EXPECT_EQ(dialogFilters.front(), "HTML File (*.htm, *.html)|*.htm; *.html");
    EXPECT_EQ(page.Text(general::kRootFileBox), "C:\\web\\index.htm") << "host paths come back in drive form";
    EXPECT_EQ(page.Text(general::kRootDirBox), "C:\\web");

    page.UserSelects(general::kRootFileBox, 0);
    EXPECT_EQ(page.Text(general::kRootFileBox), "c:\\old\\start.htm");
    EXPECT_EQ(page.Text(general::kRootDirBox), "c:\\old");
    EXPECT_TRUE(options().ApplyEnabled());
}

TEST_F(OptionsSheetTest, GeneralPageRestartsARunningListenerOnANewPortOnly) {
    StartServer();
    control_.SetRunning(true);
    const int oldPort = Settings().Port;
    const int newPort = FreePort();
    Dialog& page = OpenOn(0);
    page.UserTypes(general::kPortBox, std::to_string(newPort));
    options().PressApply();
    EXPECT_EQ(Settings().Port, newPort);
    EXPECT_TRUE(Accepts(newPort));
    EXPECT_FALSE(Accepts(oldPort));
    EXPECT_EQ(window_.title, "Pellora [Port:" + std::to_string(newPort) + "]");
    EXPECT_EQ(StoredNumber(kStoreGlobal, "Port"), static_cast<std::uint32_t>(newPort));

    window_.title.clear();
    page.UserTypes(general::kCgiDirBox, "bin");
    options().PressApply();
    EXPECT_EQ(window_.title, "") << "the same port is no restart";
}

TEST_F(OptionsSheetTest, GeneralPageTurnsAnEmptyOrOddPortBoxIntoANumber) {
    Dialog& page = OpenOn(0);
    page.UserTypes(general::kPortBox, "80a81");
    EXPECT_EQ(page.Text(general::kPortBox), "8081") << "the box takes digits only";
    page.UserTypes(general::kPortBox, "");
    options().PressOk();
    EXPECT_EQ(Settings().Port, 0);
}

TEST_F(OptionsSheetTest, DirectoriesPageFollowsItsChoices) {
    Settings().DirOption = kDirIndexElseError;
    Settings().DirFile.Assign("index.htm");
    Dialog& page = OpenOn(1);
    EXPECT_EQ(page.Text(directories::kFileBox), "index.htm");
    EXPECT_TRUE(page.Enabled(directories::kFileBox));
    EXPECT_FALSE(page.Enabled(directories::kStyleGroup)) << "no listing is ever made for this choice";
    EXPECT_TRUE(page.Checked(directories::kPreStyle));

    page.UserClicks(directories::kListing);
    EXPECT_FALSE(page.Enabled(directories::kFileBox));
    EXPECT_TRUE(page.Enabled(directories::kTableStyle));
    page.UserClicks(directories::kIndexElseListing);
    EXPECT_TRUE(page.Enabled(directories::kFileBox));
    EXPECT_TRUE(page.Enabled(directories::kTableStyle));
    page.UserTypes(directories::kFileBox, " default.htm ");
    options().PressApply();
    EXPECT_EQ(Settings().DirOption, kDirIndexElseListing);
    EXPECT_EQ(Settings().DirFile.View(), "default.htm");

    page.UserClicks(directories::kError);
    EXPECT_FALSE(page.Enabled(directories::kFileBox));
    EXPECT_FALSE(page.Enabled(directories::kPreStyle));
    options().PressApply();
    EXPECT_EQ(Settings().DirOption, kDirError);
    EXPECT_EQ(Settings().DirFile.View(), "");
    EXPECT_EQ(StoredText(kStoreDirAccess, "DirIndexName"), "");
}

TEST_F(OptionsSheetTest, LoggingPageTakesTheFileOnlyWhileLoggingIsOn) {
    Dialog& page = OpenOn(4);
    EXPECT_FALSE(page.Enabled(logging::kFileBox));
    page.UserClicks(logging::kEnable);
    EXPECT_TRUE(page.Enabled(logging::kBrowse));
    nextChoice = drive_ / "logs/access";
    page.UserClicks(logging::kBrowse);
    EXPECT_EQ(defaultExtension, "log");
    EXPECT_EQ(page.Text(logging::kFileBox), "C:\\logs\\access.log");
    options().PressApply();
    EXPECT_EQ(Settings().LogOption, 1);
    EXPECT_EQ(Settings().LogFile.View(), "C:\\logs\\access.log");
    page.UserClicks(logging::kEnable);
    options().PressOk();
    EXPECT_EQ(Settings().LogOption, 0);
    EXPECT_EQ(StoredText(kStoreLogging, "LogFile"), "");
}

TEST_F(OptionsSheetTest, UploadPageResetsItsChoicesWhenTurnedOff) {
    Settings().UploadOn = 1;
    Settings().UploadAccessType = 0;
    Settings().UploadDir.Assign("c:\\incoming");
    Settings().IncludeUploadLink = 0;
    Dialog& page = OpenOn(5);
    EXPECT_TRUE(page.Enabled(upload::kDirectoryBox));
    page.UserClicks(upload::kAllShared);
    EXPECT_FALSE(page.Enabled(upload::kDirectoryBox));
    options().PressApply();
    EXPECT_EQ(Settings().UploadAccessType, 1);
    EXPECT_EQ(Settings().UploadDir.View(), "c:\\incoming") << "the directory stays for a later choice";

    page.UserClicks(upload::kEnable);
    for (const int id :
         {upload::kGroup, upload::kOneDirectory, upload::kAllShared, upload::kIncludeLink, upload::kDirectoryBox}) {
        EXPECT_FALSE(page.Enabled(id)) << id;
    }
    options().PressApply();
    EXPECT_EQ(Settings().UploadOn, 0);
    EXPECT_EQ(Settings().UploadAccessType, 1);
    EXPECT_EQ(Settings().IncludeUploadLink, 1);
    EXPECT_EQ(Settings().UploadDir.View(), "");
    EXPECT_EQ(StoredNumber(kStoreUpload, "UploadOn"), 0u);
}

TEST(TrimBlanksTest, TrimsBlanksOnlyAtBothEnds) {
    for (const auto& [text, trimmed] : std::vector<std::pair<std::string, std::string>>{
             {"  a b  ", "a b"}, {"", ""}, {"   ", ""}, {"\ta\t", "\ta\t"}, {"x", "x"}}) {
        std::string value = text;
        TrimBlanks(value);
        EXPECT_EQ(value, trimmed) << "'" << text << "'";
    }
}

}  // namespace
