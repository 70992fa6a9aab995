#include "config/Startup.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

CommandLineQuery QueryOf(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "pellora");
    return FindCommandLineQuery(static_cast<int>(arguments.size()), arguments.data());
}

// Only the two switches, spelled exactly and first, ask; anything else is an options file.
TEST(CommandLineQuery, OnlyAnExactFirstSwitchAsks) {
    struct Row {
        const char* name;
        std::vector<const char*> arguments;
        CommandLineQuery expected;
    };
    const Row rows[] = {
        {"no argument", {}, CommandLineQuery::None},
        {"an options file", {"home.opt"}, CommandLineQuery::None},
        {"--help", {"--help"}, CommandLineQuery::Help},
        {"--version", {"--version"}, CommandLineQuery::Version},
        {"--help before an ignored argument", {"--help", "home.opt"}, CommandLineQuery::Help},
        {"--help after the options file", {"home.opt", "--help"}, CommandLineQuery::None},
        {"another letter case", {"--HELP"}, CommandLineQuery::None},
        {"a short form", {"-h"}, CommandLineQuery::None},
        {"a longer word", {"--helpful"}, CommandLineQuery::None},
        {"a value attached", {"--version=1"}, CommandLineQuery::None},
        {"an empty argument", {""}, CommandLineQuery::None},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(QueryOf(row.arguments), row.expected) << row.name;
    }
}

TEST(CommandLineQuery, AnswersFitATerminalAndEndTheirLines) {
    const std::string version(CommandLineAnswer(CommandLineQuery::Version));
    EXPECT_TRUE(version.starts_with("pellora ")) << version;
    EXPECT_NE(version, "pellora unknown\n") << "the build did not name the version";
    const std::string usage(CommandLineAnswer(CommandLineQuery::Help));
    EXPECT_TRUE(usage.starts_with("Usage: pellora [OPTIONS-FILE]\n")) << usage;
    for (const std::string& text : {version, usage}) {
        ASSERT_TRUE(text.ends_with('\n'));
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 80u) << line;
    }
    EXPECT_TRUE(CommandLineAnswer(CommandLineQuery::None).empty());
}

}  // namespace
