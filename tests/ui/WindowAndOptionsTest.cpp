// The main window's commands and the Options sheet's pages, on a recording window, the
// real server and the test's own store, with the desktop's dialogs answered by the test.
#include "config/OptionsFile.h"
#include "platform/Socket.h"
#include "tests/support/ServerProcess.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/MainMenu.h"
#include "ui/MainWindow.h"
#include "ui/OptionsPageLayouts.h"

namespace {

using platform::Dialog;
using platform::Message;

// A listener holds its port: no other socket can be bound to it.
bool Listening(int port) {
    return !platform::Socket::CreateStream().Bind(port);
}
std::string Both(const std::string& value) {
    return value + "|" + value;
}

class Options : public UiTest {
protected:
    Dialog& Open(int page) {
        sheet_.Open();
        sheet().Activate(page);
        return *sheet().Page(page);
    }
    // Types the entry and presses Add, as a person would.
    static void Add(Dialog& page, int box, int add, std::string_view text) {
        page.UserTypes(box, text);
        page.UserClicks(add);
    }
    static std::vector<std::string> Items(const Dialog& page, int list) {
        std::vector<std::string> items;
        for (int i = 0; i < page.ItemCount(list); ++i) items.emplace_back(page.Item(list, i));
        return items;
    }
    platform::PropertySheet& sheet() { return sheet_.Sheet(); }
};

// Every choice enables the controls it needs and no others, and every edit enables Apply,
// which records and saves it.
TEST_F(Options, EveryEditEnablesItsControlsAndApplyWhichRecordsAndSavesIt) {
    using namespace directories;
    using namespace upload;
    // what, page, control, text typed (none: a click), options-file key, its value after Apply, enabled, disabled
    // clang-format off
    const std::tuple<const char*, int, int, const char*, const char*, const char*, std::vector<int>, std::vector<int>>
        rows[] = {
        {"digits only in the port box", 0, general::kPortBox, "80a81", "Port", "8081", {}, {}},
        {"a root file", 0, general::kRootFileChoice, nullptr, "RootOption", "1",
         {general::kRootFileBox, general::kFileLabel, general::kBrowse}, {}},
        {"a root error", 0, general::kRootErrorChoice, nullptr, "RootOption", "2", {},
         {general::kRootFileBox, general::kFileLabel, general::kBrowse}},
        {"the table style", 1, kTableStyle, nullptr, "UseTable", "1", {}, {}},
        {"index else listing", 1, kIndexElseListing, nullptr, "DirOption", "1",
         {kFileBox, kFileLabel, kStyleGroup, kTableStyle}, {}},
        {"its file, trimmed", 1, kFileBox, " default.htm ", "DirFile", "default.htm", {}, {}},
        {"index else error", 1, kIndexElseError, nullptr, "DirOption", "2", {}, {}},
        {"a directory error drops the file", 1, kError, nullptr, "DirFile", "", {},
         {kFileBox, kFileLabel, kStyleGroup, kTableStyle, kPreStyle}},
        {"a listing", 1, kListing, nullptr, "DirOption", "0", {}, {}},
        {"selected users", 2, network::kSelective, nullptr, "IpOption", "1",
         {network::kEntryBox, network::kList, network::kHint}, {network::kAdd}},
        {"all users", 2, network::kAll, nullptr, "IpOption", "0", {},
         {network::kEntryBox, network::kList, network::kHint, network::kAdd}},
        {"all but some directories", 3, sharing::kRestrictive, nullptr, "DirAccessOption", "2",
         {sharing::kEntryBox, sharing::kList}, {sharing::kAdd}},
        {"logging on", 4, logging::kEnable, nullptr, "LogOption", "1", {}, {}},
        {"its file, trimmed", 4, logging::kFileBox, " c:\\l.log ", "LogFile", "c:\\l.log", {}, {}},
        {"logging off drops the file", 4, logging::kEnable, nullptr, "LogFile", "", {}, {}},
        {"uploads on", 5, kEnable, nullptr, "UploadOn", "1", {kGroup, kAllShared, kIncludeLink}, {kDirectoryBox}},
        {"one upload directory", 5, kOneDirectory, nullptr, "UploadAccessType", "0",
         {kDirectoryLabel, kDirectoryBox}, {}},
        {"its name, trimmed", 5, kDirectoryBox, " c:\\in ", "UploadDir", "c:\\in", {}, {}},
        {"no upload link", 5, kIncludeLink, nullptr, "IncludeUploadLink", "0", {}, {}},
        {"uploads off forget the directory", 5, kEnable, nullptr, "UploadDir", "", {},
         {kGroup, kOneDirectory, kDirectoryBox}}};
    // clang-format on
    for (const auto& [what, page, control, typed, key, value, enabled, disabled] : rows) {
        Dialog& dialog = Open(page);
        typed != nullptr ? dialog.UserTypes(control, typed) : dialog.UserClicks(control);
        for (const int id : enabled) EXPECT_TRUE(dialog.Enabled(id)) << what << ": " << id;
        for (const int id : disabled) EXPECT_FALSE(dialog.Enabled(id)) << what << ": " << id;
        EXPECT_TRUE(sheet().ApplyEnabled()) << what;
        sheet().PressApply();
        EXPECT_FALSE(sheet().ApplyEnabled()) << what;
        EXPECT_EQ(Setting(key), Both(value)) << what;
    }
    EXPECT_EQ(Setting("UploadAccessType") + Setting("IncludeUploadLink"), "1|11|1") << "uploads off reset them";
    EXPECT_EQ(Open(0).Limit(general::kPortBox) + Open(2).Limit(network::kEntryBox), 9u + 127u);
}

TEST_F(Options, ApplyOkCancelBrowseAndHistoryActAsTheirButtonsSay) {
    drive_.WriteFile("web/index.htm", "<p>hi</p>");
    Settings().RootFile.Assign("c:\\old\\start.htm");
    SaveGlobalSettings();
    Dialog& general = Open(0);
    nextChoice = drive_ / "web/index.htm";
    general.UserClicks(general::kRootFileChoice);
    general.UserClicks(general::kBrowse);
    EXPECT_EQ(std::string(general.Text(general::kRootFileBox)) + " " + std::string(general.Text(general::kRootDirBox)),
              "C:\\web\\index.htm C:\\web")
        << "host paths come back in drive form";
    general.UserSelects(general::kRootFileBox, 0);
    EXPECT_EQ(general.Text(general::kRootDirBox), "c:\\old") << "the history's file";
    general.UserTypes(general::kCgiDirBox, "bin");
    sheet().PressApply();
    general.UserTypes(general::kCgiDirBox, "second");
    sheet().PressCancel();
    EXPECT_EQ(Setting("CgiDir") + " " + Setting("DirOption"), "bin|bin 0|(none)") << "an unseen page saves nothing";

    // The log file's own dialog is the Qt view test's.
    Open(4).UserClicks(logging::kEnable);
    sheet().PressOk();
    EXPECT_EQ(Setting("LogOption"), Both("1")) << "OK saves the shown pages";
    sheet_.Open();
    EXPECT_TRUE(sheet().ActivePage() == 4 && sheet().Page(0) == nullptr) << "reopened afresh where it was";
}

TEST_F(Options, TheAccessPagesTakeEightAddressesThatResolveAndDirectoriesThatExist) {
    drive_.MakeDirectory("Data/sub");
    Dialog& sharing = Open(3);
    sharing.UserClicks(sharing::kSelective);
    for (const std::string& entry : {std::string("c:"), std::string("c:\\Data\\"), std::string("C:\\Data"),
                                     drive_ / "Data/sub", std::string("q:\\")}) {
        Add(sharing, sharing::kEntryBox, sharing::kAdd, entry);
    }
    EXPECT_EQ(Items(sharing, sharing::kList), (std::vector<std::string>{"c:\\", "c:\\Data", "C:\\Data\\sub"}))
        << "letter case aside, C:\\Data is already listed; a host path comes in drive form";
    EXPECT_EQ(messages, std::vector<std::string>{"Error: This is not a valid directory path."});
    sheet().PressOk();
    EXPECT_EQ(Setting("Dir2"), Both("C:\\Data\\sub"));
    for (int i = 0; i < 6; ++i)
        Add(Open(3), sharing::kEntryBox, sharing::kAdd, drive_.MakeDirectory(std::to_string(i)));
    EXPECT_EQ(messages.back(), "Error: You can only define at most 8 directory pathes.");
    sheet().PressCancel();
    messages.clear();
    Settings().IpOption = kAccessRestrictive;
    Settings().IpList[0].Assign("10.0.0.9");
    SaveIpAccessSettings();
    Dialog& page = Open(2);
    page.UserClicks(network::kAll);
    sheet().PressApply();
    EXPECT_EQ(Setting("Ip0") + " " + window_.status[1], "|(none) All users allowed") << "the list is emptied";
    page.UserClicks(network::kSelective);
    EXPECT_EQ(Items(page, network::kList), std::vector<std::string>{"10.0.0.9"}) << "kept until the sheet closes";
    page.UserSelects(network::kList, 0);
    page.UserClicks(network::kRemove);
    EXPECT_FALSE(page.Enabled(network::kAdd)) << "Add waits for a text";
    // The name lookups and the text kept for correction are the Qt view test's.
    for (const char* entry : {"192.168.1.", "10", "localhost", "10.0.0.300", "10.1"}) {
        Add(page, network::kEntryBox, network::kAdd, entry);
    }
    EXPECT_EQ(messages, std::vector<std::string>{"Error: Incorrect IP address.\r\nPlease use the format "
                                                 "123.123.123.123\r\nor enter a valid host name."});
    sheet().PressOk();
    EXPECT_EQ(Setting("Ip1") + " " + Setting("Ip2") + " " + Setting("Ip4"), "10.1|10.1 127.0.0.1|127.0.0.1 |(none)")
        << "the list is kept sorted";
}

class Window : public UiTest {
protected:
    std::string WriteOptions(int port, int ipOption) {
        ServerSettings options;
        options.Port = port, options.IpOption = ipOption, options.IpList[0].Assign("10.0.0.1");
        return home_.WriteFile(std::to_string(port) + ".opt", FormatOptionsFile(options));
    }
    void Command(std::uint64_t id) { logic_->Handle(Message{platform::kCommandMessage, id, 0}); }
    // Title, status bar, and which of Start Server and Stop Server the menu offers.
    std::string Shown() {
        return window_.title + " " + window_.status[0] + ", " + window_.status[1] + ": " +
               (window_.MenuItemEnabled(kCommandStartServer) ? "start" : "") +
               (window_.MenuItemEnabled(kCommandStopServer) ? "stop" : "");
    }

