// The main window's commands and the Options sheet's pages, on a recording window, the
// real server and the test's own store, with the desktop's dialogs answered by the test.
#include "config/OptionsFile.h"
#include "platform/Socket.h"
#include "tests/support/ServerProcess.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/DottedAddress.h"
#include "ui/MainMenu.h"
#include "ui/MainWindow.h"
#include "ui/OptionsPageLayouts.h"
#include "ui/OptionsSheet.h"

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

TEST(DottedAddress, TakesTheClassicFormsOnly) {
    // clang-format off
    const std::pair<const char*, std::optional<std::uint32_t>> rows[] = {
        {"192.168.1.2", 0xC0A80102}, {"192.168", 0xC00000A8}, {"10.65535", 0x0A00FFFF}, {"010.0.0.1", 0x08000001},
        {"0x7f.1", 0x7F000001}, {"192.168.1.", 0xC0A80100}, {"10.0.0.300", {}}, {"255.255.255.255", {}},
        {"0xffffffff", {}}, {"1.2.3.4.5", {}}, {"1..2", {}}, {"08", {}}, {"0x", {}}, {"1. 2", {}}, {"", {}},
        {"99999999999999999999", {}}};
    // clang-format on
    for (const auto& [text, address] : rows) EXPECT_EQ(ParseDottedAddress(text), address) << text;
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

    ServerControl control_{server_, window_};
    OptionsSheet sheet_{control_, window_, drive_.Path()};
};

TEST_F(Options, ChoicesEnableTheControlsTheyNeedAndNoOthers) {
    using namespace directories;
    // what, page, the control clicked, enabled after, disabled after
    // clang-format off
    const std::tuple<const char*, int, int, std::vector<int>, std::vector<int>> rows[] = {
        {"root file", 0, general::kRootFileChoice, {general::kRootFileBox, general::kFileLabel, general::kBrowse}, {}},
        {"root error", 0, general::kRootErrorChoice, {},
         {general::kRootFileBox, general::kFileLabel, general::kBrowse}},
        {"index else listing", 1, kIndexElseListing, {kFileBox, kFileLabel, kStyleGroup, kTableStyle}, {}},
        {"a directory error", 1, kError, {}, {kFileBox, kFileLabel, kStyleGroup, kTableStyle, kPreStyle}},
        {"some users", 2, network::kSelective, {network::kEntryBox, network::kList, network::kHint}, {network::kAdd}},
        {"all users", 2, network::kAll, {}, {network::kEntryBox, network::kList, network::kHint, network::kAdd}},
        {"all but some directories", 3, sharing::kRestrictive, {sharing::kEntryBox, sharing::kList}, {sharing::kAdd}},
        {"uploads on", 5, upload::kEnable, {upload::kGroup, upload::kAllShared, upload::kIncludeLink},
         {upload::kDirectoryBox}},
        {"one upload directory", 5, upload::kOneDirectory, {upload::kDirectoryLabel, upload::kDirectoryBox}, {}},
        {"uploads off", 5, upload::kEnable, {}, {upload::kGroup, upload::kOneDirectory, upload::kDirectoryBox}}};
    // clang-format on
    for (const auto& [what, page, click, enabled, disabled] : rows) {
        Dialog& dialog = Open(page);
        dialog.UserClicks(click);
        for (const int id : enabled) EXPECT_TRUE(dialog.Enabled(id)) << what << ": " << id;
        for (const int id : disabled) EXPECT_FALSE(dialog.Enabled(id)) << what << ": " << id;
    }
    EXPECT_EQ(Open(0).Limit(general::kPortBox) + Open(2).Limit(network::kEntryBox), 9u + 127u);
}

