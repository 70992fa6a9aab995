#include "platform/UserStore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/MessageBox.h"
#include "tests/support/TestDirectory.h"

namespace platform {
namespace {

std::vector<std::string> messages;

void Capture(std::string_view caption, std::string_view text, MessageIcon) {
    messages.push_back(std::string(caption) + ": " + std::string(text));
}

class UserStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        messages.clear();
        previous_ = SetMessageBoxHandler(&Capture);
    }
    void TearDown() override { SetMessageBoxHandler(previous_); }

    [[nodiscard]] std::string StoreDirectory() const { return home_ / "config/pellora"; }
    [[nodiscard]] std::string StorePath() const { return StoreDirectory() + "/settings.store"; }
    [[nodiscard]] UserStore Open() const { return UserStore::OpenIn(StoreDirectory()); }

    // Names in the store directory other than the store and its lock.
    [[nodiscard]] std::vector<std::string> Leftovers() const {
        std::vector<std::string> names;
        for (const std::string& name : TestDirectory::List(StoreDirectory())) {
            if (name != "settings.store" && name != "settings.lock") names.push_back(name);
        }
        return names;
    }

    void WriteStoreText(std::string_view text) const { home_.WriteFile("config/pellora/settings.store", text); }

    TestDirectory home_;
    MessageBoxHandler previous_ = nullptr;
};

ino_t InodeOf(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 ? status.st_ino : 0;
}

TEST_F(UserStoreTest, KeysAndValuesBehaveAsTheLogicNeeds) {
    {
        UserStore store = Open();
        EXPECT_FALSE(store.OpenKey("Software\\Tamsel\\Pellora")) << "a missing key does not open";
        StoreKey main = store.CreateKey("Software\\Tamsel\\Pellora");
        ASSERT_TRUE(main);
        EXPECT_TRUE(store.OpenKey("software\\tamsel\\pellora")) << "parents were made, names ignore case";
        EXPECT_FALSE(main.Query("Port")) << "a missing value is a failed query";
        main.DeleteValue("Port");  // a missing value is no error
        main.SetString("", "PR2");
        StoreKey global = main.CreateSubkey("Global");
        global.SetDword("Port", 8080);
        global.SetString("DIR0", "c:\\docs");
        EXPECT_FALSE(main.OpenSubkey("Logging"));
        EXPECT_TRUE(store.Commit());
    }
    UserStore store = Open();
    StoreKey main = store.OpenKey("Software\\Tamsel\\Pellora");
    ASSERT_TRUE(main);
    EXPECT_EQ(main.Query("")->text, "PR2");
    StoreKey global = main.OpenSubkey("GLOBAL");
    EXPECT_EQ(global.Query("port")->number, 8080u);
    EXPECT_EQ(global.Query("port")->type, StoreValueType::Dword);
    EXPECT_EQ(global.Query("Dir0")->text, "c:\\docs");
    global.DeleteValue("dir0");
    EXPECT_FALSE(global.Query("DIR0"));
    EXPECT_EQ(messages, std::vector<std::string>{});
}

