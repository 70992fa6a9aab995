#include "config/RegistryStore.h"
#include "config/SettingsTable.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/AccessStatusText.h"
#include "ui/DottedAddress.h"
#include "ui/OptionsPageLayouts.h"
#include "ui/OptionsSheet.h"

namespace {

using platform::Dialog;

constexpr int kNetworkPage = 2;
constexpr int kSharingPage = 3;
const std::string kIncorrectAddress =
    "Error: Incorrect IP address.\r\nPlease use the format 123.123.123.123\r\nor enter a valid host name.";

class AccessListPagesTest : public UiTest {
protected:
    Dialog& Open(int page) {
        sheet_.Open();
        sheet_.Sheet().Activate(page);
        return *sheet_.Sheet().Page(page);
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

    ServerControl control_{server_, window_};
    OptionsSheet sheet_{control_, window_, drive_.Path()};
};

TEST(DottedAddressTest, AcceptsTheClassicForms) {
    struct Row {
        const char* name;
        const char* text;
        std::optional<std::uint32_t> address;
    };
    const Row rows[] = {
        {"four parts", "192.168.1.2", 0xC0A80102},
        {"partial", "192.168", 0xC0000000 | 168},
        {"one number fills all", "10", 10},
        {"last part fills the rest", "10.65535", 0x0A00FFFF},
        {"octal", "010.0.0.1", 0x08000001},
        {"hexadecimal", "0x7f.1", 0x7F000001},
        {"trailing dot reads a zero part", "192.168.1.", 0xC0A80100},
        {"part too large", "10.0.0.300", std::nullopt},
        {"the error value", "255.255.255.255", std::nullopt},
        {"the error value spelled otherwise", "0xffffffff", std::nullopt},
        {"five parts", "1.2.3.4.5", std::nullopt},
        {"empty part", "1..2", std::nullopt},
        {"octal digit 8", "08", std::nullopt},
        {"bare hex prefix", "0x", std::nullopt},
        {"a name", "localhost", std::nullopt},
        {"blank inside", "1. 2", std::nullopt},
        {"empty", "", std::nullopt},
        {"a lone dot", ".", std::nullopt},
        {"overflowing number", "99999999999999999999", std::nullopt},
    };
    for (const Row& row : rows) EXPECT_EQ(ParseDottedAddress(row.text), row.address) << row.name;
}

TEST_F(AccessListPagesTest, NetworkPageStoresAddressesAsTheRulesSay) {
    Dialog& page = Open(kNetworkPage);
    EXPECT_FALSE(page.Enabled(network::kEntryBox)) << "mode All leaves the list off";
    EXPECT_EQ(page.Limit(network::kEntryBox), 127u);
    page.UserClicks(network::kSelective);
    EXPECT_TRUE(page.Enabled(network::kHint));
    EXPECT_FALSE(page.Enabled(network::kAdd)) << "Add waits for a text";

    Add(page, network::kEntryBox, network::kAdd, "192.168.1.");
    Add(page, network::kEntryBox, network::kAdd, "10");
    Add(page, network::kEntryBox, network::kAdd, "localhost");
    EXPECT_EQ(messages, std::vector<std::string>{});
    EXPECT_EQ(Items(page, network::kList), (std::vector<std::string>{"10", "127.0.0.1", "192.168.1"}));
    EXPECT_EQ(page.Text(network::kEntryBox), "");
    EXPECT_EQ(waitCursors, 1) << "only the host name was looked up";

    Add(page, network::kEntryBox, network::kAdd, "10.0.0.300");
    EXPECT_EQ(messages, std::vector<std::string>{kIncorrectAddress});
    EXPECT_EQ(page.Text(network::kEntryBox), "10.0.0.300") << "the text stays for correction";

    sheet_.Sheet().PressApply();
    EXPECT_EQ(Settings().IpOption, kAccessSelective);
    EXPECT_EQ(Settings().IpList[1].View(), "127.0.0.1");
    EXPECT_EQ(Settings().IpList[3].View(), "");
    EXPECT_EQ(StoredText(kStoreIpAccess, "IP2"), "192.168.1");
    EXPECT_EQ(window_.status[1], "Users restricted");
}

TEST_F(AccessListPagesTest, NetworkPageRefusesNamesThatDoNotResolveOrDoNotFit) {
    Dialog& page = Open(kNetworkPage);
    page.UserClicks(network::kRestrictive);
    Add(page, network::kEntryBox, network::kAdd, "no-such-host.invalid");
    Add(page, network::kEntryBox, network::kAdd, "000000000000000000001");
    EXPECT_EQ(messages, (std::vector<std::string>{kIncorrectAddress, kIncorrectAddress}));
    EXPECT_EQ(page.ItemCount(network::kList), 0);
}

TEST_F(AccessListPagesTest, ListsHoldEightEntriesAndNoDuplicates) {
    Dialog& page = Open(kNetworkPage);
    page.UserClicks(network::kSelective);
    sheet_.Sheet().PressApply();
    for (int i = 1; i <= 8; ++i) Add(page, network::kEntryBox, network::kAdd, "10.0.0." + std::to_string(i));
    Add(page, network::kEntryBox, network::kAdd, "10.0.0.1");
    EXPECT_EQ(messages, std::vector<std::string>{"Error: You can only define at most 8 IP addresses."})
        << "the limit comes first, even for a duplicate";
    EXPECT_EQ(page.Text(network::kEntryBox), "10.0.0.1");

    page.UserSelects(network::kList, 0);
    EXPECT_TRUE(page.Enabled(network::kRemove));
    page.UserClicks(network::kRemove);
    Add(page, network::kEntryBox, network::kAdd, "10.0.0.2");
    EXPECT_EQ(page.ItemCount(network::kList), 7) << "a duplicate adds nothing";
    EXPECT_EQ(page.Text(network::kEntryBox), "") << "and still empties the box";
    page.UserClicks(network::kRemove);
    EXPECT_EQ(page.ItemCount(network::kList), 7) << "Remove without a selection removes nothing";
}

TEST_F(AccessListPagesTest, EnterAddsWhileTypingAndMeansOkAfterward) {
    Dialog& page = Open(kNetworkPage);
    page.UserClicks(network::kSelective);
    page.UserTypes(network::kEntryBox, "10.1");
    sheet_.Sheet().PressEnter();
    EXPECT_TRUE(sheet_.Sheet().IsOpen());
    EXPECT_EQ(Items(page, network::kList), std::vector<std::string>{"10.1"});
    page.UserLeaves(network::kEntryBox);
    sheet_.Sheet().PressEnter();
    EXPECT_FALSE(sheet_.Sheet().IsOpen()) << "Enter is OK again";
    EXPECT_EQ(Settings().IpList[0].View(), "10.1");
}

TEST_F(AccessListPagesTest, SwitchingToAllEmptiesTheListInRecordAndStore) {
    Settings().IpOption = kAccessRestrictive;
    Settings().IpList[0].Assign("10.0.0.1");
    SaveIpAccessSettings();
    UpdateAccessStatusText(window_);
    Dialog& page = Open(kNetworkPage);
    EXPECT_EQ(page.ItemCount(network::kList), 1);
    page.UserClicks(network::kAll);
    EXPECT_FALSE(page.Enabled(network::kList));
    sheet_.Sheet().PressApply();
    EXPECT_EQ(Settings().IpList[0].View(), "");
    EXPECT_EQ(StoredText(kStoreIpAccess, "IP0"), std::nullopt);
    EXPECT_EQ(window_.status[1], "All users allowed");
    page.UserClicks(network::kSelective);
    EXPECT_EQ(page.ItemCount(network::kList), 1) << "the list box keeps its copy until the sheet closes";
    sheet_.Sheet().PressCancel();
    Dialog& reopened = Open(kNetworkPage);
    reopened.UserClicks(network::kSelective);
    EXPECT_EQ(reopened.ItemCount(network::kList), 0);
}

TEST_F(AccessListPagesTest, SharingPageTakesExistingDirectoriesInTheirShortestForm) {
    drive_.MakeDirectory("Data/sub");
    drive_.WriteFile("notes.txt", "x");
    Dialog& page = Open(kSharingPage);
    page.UserClicks(sharing::kSelective);
    Add(page, sharing::kEntryBox, sharing::kAdd, "c:");
    Add(page, sharing::kEntryBox, sharing::kAdd, "c:\\Data\\");
    Add(page, sharing::kEntryBox, sharing::kAdd, "C:\\Data");
    Add(page, sharing::kEntryBox, sharing::kAdd, drive_ / "Data/sub");
    EXPECT_EQ(Items(page, sharing::kList), (std::vector<std::string>{"c:\\", "c:\\Data", "C:\\Data\\sub"}))
        << "letter case aside, C:\\Data is already listed; a host path comes in drive form";

    Add(page, sharing::kEntryBox, sharing::kAdd, "c:\\notes.txt");
    Add(page, sharing::kEntryBox, sharing::kAdd, "c:\\missing");
    Add(page, sharing::kEntryBox, sharing::kAdd, "q:\\");
    EXPECT_EQ(messages, std::vector<std::string>(3, "Error: This is not a valid directory path."));

    sheet_.Sheet().PressOk();
    EXPECT_EQ(Settings().DirAccessOption, kAccessSelective);
    EXPECT_EQ(Settings().DirList[1].View(), "c:\\Data");
    EXPECT_EQ(StoredText(kStoreDirAccess, "DIR2"), "C:\\Data\\sub");
    EXPECT_EQ(window_.status.count(1), 0u) << "the Sharing page leaves the status bar alone";
}

TEST_F(AccessListPagesTest, SharingPageSaysWhenItsListIsFull) {
    Dialog& page = Open(kSharingPage);
    page.UserClicks(sharing::kRestrictive);
    for (int i = 0; i < 8; ++i) {
        drive_.MakeDirectory("d" + std::to_string(i));
        Add(page, sharing::kEntryBox, sharing::kAdd, "c:\\d" + std::to_string(i));
    }
    Add(page, sharing::kEntryBox, sharing::kAdd, "c:\\");
    EXPECT_EQ(messages, std::vector<std::string>{"Error: You can only define at most 8 directory pathes."});
}

}  // namespace
