// The upload program gets the server's drive table, store and temporary directory
// (those that are set) and the upload settings the server runs with, and takes those
// settings back exactly.
#include "cgi/upload/UploadEnvironment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Entries as an environment block holds them, each ended by a NUL.
std::string Entries(std::initializer_list<std::string_view> entries) {
    std::string block;
    for (const std::string_view entry : entries) block.append(entry).push_back('\0');
    return block;
}

class UploadEnvironment : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : kNames) {
            const char* value = std::getenv(name);
            saved_[name] = value ? std::optional<std::string>(value) : std::nullopt;
        }
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            if (value) {
                setenv(name.c_str(), value->c_str(), 1);
            } else {
                unsetenv(name.c_str());
            }
        }
        for (const std::string& name : Handed()) unsetenv(name.c_str());
    }
    // The names of the settings entries the block holds.
    static std::vector<std::string> Handed() {
        std::vector<std::string> names;
        const std::string block = UploadProgramEnvironment(ServerSettings());
        for (std::size_t at = 0; at < block.size(); at = block.find('\0', at) + 1) {
            const std::string entry = block.substr(at, block.find('\0', at) - at);
            if (entry.starts_with(kSettingVariablePrefix)) names.push_back(entry.substr(0, entry.find('=')));
        }
        return names;
    }

    static constexpr const char* kNames[] = {"PELLORA_DRIVES", "XDG_CONFIG_HOME", "HOME", "TMPDIR"};
    std::map<std::string, std::optional<std::string>> saved_;
};

TEST_F(UploadEnvironment, TheServersPlacesAndUploadSettingsAreHandedOn) {
    setenv("PELLORA_DRIVES", "C=/srv/a;D=/srv/b", 1);
    setenv("XDG_CONFIG_HOME", "/home/u/.cfg", 1);
    unsetenv("HOME");
    setenv("TMPDIR", "", 1);
    ServerSettings settings;
    settings.UploadOn = 1;
    settings.DirAccessOption = kAccessSelective;
    settings.DirList[0].Assign("c:\\pub lic");
    settings.UploadDir.Assign("d:\\in");
    settings.RootDir.Assign("c:\\web");  // not an upload setting: not handed on
    const std::string block = UploadProgramEnvironment(settings);
    const std::string expected = Entries({"PELLORA_DRIVES=C=/srv/a;D=/srv/b", "XDG_CONFIG_HOME=/home/u/.cfg",
                                          "TMPDIR=", "PELLORA_SETTING_DirAccessOption=1",
                                          "PELLORA_SETTING_Dir0=c:\\pub lic", "PELLORA_SETTING_Dir1="});
    EXPECT_EQ(block.substr(0, expected.size()), expected);
    EXPECT_NE(block.find(Entries({"PELLORA_SETTING_UploadOn=1"})), std::string::npos);
    EXPECT_NE(block.find(Entries({"PELLORA_SETTING_UploadDir=d:\\in"})), std::string::npos);
    EXPECT_EQ(block.find("RootDir"), std::string::npos);
    for (const char* name : kNames) unsetenv(name);
    EXPECT_EQ(UploadProgramEnvironment(settings).find("PELLORA_DRIVES"), std::string::npos);
}

TEST_F(UploadEnvironment, TheProgramTakesTheServersSettingsOnlyWhenAllAreThere) {
    ServerSettings server;
    server.UploadOn = 1;
    server.UploadAccessType = 0;
    server.UploadDir.Assign("c:\\incoming");
    server.DirAccessOption = kAccessRestrictive;
    server.DirList[7].Assign("c:\\private");
    const std::string block = UploadProgramEnvironment(server);
    for (std::size_t at = 0; at < block.size(); at = block.find('\0', at) + 1) {
        const std::string entry = block.substr(at, block.find('\0', at) - at);
        const std::size_t equals = entry.find('=');
        setenv(entry.substr(0, equals).c_str(), entry.substr(equals + 1).c_str(), 1);
    }
    ServerSettings program;
    program.RootDir.Assign("c:\\kept");
    ASSERT_TRUE(TakeServerUploadSettings(program));
    EXPECT_EQ(program.UploadOn, 1);
    EXPECT_EQ(program.UploadAccessType, 0);
    EXPECT_EQ(program.UploadDir.View(), "c:\\incoming");
    EXPECT_EQ(program.DirAccessOption, kAccessRestrictive);
    EXPECT_EQ(program.DirList[7].View(), "c:\\private");
    EXPECT_EQ(program.RootDir.View(), "c:\\kept");

    unsetenv("PELLORA_SETTING_Dir3");
    ServerSettings untouched;
    EXPECT_FALSE(TakeServerUploadSettings(untouched));
    EXPECT_EQ(untouched.UploadOn, 0);
}

}  // namespace
