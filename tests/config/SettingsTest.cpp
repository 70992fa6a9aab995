// The settings record in options files and in the per-user store, and the command line.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "config/OptionsFile.h"
#include "config/RegistryStore.h"
#include "config/SettingsTable.h"
#include "config/Startup.h"
#include "platform/MessageBox.h"
#include "tests/support/Guards.h"
#include "tests/support/TestDirectory.h"

namespace {

// Every field away from its default and unlike any other, texts at the full length of
// their field; the root file counts, as its option says so.
ServerSettings FullRecord(char fill = 'A') {
    ServerSettings s;
    for (std::size_t i = 0; i < SettingRows().size(); ++i) {
        const FieldRef field = SettingRows()[i].reach(s);
        if (field.number != nullptr) *field.number = 1000 + static_cast<int>(i);
        if (field.number == nullptr) field.AssignText(std::string(field.TextMaxLength(), static_cast<char>(fill + i)));
    }
    s.RootOption = kRootFile;
    // Every field at its full length makes a file a byte over what is read back.
    s.DirList[7].Assign(std::string(250, static_cast<char>(fill + 24)));
    return s;
}
// The first `count` fields of `from`, the others of `to`.
ServerSettings Mixed(const ServerSettings& from, std::size_t count, ServerSettings to = {}) {
    for (std::size_t i = 0; i < count; ++i) {
        const FieldRef field = SettingRows()[i].reach(to);
        if (field.number != nullptr) *field.number = ReadField(SettingRows()[i], from).number;
        if (field.number == nullptr) field.AssignText(ReadField(SettingRows()[i], from).text);
    }
    return to;
}
// A record as one comparable line.
std::string Describe(const ServerSettings& settings) {
    std::string text;
    for (const SettingRow& row : SettingRows()) {
        const FieldValue value = ReadField(row, settings);
        text += std::string(row.fileKey) + "=" +
                (row.type == SettingType::Integer ? std::to_string(value.number) : std::string(value.text)) + ";";
    }
    return text;
}

std::vector<std::string> messages;
void Capture(std::string_view caption, std::string_view text, platform::MessageIcon) {
    messages.push_back(std::string(caption) + ": " + std::string(text));
}

// A directory of the test's own that is also the store's home; message boxes captured.
class PersistedSettings : public testing::Test {
protected:
    void SetUp() override {
        environment_.Set("XDG_CONFIG_HOME", home_.Path());
        messages.clear();
        SetDefaultSettings();
    }
    void TearDown() override {
        platform::SetMessageBoxHandler(previous_);
        SetDefaultSettings();
    }
    TestDirectory home_;
    EnvironmentGuard environment_;
    platform::MessageBoxHandler previous_ = platform::SetMessageBoxHandler(&Capture);
};

TEST(OptionsFile, TheDefaultRecordIsThirtyThreeLinesEndedByCrLf) {
    EXPECT_EQ(FormatOptionsFile(ServerSettings{}),
              "Pellora Configuration File:Release 1\r\n"
              "Port:80\r\nRootOption:0\r\nRootFile:\r\nRootDir:\r\nCgiDir:cgi-bin\r\nIpOption:0\r\n"
              "Ip0:\r\nIp1:\r\nIp2:\r\nIp3:\r\nIp4:\r\nIp5:\r\nIp6:\r\nIp7:\r\n"
              "DirOption:0\r\nDirFile:\r\nDirAccessOption:0\r\n"
              "Dir0:\r\nDir1:\r\nDir2:\r\nDir3:\r\nDir4:\r\nDir5:\r\nDir6:\r\nDir7:\r\n"
              "LogOption:0\r\nLogFile:\r\nUseTable:0\r\nUploadOn:0\r\nUploadAccessType:1\r\n"
              "UploadDir:\r\nIncludeUploadLink:1\r\n");
}

// Only positions count, never keys; each value is stored the moment it is read, cut to
// its field, so a broken line keeps the fields before it.
TEST(OptionsFile, ValuesAreReadByPositionAsTheyStandCutToTheirFieldUntilABrokenLine) {
    const ServerSettings full = FullRecord();
    std::vector<std::string> lines;
    std::istringstream text(FormatOptionsFile(full));
    for (std::string line; std::getline(text, line);) lines.push_back(line.substr(0, line.size() - 1));
    // The lines with `line` replaced by `with`, each ended by `end`.
    const auto file = [&lines](std::size_t line, const std::string& with, std::size_t count = 33,
                               const char* end = "\r\n") {
        std::string joined;
        for (std::size_t i = 0; i < count; ++i) joined += (i == line ? with : lines[i]) + end;
        return joined;
    };
    ServerSettings changed = full;
    const auto with = [&changed, &full](std::size_t row, std::string_view text) {
        changed = full;
        SettingRows()[row].reach(changed).AssignText(text);
        return changed;
    };
    using enum OptionsParseResult;
    const std::tuple<const char*, std::string, OptionsParseResult, ServerSettings> rows[] = {
        {"keys are not read", file(1, "Misspelt:" + lines[1].substr(5)), Complete, full},
        {"lines ended by LF alone", file(99, "", 33, "\n"), Complete, full},
        {"an older release stops after LogFile", file(0, "Pellora Configuration File:Pre-Release 2", 28), Complete,
         Mixed(full, 27)},
        {"a line without its colon", file(21, "Dir3 without a colon"), LineMissing, Mixed(full, 20)},
        {"last line without CR LF", file(99, "").substr(0, file(99, "").size() - 2), LineMissing, Mixed(full, 31)},
        {"drive letter colon kept", file(3, "RootFile:c:\\web\\index.htm"), Complete, with(2, "c:\\web\\index.htm")},
        {"blanks kept", file(5, "CgiDir:  cgi bin  "), Complete, with(4, "  cgi bin  ")},
        {"a lone CR kept", file(27, "LogFile:a\rb"), Complete, with(26, "a\rb")},
        {"NUL ends the text", file(4, "RootDir:ab" + std::string(1, '\0') + "cd"), Complete, with(3, "ab")},
        {"over-long text cut", file(4, "RootDir:" + std::string(300, 'x')), Complete, with(3, std::string(255, 'x'))},
        {"over-long IP entry cut", file(11, "Ip4:" + std::string(30, '7')), Complete, with(10, std::string(19, '7'))},
        {"a number", file(1, "Port: -83abc"), Complete, Mixed(ServerSettings{.Port = -83}, 1, full)},
        {"unknown release", file(0, "Pellora Configuration File:Release 2"), UnknownHeader, {}},
        {"release in lower case", file(0, "Pellora Configuration File:release 1"), UnknownHeader, {}},
        {"no colon in the header", file(0, "Pellora Configuration File Release 1"), UnknownHeader, {}},
        {"CR LF before the colon", "Pellora Configuration File\r\n:Release 1\r\nPort:81\r\n", UnknownHeader, {}},
        {"empty text", "", UnknownHeader, {}},
    };
    for (const auto& [name, text, result, record] : rows) {
        ServerSettings settings;
        EXPECT_EQ(ParseOptionsText(text, settings), result) << name;
        EXPECT_EQ(Describe(settings), Describe(record)) << name;
    }
}

TEST_F(PersistedSettings, AnOptionsFileIsWrittenWholeAndReadBackUnder4096BytesOrItsFailureIsShown) {
    Settings() = FullRecord();
    const std::string path = home_.WriteFile("full.opt", std::string(6000, 'o'));  // replaced, not overlaid
    ASSERT_EQ(WriteOptionsFile(path), 0);
    EXPECT_LT(ReadWholeFile(path).size(), 4096u) << "a full record fits the read limit";
    SetDefaultSettings();
    EXPECT_EQ(ReadOptionsFile(path), 0);
    EXPECT_EQ(Describe(Settings()), Describe(FullRecord()));

    const std::string valid = "Pellora Configuration File:Release 1\r\nPort:81\r\n" + FormatOptionsFile({}).substr(47);
    for (const std::size_t size : {4095, 4096}) {  // what follows the last line is ignored
        SetDefaultSettings();
        const std::string padded = home_.WriteFile("padded.opt", valid + std::string(size - valid.size(), 'x'));
        EXPECT_EQ(ReadOptionsFile(padded), size < 4096 ? 0 : -1);
        EXPECT_EQ(Settings().Port, size < 4096 ? 81 : 80) << size;
    }
    EXPECT_EQ(ReadOptionsFile(home_.WriteFile("empty.opt", "")), -1);
    EXPECT_EQ(ReadOptionsFile(home_ / "missing.opt"), -1);
    EXPECT_EQ(WriteOptionsFile(home_ / "no/new.opt"), -1);
    EXPECT_EQ(messages, (std::vector<std::string>{
                            "Pellora Error: File " + home_ / "padded.opt" + " is not in the right format.",
                            "Pellora Error: Couldn't read options file.",
                            "Pellora Error: Couldn't open file " + home_ / "missing.opt" + " for read.",
                            "Pellora Error: Couldn't open file " + home_ / "no/new.opt" + " for write.",
                        }));
}

TEST_F(PersistedSettings, AFirstStartWritesTheMarkerAndFiveSubkeysWithoutListValuesAndAFullRecordRoundTrips) {
    ServerSettings record;
    record.Port = 1234;
    EXPECT_EQ(LoadSettingsFromRegistry(record), -1) << "no key: nothing changes";
    EXPECT_EQ(record.Port, 1234);
    SaveSettingsToRegistry(ServerSettings{});
    EXPECT_EQ(ReadWholeFile(home_ / "pellora/settings.store"),
              "Pellora settings store, format 1\n\n[Software]\n\n[Software\\Tamsel]\n\n[Software\\Tamsel\\Pellora]\n"
              "@=\"PR2\"\n\n[Software\\Tamsel\\Pellora\\Global]\n\"Port\"=dword:80\n\"RootType\"=dword:0\n"
              "\"RootPath\"=\"\"\n\"CgiDir\"=\"cgi-bin\"\n\n[Software\\Tamsel\\Pellora\\IpAccess]\n"
              "\"IpAccessType\"=dword:0\n\n[Software\\Tamsel\\Pellora\\DirAccess]\n\"DirIndexType\"=dword:0\n"
              "\"DirIndexName\"=\"\"\n\"UseTableStyle\"=dword:0\n\"DirAccessType\"=dword:0\n\n"
              "[Software\\Tamsel\\Pellora\\Logging]\n\"IsLogOn\"=dword:0\n\"LogFile\"=\"\"\n\n"
              "[Software\\Tamsel\\Pellora\\Upload]\n\"UploadOn\"=dword:0\n\"UploadType\"=dword:1\n"
              "\"UploadDir\"=\"\"\n\"IncludeUpload\"=dword:1\n\nEnd of store\n");
    EXPECT_EQ(LoadSettingsFromRegistry(record), 0);
    EXPECT_EQ(Describe(record), Describe(ServerSettings{}));
    SaveSettingsToRegistry(FullRecord());
    EXPECT_EQ(LoadSettingsFromRegistry(record), 0);
    EXPECT_EQ(Describe(record), Describe(FullRecord()));
    EXPECT_EQ(messages, std::vector<std::string>{}) << "nothing here reports to the user";
}

// A value too long, of the wrong type or missing never reaches beyond its field.
TEST_F(PersistedSettings, StoredValuesAreCutToTheirFieldAndWrongOrMissingOnesLeaveTheFieldAndFailTheLoad) {
    SaveSettingsToRegistry(ServerSettings{});
    {
        platform::UserStore store = platform::UserStore::Open();
        platform::StoreKey main = store.OpenKey(kStoreMainKey);
        main.OpenSubkey("Global").SetString("RootPath", std::string(5000, 'r'));
        main.OpenSubkey("Global").SetString("Port", "8080");
        main.OpenSubkey("IpAccess").SetString("IP0", std::string(300, '1'));
        main.OpenSubkey("IpAccess").SetDword("IP1", 7);
        main.OpenSubkey("Logging").SetDword("IsLogOn", 4294967295u);
        main.OpenSubkey("Upload").DeleteValue("UploadDir");
        ASSERT_TRUE(store.Commit());
    }
    ServerSettings loaded = FullRecord();
    EXPECT_EQ(LoadSettingsFromRegistry(loaded), 0);
    EXPECT_EQ(loaded.RootDir.View(), std::string(255, 'r'));
    EXPECT_EQ(loaded.Port, 1000) << "a string where a number belongs";
    EXPECT_EQ(loaded.IpList[0].View(), std::string(19, '1'));
    EXPECT_EQ(loaded.IpList[1].View(), FullRecord().IpList[1].View()) << "a number where a string belongs";
    EXPECT_EQ(loaded.LogOption, -1);
    EXPECT_EQ(loaded.UploadDir.View(), FullRecord().UploadDir.View());
    EXPECT_EQ(loaded.CgiDir.View(), "cgi-bin");
    std::filesystem::remove(home_ / "pellora/settings.store");
    SaveLoggingSettings(ServerSettings{});
    EXPECT_EQ(LoadSettingsFromRegistry(loaded), -1) << "four subkeys are missing";
    EXPECT_EQ(loaded.LogFile.View(), "");
    EXPECT_EQ(loaded.CgiDir.View(), "cgi-bin") << "the others keep their fields";
}

TEST_F(PersistedSettings, TheRootFileIsKeptOnlyForItsOptionAndHeadsAHistoryOfEightWithoutDuplicatesOrGaps) {
    for (const int option : std::initializer_list<int>{kRootDriveIndex, kRootFile, kRootError, 7}) {
        SaveSettingsToRegistry(ServerSettings{.RootOption = option, .RootFile = PathText("c:\\web\\index.htm")});
        ServerSettings loaded;
        LoadSettingsFromRegistry(loaded);
        EXPECT_EQ(loaded.RootFile.View(), option == kRootFile ? "c:\\web\\index.htm" : "") << option;
    }
    using History = std::vector<std::string>;
    const History full = {"A", "B", "C", "D", "E", "F", "G", "H"};
    const std::tuple<History, const char*, History> rows[] = {
        // before, the root file saved, after
        {{}, "A", {"A"}},
        {{"A", "B"}, "C", {"C", "A", "B"}},
        {{"A", "B", "C"}, "B", {"B", "A", "C"}},
        {{"A", "B", "C"}, "A", {"A", "B", "C"}},
        {{"A", "B", "C"}, "C", {"C", "A", "B"}},
        {full, "X", {"X", "A", "B", "C", "D", "E", "F", "G"}},
        {full, "D", {"D", "A", "B", "C", "E", "F", "G", "H"}},
        {full, "H", {"H", "A", "B", "C", "D", "E", "F", "G"}},
        {{"c:\\a.htm"}, "C:\\A.HTM", {"C:\\A.HTM", "c:\\a.htm"}},  // compared exactly
        {{"A", "B"}, "", {"A", "B"}},                              // an empty root file changes nothing
        {{"c:\\" + std::string(252, 'p'), "B"}, "B", {"B", "c:\\" + std::string(252, 'p')}},  // long paths whole
    };
    for (const auto& [before, rootFile, after] : rows) {
        std::filesystem::remove_all(home_ / "pellora");
        {
            platform::UserStore store = platform::UserStore::Open();
            platform::StoreKey global = store.CreateKey(std::string(kStoreMainKey) + "\\Global");
            for (std::size_t i = 0; i < before.size(); ++i) global.SetString("RootPage" + std::to_string(i), before[i]);
            ASSERT_TRUE(store.Commit());
        }
        SaveGlobalSettings(ServerSettings{.RootOption = kRootFile, .RootFile = PathText(rootFile)});
        EXPECT_EQ(ReadRootFileHistory(), after) << rootFile;
        const std::string store = ReadWholeFile(home_ / "pellora/settings.store");
        EXPECT_EQ(store.find("RootPage" + std::to_string(after.size())), std::string::npos) << "nothing past its end";
    }
}

// The older layout kept one root page and the index settings under "Global".
TEST_F(PersistedSettings, TheOlderLayoutIsConvertedOnceOnLoadMovingOnlyWhatIsThere) {
    const std::tuple<const char*, const char*, const char*> rows[] = {
        // RootPage, RootPath after
        {"c:\\web\\index.htm", "c:\\web", "scripts"},
        {"c:\\index.htm", "c:", "scripts"},
        {"index.htm", "", "scripts"},
        {nullptr, "c:\\kept", "kept"},  // nothing older to move: nothing is overwritten
    };
    for (const auto& [rootPage, rootPath, indexName] : rows) {
        std::filesystem::remove_all(home_ / "pellora");
        {
            platform::UserStore store = platform::UserStore::Open();
            platform::StoreKey main = store.CreateKey(kStoreMainKey);
            platform::StoreKey global = main.CreateSubkey("Global");
            global.SetDword("RootType", kRootFile);
            if (rootPage != nullptr) {
                global.SetString("RootPage", rootPage);
                global.SetDword("DirIndexType", kDirIndexElseError);
                global.SetString("DirIndexName", "scripts");
            } else {
                global.SetString("RootPage0", "c:\\kept.htm");
                global.SetString("RootPath", "c:\\kept");
                main.CreateSubkey("DirAccess").SetString("DirIndexName", "kept");
            }
            ASSERT_TRUE(store.Commit());
        }
        for (int load = 0; load < 2; ++load) {  // converted once: the second load finds the marker
            ServerSettings loaded;
            EXPECT_EQ(LoadSettingsFromRegistry(loaded), -1) << "IpAccess, Logging and Upload are missing";
            EXPECT_EQ(loaded.RootFile.View(), rootPage != nullptr ? rootPage : "c:\\kept.htm") << load;
            EXPECT_EQ(loaded.RootDir.View(), rootPath) << load;
            EXPECT_EQ(loaded.DirFile.View(), indexName) << load;
            EXPECT_EQ(loaded.DirOption, rootPage != nullptr ? kDirIndexElseError : kDirListing) << load;
        }
        const std::string store = ReadWholeFile(home_ / "pellora/settings.store");
        EXPECT_TRUE(store.find("@=\"PR2\"") != std::string::npos && store.find("\"RootPage\"") == std::string::npos);
        EXPECT_GT(store.find("DirIndex"), store.find("DirAccess]")) << "the index settings live in DirAccess now";
    }
}

// A saver killed at any moment leaves the store it found or the one it meant to write.
TEST_F(PersistedSettings, ASaverKilledMidSaveLeavesTheOldOrTheNewStore) {
    const ServerSettings first = FullRecord('a');
    const ServerSettings second = FullRecord('b');
    SaveSettingsToRegistry(first);
    for (int round = 0; round < 25; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i) SaveSettingsToRegistry(i % 2 == 0 ? second : first);
        }
        usleep(1000 + static_cast<useconds_t>(round * 797 % 20000));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        ServerSettings loaded;
        ASSERT_EQ(LoadSettingsFromRegistry(loaded), 0) << "round " << round;
        const std::string got = Describe(loaded);
        ASSERT_TRUE(got == Describe(first) || got == Describe(second)) << "round " << round;
    }
    for (const std::string& name : TestDirectory::List(home_ / "pellora")) {
        EXPECT_FALSE(name.starts_with("settings.store.corrupt")) << "nothing was set aside";
    }
}