TEST_F(UserStoreTest, ACommitReplacesTheFileWholeAndPrivately) {
    {
        UserStore store = Open();
        store.CreateKey("A").SetString("x", "one");
        ASSERT_TRUE(store.Commit());
    }
    const ino_t first = InodeOf(StorePath());
    {
        UserStore store = Open();
        store.OpenKey("A").SetString("x", "two");
        ASSERT_TRUE(store.Commit());
    }
    // A new file renamed over the old one, never the old one rewritten in place.
    EXPECT_NE(InodeOf(StorePath()), first);
    EXPECT_EQ(Leftovers(), std::vector<std::string>{});
    struct stat status {};
    ASSERT_EQ(stat(StorePath().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    EXPECT_EQ(ReadWholeFile(StorePath()), std::string(kStoreFirstLine) + "\n\n[A]\n\"x\"=\"two\"\n\nEnd of store\n");
}

TEST_F(UserStoreTest, KeysAndValuesOfOthersAreKept) {
    WriteStoreText(
        "Pellora settings store, format 1\n"
        "[Software\\Tamsel\\Pellora\\Global]\n"
        "\"Port\"=dword:80\n"
        "\"Theme\"=\"dark\"\n"
        "[Software\\Tamsel\\Pellora\\Future]\n"
        "@=dword:5\n"
        "[Software\\Someone Else]\n"
        "\"x\"=\"y\"\n"
        "End of store\n");
    {
        UserStore store = Open();
        store.OpenKey("Software\\Tamsel\\Pellora\\Global").SetDword("Port", 8080);
        ASSERT_TRUE(store.Commit());
    }
    UserStore store = Open();
    StoreKey global = store.OpenKey("Software\\Tamsel\\Pellora\\Global");
    EXPECT_EQ(global.Query("Port")->number, 8080u);
    EXPECT_EQ(global.Query("Theme")->text, "dark");
    EXPECT_EQ(store.OpenKey("Software\\Tamsel\\Pellora\\Future").Query("")->number, 5u);
    EXPECT_EQ(store.OpenKey("Software\\Someone Else").Query("x")->text, "y");
}

TEST_F(UserStoreTest, ACorruptStoreIsKeptAsideReportedOnceAndStartedAfresh) {
    struct Row {
        const char* name;
        std::string text;
    };
    const Row rows[] = {
        {"not our format", "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER]\n"},
        {"cut short", "Pellora settings store, format 1\n[Software\\Tamsel\\Pellora]\n@=\"PR2\"\n"},
        {"empty", ""},
        {"binary", std::string("\x7F"
                               "ELF\0\0\x01",
                               7)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TestDirectory home;
        const std::string directory = home / "pellora";
        const std::string path = home.WriteFile("pellora/settings.store", row.text);
        messages.clear();
        {
            UserStore store = UserStore::OpenIn(directory);
            EXPECT_FALSE(store.OpenKey("Software\\Tamsel\\Pellora")) << "treated as missing";
            store.CreateKey("Software\\Tamsel\\Pellora").SetString("", "PR2");
            EXPECT_TRUE(store.Commit());
        }
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_TRUE(messages[0].starts_with("Pellora Error: The settings store " + path + " was damaged."))
            << messages[0];
        std::vector<std::string> aside;
        for (const std::string& name : TestDirectory::List(directory)) {
            if (name.starts_with("settings.store.corrupt-")) aside.push_back(name);
        }
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_NE(messages[0].find(directory + "/" + aside[0]), std::string::npos);
        EXPECT_EQ(ReadWholeFile(directory + "/" + aside[0]), row.text) << "kept byte for byte";

        // The fresh store is whole: nothing more is reported.
        UserStore again = UserStore::OpenIn(directory);
        EXPECT_EQ(again.OpenKey("Software\\Tamsel\\Pellora").Query("")->text, "PR2");
        EXPECT_EQ(messages.size(), 1u);
    }
}

TEST_F(UserStoreTest, AStoreThatCannotBeReadIsNeverOverwritten) {
    // A directory where the store should be stands for any store that cannot be read.
    home_.MakeDirectory("config/pellora/settings.store");
    for (int round = 0; round < 2; ++round) {
        UserStore store = Open();
        store.CreateKey("A").SetDword("x", 1);
        EXPECT_FALSE(store.Commit());
    }
    ASSERT_EQ(messages.size(), 1u) << "reported once, not at every open";
    EXPECT_TRUE(messages[0].starts_with("Pellora Error: The settings store " + StorePath())) << messages[0];
    EXPECT_EQ(Leftovers(), std::vector<std::string>{});
}

// The lock makes a read-change-write of one process whole: another process that
// opens meanwhile waits, then sees the change.
TEST_F(UserStoreTest, AnOpenStoreHoldsOffOtherProcessesUntilClosed) {
    {
        UserStore store = Open();
        store.CreateKey("A").SetDword("x", 1);
        ASSERT_TRUE(store.Commit());
    }
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        UserStore store = Open();
        store.OpenKey("A").SetDword("x", 2);
        const char byte = 'r';
        if (write(ready[1], &byte, 1) != 1) _exit(1);
        usleep(300 * 1000);
        _exit(store.Commit() ? 0 : 1);
    }
    close(ready[1]);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    {
        UserStore store = Open();
        EXPECT_EQ(store.OpenKey("A").Query("x")->number, 2u);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
}  // namespace platform
