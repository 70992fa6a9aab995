// The per-user settings store: its text form, then its file, which is replaced whole,
// locked against other processes and never overwritten when it cannot be read.
#include "platform/UserStore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/MessageBox.h"
#include "platform/UserStoreText.h"
#include "tests/support/Guards.h"
#include "tests/support/TestDirectory.h"

namespace platform {
namespace {

using namespace std::string_literals;

TEST(UserStoreText, TheTextFormIsOneReadableItemALineAndSaysAnyTreeAgainButNoCutOne) {
    StoreKeyNode root;
    StoreKeyNode* global = root.CreatePath("Software\\Tamsel\\Global");
    global->SetValue("Port", StoreValue::Dword(8080));
    global->SetValue("RootPage0", StoreValue::String("c:\\web\\index.htm"));
    global->SetValue("Odd", StoreValue::String("a\r\nb\"c%d"));
    EXPECT_EQ(
        FormatStore(root),
        "Pellora settings store, format 1\n\n[Software]\n\n[Software\\Tamsel]\n\n[Software\\Tamsel\\Global]\n"
        "\"Port\"=dword:8080\n\"RootPage0\"=\"c:\\web\\index.htm\"\n\"Odd\"=\"a%0D%0Ab%22c%25d\"\n\nEnd of store\n");

    std::string everyByte;
    for (int c = 1; c < 256; ++c) everyByte += static_cast<char>(c);
    global->SetValue("", StoreValue::String(everyByte));
    global->SetValue(everyByte, StoreValue::Dword(4294967295u));
    global->CreateSubkey("Empty key");
    std::erase(everyByte, '\\');
    root.CreatePath("Other")->CreateSubkey(everyByte)->SetValue("e", StoreValue::String(""));
    const std::string text = FormatStore(root);
    const std::optional<StoreKeyNode> parsed = ParseStore(text);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(FormatStore(*parsed), text);
    EXPECT_EQ(parsed->FindPath("software\\tamsel\\global")->FindValue("")->text.size(), 255u);
    // A store cut anywhere, as a writer that crashed writing in place leaves it, is no store.
    for (std::size_t length = 0; length < text.size(); ++length) {
        EXPECT_FALSE(ParseStore(std::string_view(text).substr(0, length))) << "cut at " << length;
    }
}

TEST(UserStoreText, NamesCompareWithoutAsciiCaseKeepTheirFirstSpellingAndHoldNoNul) {
    StoreKeyNode key;
    EXPECT_TRUE(key.SetValue("DIR0", StoreValue::String("a")) && key.SetValue("dir0", StoreValue::String("b")));
    ASSERT_EQ(key.Values().size(), 1u);
    EXPECT_EQ(key.Values()[0].first + "=" + key.FindValue("DiR0")->text, "DIR0=b");
    EXPECT_TRUE(key.DeleteValue("dIr0"));
    EXPECT_FALSE(key.DeleteValue("Dir0"));
    StoreKeyNode* made = key.CreatePath("Software\\TAMSEL");
    EXPECT_TRUE(key.FindPath("software\\tamsel") == made && key.CreatePath("SOFTWARE\\tamsel") == made);
    EXPECT_EQ(key.FindPath("software\\other"), nullptr);
    EXPECT_FALSE(SameStoreName("\xC9t\xE9", "\xE9t\xE9")) << "only ASCII letters fold";
    EXPECT_FALSE(SameStoreName("ab", "abc"));
    EXPECT_FALSE(key.SetValue("a\0b"s, StoreValue::Dword(1)));
    EXPECT_TRUE(key.SetValue("v", StoreValue{StoreValueType::String, 0, "ab\0cd"s}));
    EXPECT_EQ(key.FindValue("v")->text, "ab");
}

TEST(UserStoreText, ReadsWhatHandsMayHaveWrittenAndRefusesWhatIsNotAWholeStore) {
    const std::string head = "Pellora settings store, format 1\n[K]\n";
    const std::string end = "End of store\n";
    const std::pair<std::string, std::optional<std::string>> rows[] = {
        // the text, K's "v" or refused
        {"Pellora settings store, format 1\r\n[K]\r\n\"v\"=\"x\"\r\nEnd of store\r\n", "x"},
        {head + "\n  \n\t\n\"v\"=\"x\"\n\n\nEnd of store\n\n", "x"},
        {head + "\"v\"=\"50% off %4\"\n" + end, "50% off %4"},  // a lone percent stands for itself
        {head + "\"v\"=\"%0a%5c\"\n" + end, "\n\\"},
        {head + "\"v\"=\"say \"hi\"\"\n" + end, "say \"hi\""},
        {head + "\"v\"=\"x\"\n\"V\"=\"y\"\n" + end, "y"},  // the later of two wins
        {"[K]\n\"v\"=\"x\"\n" + end, std::nullopt},
        {"Pellora settings store, format 2\n[K]\n\"v\"=\"x\"\n" + end, std::nullopt},
        {head + "\"v\"=\"x\"\nEnd of store", std::nullopt},
        {head + "\"v\"=\"x\"\n" + end + "[K]\n", std::nullopt},
        {"Pellora settings store, format 1\n\"v\"=\"x\"\n[K]\n" + end, std::nullopt},
        {head + "[]\n" + end, std::nullopt},
        {head + "[a\\\\b]\n" + end, std::nullopt},
        {head + "[a\n" + end, std::nullopt},
        {head + "\"v\"=x\n" + end, std::nullopt},
        {head + "\"v\"=\"x\n" + end, std::nullopt},
        {head + "\"v=\"x\"\n" + end, std::nullopt},
        {head + "\"\"=\"x\"\n" + end, std::nullopt},
        {head + "\"v\" \"x\"\n" + end, std::nullopt},
        {head + "\"v\"=dword:4294967296\n" + end, std::nullopt},
        {head + "\"v\"=dword:-1\n" + end, std::nullopt},
        {head + "\"v\"=dword:\n" + end, std::nullopt},
        {head + "\"v\"=dword:0x10\n" + end, std::nullopt},
        {head + "\"v\"=\"a%00b\"\n" + end, std::nullopt},
        // Appended piece by piece: GCC 12 at -O3 takes `head + "..."s` for an overlap (its bug 105329).
        {head + "\"v\"=\"a" + '\0' + "b\"\n" + end, std::nullopt},
        {head + "v=x\n" + end, std::nullopt},
    };
    for (const auto& [text, value] : rows) {
        const std::optional<StoreKeyNode> parsed = ParseStore(text);
        const StoreValue* found = parsed && parsed->FindPath("K") ? parsed->FindPath("K")->FindValue("v") : nullptr;
        EXPECT_EQ(found ? std::optional(found->text) : std::nullopt, value) << text;
        EXPECT_EQ(parsed.has_value(), value.has_value()) << text;
    }
}

std::vector<std::string> messages;
void Capture(std::string_view caption, std::string_view text, MessageIcon) {
    messages.push_back(std::string(caption) + ": " + std::string(text));
}

// A store in a directory of the test's own; message boxes are captured.
class UserStoreTest : public testing::Test {
protected:
    void SetUp() override { messages.clear(); }
    void TearDown() override { SetMessageBoxHandler(previous_); }
    [[nodiscard]] UserStore Open() const { return UserStore::OpenIn(directory_); }