    std::unique_ptr<MainWindow> logic_;
};

TEST_F(Window, CommandsKeepListenerMenuAndTitleInStepAndOpenTheirDialogsAndDocuments) {
    // The server that cannot listen at the start is the served tests' (StartupTest).
    const int first = FreePort();
    logic_ =
        std::make_unique<MainWindow>(server_, *queue_, window_, WriteOptions(first, kAccessSelective), drive_.Path());
    logic_->OnCreate();
    EXPECT_EQ(Shown(), "Pellora [Port:" + std::to_string(first) + "] Listening on Port: [" + std::to_string(first) +
                           "], Users restricted: stop");
    Command(kCommandStopServer);
    EXPECT_FALSE(Listening(first));
    EXPECT_EQ(Shown(), "Pellora - [Off-Line] Server Off-Line, Users restricted: start");
    const int stopped = FreePort();
    nextChoice = WriteOptions(stopped, kAccessSelective);
    Command(kCommandLoadOptions);
    EXPECT_FALSE(Listening(stopped)) << "a stopped server stays stopped";
    EXPECT_EQ(Setting("Port") + " " + Setting("Ip0"), Both(std::to_string(stopped)) + " " + Both("10.0.0.1"));
    Command(kCommandStartServer);
    const int running = FreePort();
    nextChoice = WriteOptions(running, kAccessAll);
    Command(kCommandLoadOptions);
    EXPECT_TRUE(Listening(running) && !Listening(stopped));
    EXPECT_EQ(window_.status[1], "All users allowed");

    nextChoice = home_ / "mine";
    Command(kCommandSaveOptionsAs);
    EXPECT_NE(ReadWholeFile(home_ / "mine.opt").find("\nPort:" + std::to_string(running)), std::string::npos);
    const auto help = [&] {
        Command(kCommandReadme);
        logic_->Handle(Message{platform::kHelpMessage, 0, 0});
        Command(kCommandHelpTopics);
    };
    help();
    EXPECT_EQ(messages.at(2), "Pellora Error: Could not find the help page " + (drive_ / "help/index.html"));
    for (const char* name : {"readme.txt", "help/window.html", "help/index.html"}) drive_.WriteFile(name, "x");
    help();
    EXPECT_EQ(opened, (std::vector<std::string>{drive_ / "readme.txt", drive_ / "help/window.html",
                                                drive_ / "help/index.html"}));
    logic_->Handle(Message{platform::kSystemCommandMessage, kSystemCommandOptions, 0});
    logic_->Options().Sheet().Activate(3);
    Command(kCommandOptions);
    EXPECT_EQ(logic_->Options().Sheet().ActivePage(), 3) << "the open sheet is brought forward, not rebuilt";
    Command(kCommandExit);
    EXPECT_FALSE(Listening(running) || logic_->Options().Sheet().IsOpen());
    Message message;
    ASSERT_TRUE(queue_->Peek(message, platform::PeekMode::Remove));
    EXPECT_EQ(message.id, platform::kQuitMessage);
}

}  // namespace
