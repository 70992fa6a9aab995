#include "config/RegistryStore.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "config/SettingsTable.h"
#include "platform/MessageBox.h"
#include "platform/UserStore.h"
#include "tests/support/TestDirectory.h"

namespace {

using platform::StoreKey;
using platform::StoreValue;
using platform::UserStore;

std::vector<std::string> messages;

void Capture(std::string_view caption, std::string_view text, platform::MessageIcon) {
    messages.push_back(std::string(caption) + ": " + std::string(text));
}

// Every case has a store of its own: XDG_CONFIG_HOME points into a fresh directory.
class RegistryStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* old = std::getenv("XDG_CONFIG_HOME")) saved_ = old;
        setenv("XDG_CONFIG_HOME", home_.Path().c_str(), 1);
        messages.clear();
        previous_ = platform::SetMessageBoxHandler(&Capture);
    }
    void TearDown() override {
        platform::SetMessageBoxHandler(previous_);
        if (saved_) {
            setenv("XDG_CONFIG_HOME", saved_->c_str(), 1);
        } else {
            unsetenv("XDG_CONFIG_HOME");
        }
        EXPECT_EQ(messages, std::vector<std::string>{}) << "nothing here reports to the user";
    }

    static UserStore Store() { return UserStore::Open(); }

    // The names of a key's values, as the store keeps them.
    static std::vector<std::string> ValueNames(std::string_view subkey) {
        const UserStore store = Store();
        std::vector<std::string> names;
        std::string path(kStoreMainKey);
        if (!subkey.empty()) path += "\\" + std::string(subkey);
        const StoreKey key = store.OpenKey(path);
        if (!key) return {"(no key)"};
        // Asking for every name a section could hold, in a fixed order.
        for (const SettingRow& row : SettingRows()) {
            if (row.storeSubkey != subkey || row.storeValueName.starts_with("RootPage")) continue;
            if (key.Query(row.storeValueName)) names.emplace_back(row.storeValueName);
        }
        for (int i = 0; i <= 9; ++i) {
            const std::string page = "RootPage" + std::to_string(i);
            if (subkey == kStoreGlobal && key.Query(page)) names.push_back(page);
        }
        return names;
    }

    static void SetHistory(const std::vector<std::string>& entries) {
        UserStore store = Store();
        StoreKey global = store.CreateKey(std::string(kStoreMainKey) + "\\Global");
        for (std::size_t i = 0; i < entries.size(); ++i) {
            global.SetString("RootPage" + std::to_string(i), entries[i]);
        }
        ASSERT_TRUE(store.Commit());
    }

    TestDirectory home_;
    std::optional<std::string> saved_;
    platform::MessageBoxHandler previous_ = nullptr;
};

// Every field away from its default, every string at the full length of its field.
ServerSettings FullRecord(char fill = 'a') {
    ServerSettings s;
    s.Port = 8080;
    s.RootOption = kRootFile;
    s.RootFile.Assign("c:\\" + std::string(252, fill));
    s.RootDir.Assign(std::string(255, static_cast<char>(fill + 1)));
    s.CgiDir.Assign(std::string(255, static_cast<char>(fill + 2)));
    s.IpOption = kAccessRestrictive;
    for (int i = 0; i < kListEntries; ++i) s.IpList[i].Assign(std::string(19, static_cast<char>(fill + i)));
    s.DirOption = -1;  // not a value the sheet offers, but the store keeps it
    s.DirFile.Assign(std::string(255, static_cast<char>(fill + 3)));
    s.DirAccessOption = kAccessSelective;
    for (int i = 0; i < kListEntries; ++i) s.DirList[i].Assign(std::string(255, static_cast<char>(fill + i)));
    s.LogOption = 1;
    s.LogFile.Assign(std::string(255, static_cast<char>(fill + 4)));
    s.UseTable = 1;
    s.UploadOn = 1;
    s.UploadAccessType = 0;
    s.UploadDir.Assign(std::string(255, static_cast<char>(fill + 5)));
    s.IncludeUploadLink = 0;
    return s;
}

// What a load gives back: every field whole, strings at the full length of their field.
void ExpectLoaded(const ServerSettings& loaded, const ServerSettings& saved) {
    for (const SettingRow& row : SettingRows()) {
        SCOPED_TRACE(row.fileKey);
        const FieldValue got = ReadField(row, loaded);
        const FieldValue sent = ReadField(row, saved);
        if (row.type == SettingType::Integer) {
            EXPECT_EQ(got.number, sent.number);
        } else {
            EXPECT_EQ(got.text, sent.text);
        }
    }
}