    TestDirectory home_;
    const std::string directory_ = home_ / "config/pellora";
    const std::string path_ = directory_ + "/settings.store";
    MessageBoxHandler previous_ = SetMessageBoxHandler(&Capture);
};

TEST_F(UserStoreTest, WhatACommitSavesIsThereAtTheNextOpenWithOthersKeysInAFileReplacedWholeAndPrivately) {
    home_.WriteFile("config/pellora/settings.store",
                    "Pellora settings store, format 1\n[Someone Else]\n\"x\"=\"y\"\nEnd of store\n");
    {
        UserStore store = Open();
        EXPECT_FALSE(store.OpenKey("Software\\Tamsel")) << "a missing key does not open";
        StoreKey main = store.CreateKey("Software\\Tamsel\\Pellora");
        EXPECT_TRUE(store.OpenKey("software\\tamsel")) << "parents were made; names ignore case";
        EXPECT_FALSE(main.Query("Port"));
        main.DeleteValue("Port");  // a missing value is no error
        EXPECT_TRUE(main.SetString("", "PR2"));
        StoreKey global = main.CreateSubkey("Global");
        EXPECT_TRUE(global.SetDword("Port", 8080) && global.SetDword("Port", 8080) && global.SetString("DIR0", "c:\\"));
        EXPECT_FALSE(main.OpenSubkey("Logging"));
        EXPECT_TRUE(store.Commit());
    }
    // Taken while the file lives, so its inode number cannot be handed out again meanwhile.
    struct stat before {};
    ASSERT_EQ(stat(path_.c_str(), &before), 0);
    {
        UserStore store = Open();
        StoreKey global = store.OpenKey("Software\\Tamsel\\Pellora\\GLOBAL");
        EXPECT_EQ(store.OpenKey("Software\\Tamsel\\Pellora").Query("")->text, "PR2");
        EXPECT_EQ(global.Query("port")->type, StoreValueType::Dword);
        EXPECT_EQ(global.Query("Dir0")->text, "c:\\");
        global.DeleteValue("dir0");
        EXPECT_TRUE(store.Commit());
    }
    struct stat after {};
    ASSERT_EQ(stat(path_.c_str(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino) << "a new file renamed over the old one, never the old one rewritten";
    EXPECT_EQ(after.st_mode & 0777, 0600u);
    EXPECT_EQ(TestDirectory::List(directory_).size(), 2u) << "the store and its lock, nothing left over";
    EXPECT_EQ(ReadWholeFile(path_),
              "Pellora settings store, format 1\n\n[Someone Else]\n\"x\"=\"y\"\n\n[Software]\n\n[Software\\Tamsel]\n\n"
              "[Software\\Tamsel\\Pellora]\n@=\"PR2\"\n\n[Software\\Tamsel\\Pellora\\Global]\n\"Port\"=dword:8080\n"
              "\nEnd of store\n");
    EXPECT_EQ(messages, std::vector<std::string>{});
}

// A directory, or a link that loops, where the store should be: it cannot be read.
TEST_F(UserStoreTest, AStoreThatCannotBeReadIsNeverOverwrittenAndReportedOnce) {
    for (const bool loop : {false, true}) {
        TestDirectory home;
        const std::string path = home / "settings.store";
        if (loop) {
            std::filesystem::create_symlink("settings.store", path);
        } else {
            std::filesystem::create_directory(path);
        }
        messages.clear();
        for (int round = 0; round < 2; ++round) {
            UserStore store = UserStore::OpenIn(home.Path());
            store.CreateKey("A").SetDword("x", 1);
            EXPECT_FALSE(store.Commit()) << loop;
        }
        ASSERT_EQ(messages.size(), 1u) << loop;
        EXPECT_TRUE(messages[0].starts_with("Pellora Error: The settings store " + path)) << messages[0];
        EXPECT_EQ(TestDirectory::List(home.Path()).size(), 2u) << "the store and its lock only";
        EXPECT_EQ(std::filesystem::is_symlink(path), loop);
    }
}

// The lock makes one process's read-change-write whole: another that opens meanwhile
// waits for it, then sees the change.
TEST_F(UserStoreTest, AnOpenStoreHoldsOffOtherProcessesUntilClosed) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        UserStore store = Open();
        store.CreateKey("A").SetDword("x", 2);
        if (write(ready[1], "r", 1) != 1) _exit(1);
        usleep(300 * 1000);
        _exit(store.Commit() ? 0 : 1);
    }
    close(ready[1]);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    EXPECT_EQ(Open().OpenKey("A").Query("x").value_or(StoreValue{}).number, 2u);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(UserStore, LivesUnderAnAbsoluteXdgConfigHomeElseUnderHome) {
    const std::pair<std::optional<std::string>, std::string> rows[] = {
        {"/x/config", "/x/config/pellora"}, {"relative", "/h/.config/pellora"}, {std::nullopt, "/h/.config/pellora"}};
    for (const auto& [config, directory] : rows) {
        EnvironmentGuard environment;
        environment.Set("HOME", "/h");
        config ? environment.Set("XDG_CONFIG_HOME", *config) : environment.Unset("XDG_CONFIG_HOME");
        EXPECT_EQ(UserStore::DefaultDirectory(), directory) << config.value_or("unset");
    }
}

}  // namespace
}  // namespace platform