// Only the two switches, spelled exactly and first, ask; anything else is an options file.
TEST(CommandLine, OnlyAnExactFirstSwitchAsksAndItsAnswerFitsATerminal) {
    const std::pair<std::vector<const char*>, CommandLineQuery> rows[] = {
        {{"pellora"}, CommandLineQuery::None},
        {{"pellora", "home.opt"}, CommandLineQuery::None},
        {{"pellora", "--help", "home.opt"}, CommandLineQuery::Help},
        {{"pellora", "--version"}, CommandLineQuery::Version},
        {{"pellora", "home.opt", "--help"}, CommandLineQuery::None},
        {{"pellora", "--HELP"}, CommandLineQuery::None},
        {{"pellora", "-h"}, CommandLineQuery::None},
        {{"pellora", "--helpful"}, CommandLineQuery::None},
        {{"pellora", "--version=1"}, CommandLineQuery::None},
        {{"pellora", ""}, CommandLineQuery::None},
    };
    for (const auto& [arguments, query] : rows) {
        EXPECT_EQ(FindCommandLineQuery(static_cast<int>(arguments.size()), arguments.data()), query)
            << arguments.back();
    }
    const std::string version(CommandLineAnswer(CommandLineQuery::Version));
    EXPECT_TRUE(version.starts_with("pellora ") && version != "pellora unknown\n") << "the build names the version";
    const std::string usage(CommandLineAnswer(CommandLineQuery::Help));
    EXPECT_TRUE(usage.starts_with("Usage: pellora [OPTIONS-FILE]\n") && usage.ends_with('\n'));
    std::istringstream lines(usage);
    for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 80u) << line;
    EXPECT_TRUE(CommandLineAnswer(CommandLineQuery::None).empty());
}

}  // namespace