TEST_F(RegistryStoreTest, FirstStartCreatesKeyMarkerAndFiveSubkeysWithoutListValues) {
    ServerSettings record;
    record.Port = 1234;  // a load that finds no key changes nothing
    EXPECT_EQ(LoadSettingsFromRegistry(record), -1);
    EXPECT_EQ(record.Port, 1234);

    SaveSettingsToRegistry(ServerSettings{});
    {
        const UserStore store = Store();
        const StoreKey main = store.OpenKey(kStoreMainKey);
        ASSERT_TRUE(main);
        EXPECT_EQ(main.Query("")->text, "PR2");
    }
    EXPECT_EQ(ValueNames(kStoreGlobal), (std::vector<std::string>{"Port", "RootType", "RootPath", "CgiDir"}));
    EXPECT_EQ(ValueNames(kStoreIpAccess), (std::vector<std::string>{"IpAccessType"}));
    EXPECT_EQ(ValueNames(kStoreDirAccess),
              (std::vector<std::string>{"DirIndexType", "DirIndexName", "DirAccessType", "UseTableStyle"}));
    EXPECT_EQ(ValueNames(kStoreLogging), (std::vector<std::string>{"IsLogOn", "LogFile"}));
    EXPECT_EQ(ValueNames(kStoreUpload),
              (std::vector<std::string>{"UploadOn", "UploadType", "UploadDir", "IncludeUpload"}));

    ServerSettings loaded;
    loaded.Port = 1234;
    EXPECT_EQ(LoadSettingsFromRegistry(loaded), 0);
    ExpectLoaded(loaded, ServerSettings{});
}

TEST_F(RegistryStoreTest, FullLengthRecordRoundTripsWhole) {
    const ServerSettings full = FullRecord();
    SaveSettingsToRegistry(full);
    ServerSettings loaded;
    EXPECT_EQ(LoadSettingsFromRegistry(loaded), 0);
    ExpectLoaded(loaded, full);
    EXPECT_EQ(loaded.IpList[0].View(), std::string(19, 'a')) << "a full IP entry comes back whole";
}

TEST_F(RegistryStoreTest, OverlongAndMistypedValuesNeverReachBeyondTheirField) {
    SaveSettingsToRegistry(ServerSettings{});
    {
        UserStore store = Store();
        StoreKey main = store.OpenKey(kStoreMainKey);
        main.OpenSubkey("Global").SetString("RootPath", std::string(5000, 'r'));
        main.OpenSubkey("Global").SetString("Port", "8080");  // a string where a number belongs
        main.OpenSubkey("IpAccess").SetString("IP0", std::string(300, '1'));
        main.OpenSubkey("IpAccess").SetDword("IP1", 7);               // a number where a string belongs
        main.OpenSubkey("Logging").SetDword("IsLogOn", 4294967295u);  // -1 as the store keeps it
        ASSERT_TRUE(store.Commit());
    }
    ServerSettings loaded;
    loaded.IpList[1].Assign("10.1");
    EXPECT_EQ(LoadSettingsFromRegistry(loaded), 0);
    EXPECT_EQ(loaded.RootDir.View(), std::string(255, 'r'));
    EXPECT_EQ(loaded.CgiDir.View(), "cgi-bin");
    EXPECT_EQ(loaded.Port, 80);
    EXPECT_EQ(loaded.IpList[0].View(), std::string(19, '1'));
    EXPECT_EQ(loaded.IpList[1].View(), "10.1");
    EXPECT_EQ(loaded.LogOption, -1);
}

TEST_F(RegistryStoreTest, MissingValuesAndSubkeysLeaveTheirFieldsAndFailTheLoad) {
    {
        UserStore store = Store();
        StoreKey main = store.CreateKey(kStoreMainKey);
        main.SetString("", "PR2");
        main.CreateSubkey("Global").SetDword("Port", 9000);
        main.CreateSubkey("Logging").SetString("LogFile", "c:\\log.txt");
        main.CreateSubkey("Upload");
        ASSERT_TRUE(store.Commit());
    }
    ServerSettings loaded = FullRecord('k');
    const ServerSettings before = loaded;
    EXPECT_EQ(LoadSettingsFromRegistry(loaded), -1) << "IpAccess and DirAccess are missing";
    EXPECT_EQ(loaded.Port, 9000);
    EXPECT_EQ(loaded.LogFile.View(), "c:\\log.txt");
    EXPECT_EQ(loaded.RootFile.View(), before.RootFile.View()) << "RootType missing: the option stays 1";
    EXPECT_EQ(loaded.CgiDir.View(), before.CgiDir.View());
    EXPECT_EQ(loaded.IpOption, before.IpOption);
    EXPECT_EQ(loaded.DirList[3].View(), before.DirList[3].View());
    EXPECT_EQ(loaded.UploadDir.View(), before.UploadDir.View());
}

