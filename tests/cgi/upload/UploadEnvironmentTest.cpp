// The upload program gets the server's drive table, store and temporary directory
// on top of the CGI variables, and only those that are set.
#include "cgi/upload/UploadEnvironment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

namespace {

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
    }

    static constexpr const char* kNames[] = {"PELLORA_DRIVES", "XDG_CONFIG_HOME", "HOME", "TMPDIR"};
    std::map<std::string, std::optional<std::string>> saved_;
};

TEST_F(UploadEnvironment, TheServersPlacesAreHandedOnWhenSet) {
    setenv("PELLORA_DRIVES", "C=/srv/a;D=/srv/b", 1);
    setenv("XDG_CONFIG_HOME", "/home/u/.cfg", 1);
    unsetenv("HOME");
    setenv("TMPDIR", "", 1);
    EXPECT_EQ(UploadProgramEnvironment(),
              std::string("PELLORA_DRIVES=C=/srv/a;D=/srv/b\0XDG_CONFIG_HOME=/home/u/.cfg\0TMPDIR=\0", 70));
    for (const char* name : kNames) unsetenv(name);
    EXPECT_EQ(UploadProgramEnvironment(), "");
}

}  // namespace
