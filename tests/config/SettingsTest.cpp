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
#include "platform/MessageBox.h"
#include "tests/support/Guards.h"
#include "tests/support/TestDirectory.h"

namespace {

ServerSettings RootFileRecord(std::int32_t option, const char* rootFile) {
    ServerSettings settings;
    settings.RootOption = option;
    settings.RootFile.Assign(rootFile);
    return settings;
}

// Every field away from its default and unlike any other, texts at the full length of
// their field, then fields past `keep` back at their defaults.
ServerSettings FullRecord(char fill = 'A', std::size_t keep = 99) {
    ServerSettings s;
    for (std::size_t i = 0; i < SettingRows().size() && i < keep; ++i) {
        const FieldRef field = SettingRows()[i].reach(s);
        if (field.number != nullptr) *field.number = 1000 + static_cast<int>(i);
        if (field.number == nullptr) field.AssignText(std::string(field.TextMaxLength(), static_cast<char>(fill + i)));
    }
    if (keep > 1) s.RootOption = kRootFile;  // the root file is stored only for its option
    return s;
}
std::vector<std::string> messages;
void Capture(std::string_view caption, std::string_view text, platform::MessageIcon) {
    messages.push_back(std::string(caption) + ": " + std::string(text));
}

// A directory of the test's own that is also the store's home; message boxes captured.
class Persisted : public testing::Test {
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
    // A store holding only the values `fill` sets under the main key.
    template <typename Fill>
    void Store(Fill fill) {
        std::filesystem::remove_all(home_ / "pellora");
        platform::UserStore store = platform::UserStore::Open();
        platform::StoreKey main = store.CreateKey(kStoreMainKey);
        fill(main);
        ASSERT_TRUE(store.Commit());
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

// Only positions count, never keys; each value is stored as it is read, cut to its
// field, so a broken line keeps the fields before it.
TEST(OptionsFile, ValuesAreReadByPositionCutToTheirFieldUntilABrokenLine) {
    const ServerSettings full = FullRecord();
    std::vector<std::string> lines;
    std::istringstream text(FormatOptionsFile(full));
    for (std::string line; std::getline(text, line);) lines.push_back(line.substr(0, line.size() - 1));
    const auto file = [&lines](std::size_t line, const std::string& with, std::size_t count = 33) {
        std::string joined;
        for (std::size_t i = 0; i < count; ++i) joined += (i == line ? with : lines[i]) + "\r\n";
        return joined;
    };
    const auto with = [&full](std::size_t row, std::string_view text) {
        ServerSettings changed = full;
        SettingRows()[row].reach(changed).AssignText(text);
        return changed;
    };
    const std::string noEnd = file(99, "");
    using enum OptionsParseResult;
    const std::tuple<const char*, std::string, OptionsParseResult, ServerSettings> rows[] = {
        {"keys are not read", file(1, "Misspelt:" + lines[1].substr(5)), Complete, full},
        {"an older release stops after LogFile", file(0, "Pellora Configuration File:Pre-Release 2", 28), Complete,
         FullRecord('A', 27)},
        {"a line without its colon", file(21, "Dir3 without a colon"), LineMissing, FullRecord('A', 20)},
        {"last line without CR LF", noEnd.substr(0, noEnd.size() - 2), LineMissing, FullRecord('A', 31)},
        {"NUL ends the text", file(4, "RootDir:ab" + std::string(1, '\0') + "cd"), Complete, with(3, "ab")},
        {"over-long text cut", file(4, "RootDir:" + std::string(300, 'x')), Complete, with(3, std::string(255, 'x'))},
        {"release in lower case", file(0, "Pellora Configuration File:release 1"), UnknownHeader, {}},
    };
    for (const auto& [name, text, result, record] : rows) {
        ServerSettings settings;
        EXPECT_EQ(ParseOptionsText(text, settings), result) << name;
        EXPECT_EQ(FormatOptionsFile(settings), FormatOptionsFile(record)) << name;
    }
}

TEST_F(Persisted, AnOptionsFileIsWrittenWholeAndReadBackUnder4096BytesOrItsFailureIsShown) {
    Settings() = FullRecord();
    Settings().DirList[7].Assign(std::string(250, 'z'));                           // a byte under the read limit in all
    const std::string path = home_.WriteFile("full.opt", std::string(6000, 'o'));  // replaced, not overlaid
    ASSERT_EQ(WriteOptionsFile(path), 0);
    const ServerSettings written = Settings();
    SetDefaultSettings();
    EXPECT_EQ(ReadOptionsFile(path), 0);
    EXPECT_EQ(FormatOptionsFile(Settings()), FormatOptionsFile(written));
    const std::string valid = "Pellora Configuration File:Release 1\r\nPort:81\r\n" + FormatOptionsFile({}).substr(47);
    SetDefaultSettings();
    EXPECT_EQ(ReadOptionsFile(home_.WriteFile("padded.opt", valid + std::string(4096 - valid.size(), 'x'))), -1);
    EXPECT_EQ(Settings().Port, 80) << "a file of 4096 bytes is not read";
    EXPECT_EQ(WriteOptionsFile(home_ / "no/new.opt"), -1);
    EXPECT_EQ(messages, (std::vector<std::string>{
                            "Pellora Error: File " + home_ / "padded.opt" + " is not in the right format.",
                            "Pellora Error: Couldn't open file " + home_ / "no/new.opt" + " for write.",
                        }));
}

TEST_F(Persisted, AFirstSaveWritesTheMarkerAndFiveSubkeysAFullRecordRoundTripsAndOddValuesStayInTheirFields) {
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
    SaveSettingsToRegistry(FullRecord());
    ServerSettings record;
    EXPECT_EQ(LoadSettingsFromRegistry(record), 0);
    EXPECT_EQ(FormatOptionsFile(record), FormatOptionsFile(FullRecord()));
    EXPECT_EQ(messages, std::vector<std::string>{}) << "nothing here reports to the user";
    // A value too long or of the wrong type never reaches beyond its field.
    Store([](platform::StoreKey& main) {
        main.SetString("", "PR2");
        main.CreateSubkey("Global").SetString("RootPath", std::string(5000, 'r'));
        main.CreateSubkey("Global").SetString("Port", "8080");
        main.CreateSubkey("Logging").SetDword("IsLogOn", 4294967295u);
    });
    ServerSettings loaded = FullRecord();
    LoadSettingsFromRegistry(loaded);
    EXPECT_EQ(loaded.RootDir.View(), std::string(255, 'r'));
    EXPECT_EQ(loaded.Port, 1000) << "a string where a number belongs";
    EXPECT_EQ(loaded.LogOption, -1);
}

TEST_F(Persisted, TheRootFileIsKeptOnlyForItsOptionAndHeadsAHistoryOfEightWithoutDuplicates) {
    SaveSettingsToRegistry(RootFileRecord(kRootDriveIndex, "c:\\web\\index.htm"));
    ServerSettings loaded;
    LoadSettingsFromRegistry(loaded);
    EXPECT_EQ(loaded.RootFile.View(), "") << "kept only for its option";
    using History = std::vector<std::string>;
    const History full = {"A", "B", "C", "D", "E", "F", "G", "H"};
    const std::tuple<History, const char*, History> rows[] = {
        // before, the root file saved, after
        {full, "X", {"X", "A", "B", "C", "D", "E", "F", "G"}},  // the last falls off
        {full, "D", {"D", "A", "B", "C", "E", "F", "G", "H"}},
        {{"c:\\a.htm"}, "C:\\A.HTM", {"C:\\A.HTM", "c:\\a.htm"}},  // compared exactly
        {{"A", "B"}, "", {"A", "B"}},                              // an empty root file changes nothing
    };
    for (const auto& [history, rootFile, after] : rows) {
        Store([&before = history](platform::StoreKey& main) {
            platform::StoreKey global = main.CreateSubkey("Global");
            for (std::size_t i = 0; i < before.size(); ++i) global.SetString("RootPage" + std::to_string(i), before[i]);
        });
        SaveGlobalSettings(RootFileRecord(kRootFile, rootFile));
        EXPECT_EQ(ReadRootFileHistory(), after) << rootFile;
    }
}

// The older layout kept one root page and the index settings under "Global".
TEST_F(Persisted, TheOlderLayoutIsConvertedOnceOnLoadMovingOnlyWhatIsThere) {
    for (const bool older : {true, false}) {
        Store([older](platform::StoreKey& main) {
            platform::StoreKey global = main.CreateSubkey("Global");
            global.SetDword("RootType", kRootFile);
            global.SetString(older ? "RootPage" : "RootPage0", "c:\\web\\index.htm");
            global.SetString(older ? "DirIndexName" : "RootPath", "scripts");
            if (older) global.SetDword("DirIndexType", kDirIndexElseError);
            if (!older) main.CreateSubkey("DirAccess").SetString("DirIndexName", "kept");
        });
        for (int load = 0; load < 2; ++load) {  // converted once: the second load finds the marker
            ServerSettings loaded;
            EXPECT_EQ(LoadSettingsFromRegistry(loaded), -1) << "IpAccess, Logging and Upload are missing";
            EXPECT_EQ(loaded.RootFile.View(), "c:\\web\\index.htm") << older;
            EXPECT_EQ(loaded.RootDir.View(), older ? "c:\\web" : "scripts") << older;
            EXPECT_EQ(loaded.DirFile.View(), older ? "scripts" : "kept") << older;
            EXPECT_EQ(loaded.DirOption, older ? kDirIndexElseError : kDirListing) << older;
        }
        const std::string store = ReadWholeFile(home_ / "pellora/settings.store");
        EXPECT_TRUE(store.find("@=\"PR2\"") != std::string::npos && store.find("\"RootPage\"") == std::string::npos);
        EXPECT_GT(store.find("DirIndex"), store.find("DirAccess]")) << "the index settings live in DirAccess now";
    }
}

TEST_F(Persisted, ASaverKilledMidSaveLeavesTheOldOrTheNewStore) {
    const ServerSettings records[2] = {FullRecord('a'), FullRecord('b')};
    const std::string first = FormatOptionsFile(records[0]), second = FormatOptionsFile(records[1]);
    SaveSettingsToRegistry(records[0]);
    for (int round = 0; round < 25; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0)
            for (int i = 1;; ++i) SaveSettingsToRegistry(records[i % 2]);
        usleep(1000 + static_cast<useconds_t>(round * 797 % 20000));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        ServerSettings loaded;
        ASSERT_EQ(LoadSettingsFromRegistry(loaded), 0) << "round " << round;
        ASSERT_TRUE(FormatOptionsFile(loaded) == first || FormatOptionsFile(loaded) == second) << "round " << round;
    }
    for (const std::string& name : TestDirectory::List(home_ / "pellora"))
        EXPECT_FALSE(name.starts_with("settings.store.corrupt")) << "nothing was set aside";
}

}  // namespace
