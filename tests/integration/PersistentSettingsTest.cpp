// Settings that outlive the process: a start without an options file reads the
// per-user store, and writes it afresh when it is missing, incomplete or damaged.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "config/RegistryStore.h"
#include "platform/UserStore.h"
#include "tests/support/ServerFixture.h"

namespace {

using platform::UserStore;

class PersistentSettings : public ServerFixture {
protected:
    // A server that starts without an options file, over the test's drive.
    void MakeServer() {
        server = std::make_unique<ServerProcess>(settings, "C=" + drive.Path());
        server->SetArguments({});
    }

    [[nodiscard]] std::string StoreDirectory() const { return server->ConfigDirectory() + "/pellora"; }
    [[nodiscard]] std::string StorePath() const { return StoreDirectory() + "/settings.store"; }

    // Writes `record` whole into the server's store, as an earlier run would have.
    void WriteStore(const ServerSettings& record) const {
        const char* old = std::getenv("XDG_CONFIG_HOME");
        const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
        setenv("XDG_CONFIG_HOME", server->ConfigDirectory().c_str(), 1);
        SaveSettingsToRegistry(record);
        if (saved) {
            setenv("XDG_CONFIG_HOME", saved->c_str(), 1);
        } else {
            unsetenv("XDG_CONFIG_HOME");
        }
    }

    // Both outcomes of listening on the default port put the title after the status.
    bool StartOnDefaults() { return server->StartAndWaitFor("\nPellora"); }
    // Listening, the server ends cleanly on SIGTERM; off-line (port 80 taken or refused
    // here) it has ended by itself with a failure.
    [[nodiscard]] int ExpectedStatusOnDefaults() const {
        return server->Stdout().find("Pellora - [Off-Line]") != std::string::npos ? 1 : 0;
    }
};

TEST_F(PersistentSettings, AFirstStartWritesTheDefaultsToTheStore) {
    MakeServer();
    ASSERT_TRUE(StartOnDefaults()) << server->Stdout() << server->Stderr();
    EXPECT_TRUE(server->Stdout().starts_with("All users allowed\n")) << server->Stdout();
    EXPECT_EQ(server->Stop(), ExpectedStatusOnDefaults());

    const UserStore store = UserStore::OpenIn(StoreDirectory());
    const platform::StoreKey main = store.OpenKey(kStoreMainKey);
    ASSERT_TRUE(main);
    EXPECT_EQ(main.Query("")->text, "PR2");
    EXPECT_EQ(main.OpenSubkey("Global").Query("Port")->number, 80u);
    EXPECT_EQ(main.OpenSubkey("Global").Query("CgiDir")->text, "cgi-bin");
    EXPECT_FALSE(main.OpenSubkey("Global").Query("RootPage0"));
    EXPECT_EQ(main.OpenSubkey("Upload").Query("UploadType")->number, 1u);
    EXPECT_FALSE(main.OpenSubkey("IpAccess").Query("IP0"));
    EXPECT_TRUE(main.OpenSubkey("DirAccess"));
    EXPECT_TRUE(main.OpenSubkey("Logging"));
}

TEST_F(PersistentSettings, TheStoredSettingsGovernTheNextStart) {
    drive.WriteFile("a.txt", "stored");
    drive.MakeDirectory("logs");
    MakeServer();
    ServerSettings stored;
    stored.Port = server->Port();
    stored.IpOption = kAccessRestrictive;
    stored.IpList[0].Assign("10.9");
    stored.LogOption = 1;
    stored.LogFile.Assign("C:\\logs\\access.log");
    WriteStore(stored);
    const std::string before = ReadWholeFile(StorePath());

    ASSERT_TRUE(server->Start()) << server->Stdout() << server->Stderr();
    const std::string port = std::to_string(server->Port());
    EXPECT_EQ(server->Stdout(), "Users restricted\nPellora [Port:" + port + "]\nListening on Port: [" + port + "]\n");
    EXPECT_EQ(SplitResponse(Get("/c/a.txt")).body, "stored");
    EXPECT_TRUE(ReadWholeFile(drive / "logs/access.log").ends_with(", GET, /c/a.txt\r\n"));
    EXPECT_EQ(ReadWholeFile(StorePath()), before) << "a complete store is read, not rewritten";
}

TEST_F(PersistentSettings, AnUnreadableOptionsFileFallsBackToTheStore) {
    drive.WriteFile("a.txt", "stored");
    MakeServer();
    ServerSettings stored;
    stored.Port = server->Port();
    WriteStore(stored);
    server->SetArguments({drive / "missing.opt"});
    ASSERT_TRUE(server->Start()) << server->Stdout() << server->Stderr();
    EXPECT_EQ(server->Stderr(), "Pellora Error: Couldn't open file " + (drive / "missing.opt") + " for read.\n");
    EXPECT_EQ(SplitResponse(Get("/c/a.txt")).body, "stored");
}

TEST_F(PersistentSettings, ARunFromAnOptionsFileLeavesTheStoreAlone) {
    StartServer();
    EXPECT_FALSE(std::filesystem::exists(server->ConfigDirectory() + "/pellora/settings.store"));
}

TEST_F(PersistentSettings, ADamagedStoreIsReportedKeptAsideAndReplacedByTheDefaults) {
    MakeServer();
    std::filesystem::create_directories(StoreDirectory());
    {
        std::ofstream out(StorePath(), std::ios::binary);
        out << "Pellora settings store, format 1\n[Software\\Tamsel\\Pellora\\Global]\n\"Port\"=dwo";
    }
    ASSERT_TRUE(StartOnDefaults()) << server->Stdout() << server->Stderr();
    EXPECT_EQ(server->Stop(), ExpectedStatusOnDefaults());

    std::vector<std::string> aside;
    for (const std::string& name : TestDirectory::List(StoreDirectory())) {
        if (name.starts_with("settings.store.corrupt-")) aside.push_back(name);
    }
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_TRUE(ReadWholeFile(StoreDirectory() + "/" + aside[0]).ends_with("\"Port\"=dwo"));
    const std::string stderrText = server->Stderr();
    EXPECT_TRUE(stderrText.starts_with("Pellora Error: The settings store " + StorePath() +
                                       " was damaged. It has been kept as " + StoreDirectory() + "/" + aside[0] +
                                       " and the settings start afresh.\n"))
        << stderrText;
    const UserStore store = UserStore::OpenIn(StoreDirectory());
    EXPECT_EQ(store.OpenKey(kStoreMainKey).OpenSubkey("Global").Query("Port")->number, 80u);
}

}  // namespace