TEST_F(RegistryStoreTest, RootFileIsKeptOnlyForTheRootFileOption) {
    struct Row {
        const char* name;
        int32_t rootOption;
        const char* rootFile;
    };
    const Row rows[] = {
        {"drive index", kRootDriveIndex, ""},
        {"root file", kRootFile, "c:\\web\\index.htm"},
        {"error page", kRootError, ""},
        {"unknown value", 7, ""},
    };
    for (const Row& row : rows) {
        ServerSettings saved;
        saved.RootOption = row.rootOption;
        saved.RootFile.Assign("c:\\web\\index.htm");
        SaveSettingsToRegistry(saved);
        ServerSettings loaded;
        LoadSettingsFromRegistry(loaded);
        EXPECT_EQ(loaded.RootFile.View(), row.rootFile) << row.name;
        EXPECT_EQ(ReadRootFileHistory(), std::vector<std::string>{"c:\\web\\index.htm"}) << row.name;
    }
}

TEST_F(RegistryStoreTest, RootFileHistoryPutsTheNewestFirstWithoutDuplicatesOrGaps) {
    struct Row {
        const char* name;
        std::vector<std::string> before;
        const char* rootFile;
        std::vector<std::string> after;
    };
    const std::vector<std::string> full = {"A", "B", "C", "D", "E", "F", "G", "H"};
    const Row rows[] = {
        {"first root file", {}, "A", {"A"}},
        {"a new one goes on top", {"A", "B"}, "C", {"C", "A", "B"}},
        {"one from the middle moves up", {"A", "B", "C"}, "B", {"B", "A", "C"}},
        {"the same twice changes nothing", {"A", "B", "C"}, "A", {"A", "B", "C"}},
        {"the last one moves up", {"A", "B", "C"}, "C", {"C", "A", "B"}},
        {"a full history drops its eighth", full, "X", {"X", "A", "B", "C", "D", "E", "F", "G"}},
        {"a full history moves its fourth", full, "D", {"D", "A", "B", "C", "E", "F", "G", "H"}},
        {"a full history moves its eighth", full, "H", {"H", "A", "B", "C", "D", "E", "F", "G"}},
        {"comparison is exact", {"c:\\a.htm"}, "C:\\A.HTM", {"C:\\A.HTM", "c:\\a.htm"}},
        {"an empty root file changes nothing", {"A", "B"}, "", {"A", "B"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TestDirectory home;
        setenv("XDG_CONFIG_HOME", home.Path().c_str(), 1);
        SetHistory(row.before);
        ServerSettings saved;
        saved.RootOption = kRootFile;
        saved.RootFile.Assign(row.rootFile);
        SaveGlobalSettings(saved);
        EXPECT_EQ(ReadRootFileHistory(), row.after);
        // Only the history's own values exist: nothing left past its end.
        std::vector<std::string> pages;
        for (const std::string& name : ValueNames(kStoreGlobal)) {
            if (name.starts_with("RootPage")) pages.push_back(name);
        }
        EXPECT_EQ(pages.size(), row.after.size());
        if (!row.after.empty()) {
            EXPECT_EQ(pages.back(), "RootPage" + std::to_string(row.after.size() - 1));
        }
    }
}

TEST_F(RegistryStoreTest, HistoryKeepsLongPathsWholeAndReadingStopsAtTheFirstGap) {
    const std::string longPath = "c:\\" + std::string(252, 'p');
    SetHistory({longPath, "B"});
    ServerSettings saved;
    saved.RootOption = kRootFile;
    saved.RootFile.Assign(longPath);
    SaveGlobalSettings(saved);
    EXPECT_EQ(Store().OpenKey(std::string(kStoreMainKey) + "\\Global").Query("RootPage0")->text, longPath);
    EXPECT_EQ(ReadRootFileHistory(), (std::vector<std::string>{longPath, "B"}));

    {
        UserStore store = Store();
        store.OpenKey(std::string(kStoreMainKey) + "\\Global").DeleteValue("RootPage0");
        ASSERT_TRUE(store.Commit());
    }
    EXPECT_EQ(ReadRootFileHistory(), std::vector<std::string>{});
}

TEST_F(RegistryStoreTest, RemovedListEntriesLeaveNoValueBehind) {
    ServerSettings s;
    s.IpOption = kAccessSelective;
    s.DirAccessOption = kAccessSelective;
    for (int i = 0; i < 3; ++i) {
        s.IpList[i].Assign("10.0.0." + std::to_string(i));
        s.DirList[i].Assign("c:\\d" + std::to_string(i));
    }
    SaveSettingsToRegistry(s);
    s.IpList[2].Clear();
    s.DirList[1] = s.DirList[2];
    s.DirList[2].Clear();
    SaveIpAccessSettings(s);
    SaveDirAccessSettings(s);

    EXPECT_EQ(ValueNames(kStoreIpAccess), (std::vector<std::string>{"IpAccessType", "IP0", "IP1"}));
    ServerSettings loaded;
    LoadSettingsFromRegistry(loaded);
    EXPECT_EQ(loaded.IpList[1].View(), "10.0.0.1");
    EXPECT_TRUE(loaded.IpList[2].Empty()) << "the removed address does not come back";
    EXPECT_EQ(loaded.DirList[1].View(), "c:\\d2");
    EXPECT_TRUE(loaded.DirList[2].Empty());
}

TEST_F(RegistryStoreTest, EachSectionSaveWritesItsOwnValuesOnly) {
    struct Row {
        const char* name;
        void (*save)(const ServerSettings&);
        std::string_view subkey;
        std::vector<std::string> values;
    };
    const Row rows[] = {
        {"General", &SaveGlobalSettings, kStoreGlobal, {"Port", "RootType", "RootPath", "CgiDir", "RootPage0"}},
        {"Network", &SaveIpAccessSettings, kStoreIpAccess, {"IpAccessType", "IP0", "IP1", "IP2"}},
        {"Directories", &SaveIndexSettings, kStoreDirAccess, {"DirIndexType", "DirIndexName", "UseTableStyle"}},
        {"Sharing", &SaveDirAccessSettings, kStoreDirAccess, {"DirAccessType", "DIR0", "DIR1", "DIR2", "DIR3"}},
        {"Logging", &SaveLoggingSettings, kStoreLogging, {"IsLogOn", "LogFile"}},
        {"Upload", &SaveUploadSettings, kStoreUpload, {"UploadOn", "UploadType", "UploadDir", "IncludeUpload"}},
    };
    ServerSettings s = FullRecord();
    for (int i = 3; i < kListEntries; ++i) s.IpList[i].Clear();
    for (int i = 4; i < kListEntries; ++i) s.DirList[i].Clear();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TestDirectory home;
        setenv("XDG_CONFIG_HOME", home.Path().c_str(), 1);
        row.save(s);
        EXPECT_EQ(ValueNames(row.subkey), row.values);
        EXPECT_FALSE(Store().OpenKey(kStoreMainKey).Query("")) << "a section save writes no marker";
        int subkeys = 0;
        for (std::string_view other : {kStoreGlobal, kStoreIpAccess, kStoreDirAccess, kStoreLogging, kStoreUpload}) {
            subkeys += Store().OpenKey(std::string(kStoreMainKey) + "\\" + std::string(other)) ? 1 : 0;
        }
        EXPECT_EQ(subkeys, 1);
    }
}

TEST_F(RegistryStoreTest, OlderLayoutIsConvertedOnceOnLoad) {
    struct Row {
        const char* name;
        const char* rootPage;
        const char* rootPath;
    };
    const Row rows[] = {
        {"a file in a directory", "c:\\web\\index.htm", "c:\\web"},
        {"a file at a drive root", "c:\\index.htm", "c:"},
        {"a name without a directory", "index.htm", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TestDirectory home;
        setenv("XDG_CONFIG_HOME", home.Path().c_str(), 1);
        {
            UserStore store = Store();
            StoreKey main = store.CreateKey(kStoreMainKey);
            StoreKey global = main.CreateSubkey("Global");
            global.SetDword("Port", 8081);
            global.SetDword("RootType", kRootFile);
            global.SetString("RootPage", row.rootPage);
            global.SetDword("DirIndexType", kDirIndexElseError);
            global.SetString("DirIndexName", "default.htm");
            global.SetString("CgiDir", "scripts");
            main.CreateSubkey("IpAccess").SetDword("IpAccessType", kAccessRestrictive);
            main.CreateSubkey("DirAccess").SetDword("DirAccessType", kAccessSelective);
            main.CreateSubkey("Logging");
            main.CreateSubkey("Upload");
            ASSERT_TRUE(store.Commit());
        }
        ServerSettings loaded;
        EXPECT_EQ(LoadSettingsFromRegistry(loaded), 0);
        EXPECT_EQ(loaded.Port, 8081);
        EXPECT_EQ(loaded.RootFile.View(), row.rootPage);
        EXPECT_EQ(loaded.RootDir.View(), row.rootPath);
        EXPECT_EQ(loaded.CgiDir.View(), "scripts");
        EXPECT_EQ(loaded.DirOption, kDirIndexElseError);
        EXPECT_EQ(loaded.DirFile.View(), "default.htm");
        EXPECT_EQ(loaded.IpOption, kAccessRestrictive);
        EXPECT_EQ(loaded.DirAccessOption, kAccessSelective);

        EXPECT_EQ(Store().OpenKey(kStoreMainKey).Query("")->text, "PR2");
        EXPECT_EQ(ValueNames(kStoreGlobal),
                  (std::vector<std::string>{"Port", "RootType", "RootPath", "CgiDir", "RootPage0"}));
        EXPECT_EQ(ReadRootFileHistory(), std::vector<std::string>{row.rootPage});
        EXPECT_EQ(ValueNames(kStoreDirAccess),
                  (std::vector<std::string>{"DirIndexType", "DirIndexName", "DirAccessType"}));
        // Converted once: a second load finds the marker and the same values.
        ServerSettings again;
        EXPECT_EQ(LoadSettingsFromRegistry(again), 0);
        EXPECT_EQ(again.DirFile.View(), "default.htm");
        EXPECT_EQ(again.RootDir.View(), row.rootPath);
    }
}

TEST_F(RegistryStoreTest, OlderIndexSettingsMoveEvenWithoutADirAccessKey) {
    {
        UserStore store = Store();
        StoreKey global = store.CreateKey(std::string(kStoreMainKey) + "\\Global");
        global.SetDword("DirIndexType", kDirIndexElseListing);
        global.SetString("DirIndexName", "index.html");
        ASSERT_TRUE(store.Commit());
    }
    ServerSettings loaded;
    EXPECT_EQ(LoadSettingsFromRegistry(loaded), -1) << "IpAccess, Logging and Upload are missing";
    EXPECT_EQ(loaded.DirOption, kDirIndexElseListing);
    EXPECT_EQ(loaded.DirFile.View(), "index.html");
    EXPECT_EQ(ValueNames(kStoreDirAccess), (std::vector<std::string>{"DirIndexType", "DirIndexName"}));
    EXPECT_EQ(ValueNames(kStoreGlobal), std::vector<std::string>{});
}

TEST_F(RegistryStoreTest, UpgradeWithoutOlderValuesOverwritesNothing) {
    {
        UserStore store = Store();
        StoreKey main = store.CreateKey(kStoreMainKey);  // no marker
        StoreKey global = main.CreateSubkey("Global");
        global.SetString("RootPage0", "c:\\kept.htm");
        global.SetString("RootPath", "c:\\kept");
        main.CreateSubkey("DirAccess").SetString("DirIndexName", "kept.htm");
        ASSERT_TRUE(store.Commit());
    }
    ServerSettings loaded;
    EXPECT_EQ(LoadSettingsFromRegistry(loaded), -1);
    EXPECT_EQ(loaded.RootDir.View(), "c:\\kept");
    EXPECT_EQ(loaded.DirFile.View(), "kept.htm");
    EXPECT_EQ(ReadRootFileHistory(), std::vector<std::string>{"c:\\kept.htm"});
}

// A saver killed at any moment leaves the store it found or the one it meant to write,
// never a broken one.
TEST_F(RegistryStoreTest, ASaverKilledMidSaveLeavesTheOldOrTheNewStore) {
    const ServerSettings first = FullRecord('a');
    ServerSettings second = FullRecord('m');
    second.Port = 9090;
    SaveSettingsToRegistry(first);

    std::mt19937 random(42);
    for (int round = 0; round < 25; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i) SaveSettingsToRegistry(i % 2 == 0 ? second : first);
        }
        usleep(1000 + random() % 20000);
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);

        ServerSettings loaded;
        ASSERT_EQ(LoadSettingsFromRegistry(loaded), 0) << "round " << round;
        ASSERT_TRUE(loaded.Port == 8080 || loaded.Port == 9090);
        ExpectLoaded(loaded, loaded.Port == 8080 ? first : second);
    }
    for (const std::string& name : TestDirectory::List(home_ / "pellora")) {
        EXPECT_FALSE(name.starts_with("settings.store.corrupt")) << name;
    }
}

}  // namespace
