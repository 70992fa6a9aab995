// The per-user settings store: its text form, then its file, which is replaced whole,
// locked against other processes and never overwritten when it cannot be read.
#include "platform/UserStore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/MessageBox.h"
#include "platform/UserStoreText.h"
#include "tests/support/TestDirectory.h"

namespace platform {
namespace {

using namespace std::string_literals;

TEST(UserStoreText, TheTextFormSaysAnyTreeAgainButNoCutOneAndNamesFoldOnlyAsciiCase) {
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
    // Names compare without ASCII case, keep their first spelling and hold no NUL.
    StoreKeyNode key;
    EXPECT_TRUE(key.SetValue("DIR0", StoreValue::String("a")) && key.SetValue("dir0", StoreValue::String("b")));
    EXPECT_EQ(key.Values().size() == 1 ? key.Values()[0].first + "=" + key.FindValue("DiR0")->text : "", "DIR0=b");
    EXPECT_TRUE(key.DeleteValue("dIr0") && !key.DeleteValue("Dir0"));
    EXPECT_FALSE(SameStoreName("\xC9t\xE9", "\xE9t\xE9") || SameStoreName("ab", "abc")) << "only ASCII letters fold";
    EXPECT_FALSE(key.SetValue("a\0b"s, StoreValue::Dword(1)));
    EXPECT_TRUE(key.SetValue("v", StoreValue{StoreValueType::String, 0, "ab\0cd"s}) &&
                key.FindValue("v")->text == "ab");
}

TEST(UserStoreText, ReadsWhatHandsMayHaveWrittenAndRefusesWhatIsNotAWholeStore) {
    const std::string head = "Pellora settings store, format 1\n[K]\n";
    const std::string end = "End of store\n";
    const std::pair<std::string, std::optional<std::string>> rows[] = {
        // the text, K's "v" or refused
        {"Pellora settings store, format 1\r\n[K]\r\n\"v\"=\"x\"\r\nEnd of store\r\n", "x"},
        {head + "\n  \n\t\n\"v\"=\"50% off %4\"\n\n\nEnd of store\n\n",
         "50% off %4"},                                            // a lone percent stands for itself
        {head + "\"v\"=\"x\"\n\"V\"=\"%0a%5c\"\n" + end, "\n\\"},  // the later of two wins
        {head + "\"v\"=\"x\"\n" + end + "[K]\n", std::nullopt},
        {head + "\"v\" \"x\"\n" + end, std::nullopt},
        {head + "\"v\"=\"a%00b\"\n" + end, std::nullopt},
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

// A link that loops where a store should be cannot be read, so it is never replaced.
TEST(UserStore, ACommitKeepsOthersKeysInAPrivateFileAndAStoreThatCannotBeReadIsNeverOverwritten) {
    TestDirectory home, looped;
    home.WriteFile("settings.store", "Pellora settings store, format 1\n[Someone Else]\n\"x\"=\"y\"\nEnd of store\n");
    {
        UserStore store = UserStore::OpenIn(home.Path());
        StoreKey main = store.CreateKey("Software\\Tamsel\\Pellora");
        EXPECT_TRUE(main.SetDword("Port", 8080) && main.SetDword("Port", 8080) && main.SetString("DIR0", "c:\\"));
        EXPECT_TRUE(store.Commit());
    }
    const UserStore store = UserStore::OpenIn(home.Path());
    EXPECT_EQ(store.OpenKey("Software\\Tamsel\\PELLORA").Query("port")->number, 8080u);
    EXPECT_EQ(store.OpenKey("Someone Else").Query("x")->text, "y");
    EXPECT_EQ(std::filesystem::status(home / "settings.store").permissions(), std::filesystem::perms(0600));
    EXPECT_EQ(TestDirectory::List(home.Path()).size(), 2u) << "the store and its lock, nothing left over";
    const MessageBoxHandler previous = SetMessageBoxHandler(&Capture);
    std::filesystem::create_symlink("settings.store", looped / "settings.store");
    for (int round = 0; round < 2; ++round) {  // reported once
        UserStore store = UserStore::OpenIn(looped.Path());
        store.CreateKey("A").SetDword("x", 1);
        EXPECT_FALSE(store.Commit());
    }
    SetMessageBoxHandler(previous);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].starts_with("Pellora Error: The settings store " + looped / "settings.store"))
        << messages[0];
    EXPECT_TRUE(std::filesystem::is_symlink(looped / "settings.store"));
}

}  // namespace
}  // namespace platform