TEST_F(Options, EveryEditEnablesApplyWhichRecordsAndSavesIt) {
    // what, page, control, text typed (none: a click), the setting's options-file key, its value after Apply
    const std::tuple<const char*, int, int, const char*, const char*, const char*> rows[] = {
        {"digits only in the port box", 0, general::kPortBox, "80a81", "Port", "8081"},
        {"a root file", 0, general::kRootFileChoice, nullptr, "RootOption", "1"},
        {"a root error", 0, general::kRootErrorChoice, nullptr, "RootOption", "2"},
        {"the table style", 1, directories::kTableStyle, nullptr, "UseTable", "1"},
        {"index else listing", 1, directories::kIndexElseListing, nullptr, "DirOption", "1"},
        {"its file, trimmed", 1, directories::kFileBox, " default.htm ", "DirFile", "default.htm"},
        {"index else error", 1, directories::kIndexElseError, nullptr, "DirOption", "2"},
        {"a directory error drops the file", 1, directories::kError, nullptr, "DirFile", ""},
        {"a listing", 1, directories::kListing, nullptr, "DirOption", "0"},
        {"selected users", 2, network::kSelective, nullptr, "IpOption", "1"},
        {"all but some directories", 3, sharing::kRestrictive, nullptr, "DirAccessOption", "2"},
        {"logging on", 4, logging::kEnable, nullptr, "LogOption", "1"},
        {"its file, trimmed", 4, logging::kFileBox, " c:\\l.log ", "LogFile", "c:\\l.log"},
        {"logging off drops the file", 4, logging::kEnable, nullptr, "LogFile", ""},
        {"uploads on", 5, upload::kEnable, nullptr, "UploadOn", "1"},
        {"one upload directory", 5, upload::kOneDirectory, nullptr, "UploadAccessType", "0"},
        {"its name, trimmed", 5, upload::kDirectoryBox, " c:\\in ", "UploadDir", "c:\\in"},
        {"no upload link", 5, upload::kIncludeLink, nullptr, "IncludeUploadLink", "0"},
        {"uploads off forget the directory", 5, upload::kEnable, nullptr, "UploadDir", ""}};
    for (const auto& [what, page, control, typed, key, value] : rows) {
        Dialog& dialog = Open(page);
        typed != nullptr ? dialog.UserTypes(control, typed) : dialog.UserClicks(control);
        EXPECT_TRUE(sheet().ApplyEnabled()) << what;
        sheet().PressApply();
        EXPECT_FALSE(sheet().ApplyEnabled()) << what;
        EXPECT_EQ(Setting(key), Both(value)) << what;
    }
    EXPECT_EQ(Setting("UploadAccessType") + Setting("IncludeUploadLink"), "1|11|1") << "uploads off reset them";
}

TEST_F(Options, ApplyOkCancelBrowseAndHistoryActAsTheirButtonsSay) {
    drive_.WriteFile("web/index.htm", "<p>hi</p>");
    Settings().RootFile.Assign("c:\\old\\start.htm");
    SaveGlobalSettings();
    Dialog& general = Open(0);
    EXPECT_EQ(sheet().Page(1), nullptr) << "pages are built when first shown";
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

    Dialog& logging = Open(4);
    sheet_.Open();  // a second Options command brings the open sheet forward
    EXPECT_EQ(sheet().ActivePage(), 4);
    logging.UserClicks(logging::kEnable);
    nextChoice = drive_ / "logs/access";
    logging.UserClicks(logging::kBrowse);
    EXPECT_EQ(logging.Text(logging::kFileBox), "C:\\logs\\access.log");
    EXPECT_EQ(dialogs, (std::vector<std::string>{"Select a file|HTML File (*.htm, *.html)|*.htm; *.html|",
                                                 "Select a log file|Log File (*.log)|*.log|log"}));
    sheet().PressOk();
    EXPECT_EQ(Setting("LogFile"), Both("C:\\logs\\access.log")) << "OK saves the shown pages";
    sheet_.Open();
    EXPECT_TRUE(sheet().ActivePage() == 4 && sheet().Page(0) == nullptr) << "reopened afresh where it was";
}

TEST_F(Options, TheAccessPagesTakeEightAddressesThatResolveAndDirectoriesThatExist) {
    drive_.MakeDirectory("Data/sub");
    drive_.WriteFile("notes.txt", "x");
    Dialog& sharing = Open(3);
    sharing.UserClicks(sharing::kSelective);
    for (const std::string& entry : {std::string("c:"), std::string("c:\\Data\\"), std::string("C:\\Data"),
                                     drive_ / "Data/sub", std::string("c:\\notes.txt"), std::string("q:\\")}) {
        Add(sharing, sharing::kEntryBox, sharing::kAdd, entry);
    }
    EXPECT_EQ(Items(sharing, sharing::kList), (std::vector<std::string>{"c:\\", "c:\\Data", "C:\\Data\\sub"}))
        << "letter case aside, C:\\Data is already listed; a host path comes in drive form";
    EXPECT_EQ(messages, std::vector<std::string>(2, "Error: This is not a valid directory path."));
    sheet().PressOk();
    EXPECT_EQ(Setting("Dir2"), Both("C:\\Data\\sub"));
    EXPECT_EQ(window_.status.count(1), 0u) << "the Sharing page leaves the status bar alone";
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
    for (const char* entry : {"192.168.1.", "10", "localhost"}) Add(page, network::kEntryBox, network::kAdd, entry);
    EXPECT_EQ(waitCursors, 1) << "only the host name was looked up";
    for (const char* entry : {"10.0.0.300", "no-such-host.invalid", "000000000000000000001"}) {
        Add(page, network::kEntryBox, network::kAdd, entry);
    }
    EXPECT_EQ(Items(page, network::kList), (std::vector<std::string>{"10", "127.0.0.1", "192.168.1"}));
    EXPECT_EQ(messages, std::vector<std::string>(3,
                                                 "Error: Incorrect IP address.\r\nPlease use the format "
                                                 "123.123.123.123\r\nor enter a valid host name."));
    EXPECT_EQ(page.Text(network::kEntryBox), "000000000000000000001") << "the text stays for correction";
    sheet().PressApply();
    EXPECT_EQ(Setting("Ip1") + " " + Setting("Ip3") + " " + window_.status[1],
              "127.0.0.1|127.0.0.1 |(none) Users restricted");
    Add(page, network::kEntryBox, network::kAdd, "10.1");
    sheet().PressOk();
    EXPECT_EQ(Setting("Ip1"), Both("10.1")) << "the list is kept sorted";
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
               (window_.menu.at(kCommandStartServer) ? "start" : "") +
               (window_.menu.at(kCommandStopServer) ? "stop" : "");
    }

    std::unique_ptr<MainWindow> logic_;
};

TEST_F(Window, CommandsKeepListenerMenuAndTitleInStepAndOpenTheirDialogsAndDocuments) {
    const int taken = FreePort();
    platform::Socket holder = platform::Socket::CreateStream();  // another program on the port
    ASSERT_TRUE(holder.Bind(taken) && holder.Listen(1));
    logic_ =
        std::make_unique<MainWindow>(server_, *queue_, window_, WriteOptions(taken, kAccessSelective), drive_.Path());
    logic_->OnCreate();
    EXPECT_EQ(window_.picture, drive_ / "images/window.gif");
    EXPECT_EQ(Shown(), "Pellora - [Off-Line] Server Off-Line, Users restricted: start");
    EXPECT_EQ(messages.size(), 1u);
    holder.Close();
    Command(kCommandStartServer);
    EXPECT_TRUE(Listening(taken)) << "the port came free and Start took it";
    EXPECT_EQ(Shown(), "Pellora [Port:" + std::to_string(taken) + "] Listening on Port: [" + std::to_string(taken) +
                           "], Users restricted: stop");
    Command(kCommandStopServer);
    EXPECT_FALSE(Listening(taken));
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
    EXPECT_EQ(dialogs.front() + dialogs.back(),
              "Load Options|Options file (*.opt)|*.opt|optSave Options|Options File (*.opt)|*.opt|opt");
    EXPECT_NE(ReadWholeFile(home_ / "mine.opt").find("\nPort:" + std::to_string(running)), std::string::npos);
    const auto help = [&] {
        Command(kCommandReadme);
        logic_->Handle(Message{platform::kHelpMessage, 0, 0});
        Command(kCommandHelpTopics);
    };
    help();
    EXPECT_EQ(messages.at(3), "Pellora Error: Could not find the help page " + (drive_ / "help/index.html"));
    for (const char* name : {"readme.txt", "help/window.html", "help/index.html"}) drive_.WriteFile(name, "x");
    help();
    EXPECT_EQ(opened, (std::vector<std::string>{drive_ / "readme.txt", drive_ / "help/window.html",
                                                drive_ / "help/index.html"}));
    logic_->Handle(Message{platform::kSystemCommandMessage, kSystemCommandOptions, 0});
    logic_->Options().Sheet().Activate(3);
    Command(kCommandOptions);
    EXPECT_EQ(logic_->Options().Sheet().ActivePage(), 3) << "the open sheet is brought forward, not rebuilt";
    Command(kCommandAbout);
    EXPECT_EQ(window_.about, "About Pellora");
    Command(kCommandExit);
    EXPECT_FALSE(Listening(running) || logic_->Options().Sheet().IsOpen());
    Message message;
    ASSERT_TRUE(queue_->Peek(message, platform::PeekMode::Remove));
    EXPECT_EQ(message.id, platform::kQuitMessage);
}

}  // namespace
