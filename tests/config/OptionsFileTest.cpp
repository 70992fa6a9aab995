#include "config/OptionsFile.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <climits>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "config/SettingsTable.h"
#include "platform/MessageBox.h"

namespace {

using namespace std::string_literals;

struct CapturedMessage {
    std::string caption, text;
    platform::MessageIcon icon;
};
std::vector<CapturedMessage> captured;

void Capture(std::string_view caption, std::string_view text, platform::MessageIcon icon) {
    captured.push_back({std::string(caption), std::string(text), icon});
}

// Every field away from its default, strings at full length, the lists partly empty.
ServerSettings EveryFieldSet() {
    ServerSettings s;
    s.Port = 8080;
    s.RootOption = kRootFile;
    s.RootFile.Assign("c:\\" + std::string(252, 'r'));
    s.RootDir.Assign(std::string(255, 'd'));
    s.CgiDir.Assign(std::string(255, 'c'));
    s.IpOption = kAccessSelective;
    for (int i = 0; i < 5; ++i) s.IpList[i].Assign(std::string(19, 'a' + i));
    s.DirOption = kDirError;
    s.DirFile.Assign(std::string(255, 'i'));
    s.DirAccessOption = kAccessRestrictive;
    for (int i = 0; i < 6; ++i) s.DirList[i].Assign(std::string(255, 'A' + i));
    s.LogOption = 1;
    s.LogFile.Assign(std::string(255, 'l'));
    s.UseTable = 1;
    s.UploadOn = 1;
    s.UploadAccessType = 0;
    s.UploadDir.Assign(std::string(255, 'u'));
    s.IncludeUploadLink = 0;
    return s;
}

// Rows from `firstFromB` on are expected from `b`, the ones before from `a`.
void ExpectRecord(const ServerSettings& actual, const ServerSettings& a, const ServerSettings& b = {},
                  std::size_t firstFromB = SIZE_MAX) {
    for (std::size_t i = 0; i < SettingRows().size(); ++i) {
        const SettingRow& row = SettingRows()[i];
        const ServerSettings& expected = i < firstFromB ? a : b;
        SCOPED_TRACE(row.fileKey);
        EXPECT_EQ(ReadField(row, actual).number, ReadField(row, expected).number);
        EXPECT_EQ(ReadField(row, actual).text, ReadField(row, expected).text);
    }
}

std::vector<std::string> LinesOf(const ServerSettings& settings) {
    const std::string text = FormatOptionsFile(settings);
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

TEST(FormatOptionsFile, DefaultRecordGivesTheThirtyThreeLines) {
    EXPECT_EQ(FormatOptionsFile(ServerSettings{}),
              "Pellora Configuration File:Release 1\r\n"
              "Port:80\r\nRootOption:0\r\nRootFile:\r\nRootDir:\r\nCgiDir:cgi-bin\r\nIpOption:0\r\n"
              "Ip0:\r\nIp1:\r\nIp2:\r\nIp3:\r\nIp4:\r\nIp5:\r\nIp6:\r\nIp7:\r\n"
              "DirOption:0\r\nDirFile:\r\nDirAccessOption:0\r\n"
              "Dir0:\r\nDir1:\r\nDir2:\r\nDir3:\r\nDir4:\r\nDir5:\r\nDir6:\r\nDir7:\r\n"
              "LogOption:0\r\nLogFile:\r\nUseTable:0\r\nUploadOn:0\r\nUploadAccessType:1\r\n"
              "UploadDir:\r\nIncludeUploadLink:1\r\n");
}

TEST(ParseOptionsText, PreRelease2FileLeavesTheLaterFieldsAsTheyWere) {
    std::vector<std::string> lines = LinesOf(EveryFieldSet());
    lines[0] = "Pellora Configuration File:Pre-Release 2";
    lines.resize(1 + PreRelease2Rows().size());
    ServerSettings settings;
    EXPECT_EQ(ParseOptionsText(Joined(lines), settings), OptionsParseResult::Complete);
    ExpectRecord(settings, EveryFieldSet(), ServerSettings{}, PreRelease2Rows().size());
}

TEST(ParseOptionsText, KeysAreNeverComparedOnlyPositionsCount) {
    std::vector<std::string> lines = LinesOf(EveryFieldSet());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        lines[i] = "Misspelt" + std::to_string(i) + lines[i].substr(lines[i].find(':'));
    }
    ServerSettings settings;
    EXPECT_EQ(ParseOptionsText(Joined(lines), settings), OptionsParseResult::Complete);
    ExpectRecord(settings, EveryFieldSet());
}

TEST(ParseOptionsText, BrokenLineKeepsTheFieldsReadBeforeIt) {
    std::vector<std::string> lines = LinesOf(EveryFieldSet());
    const std::size_t dir3Row = 20;
    lines[1 + dir3Row] = "Dir3 without a colon";  // its CR LF now comes before the next colon
    ServerSettings settings;
    EXPECT_EQ(ParseOptionsText(Joined(lines), settings), OptionsParseResult::LineMissing);
    ExpectRecord(settings, EveryFieldSet(), ServerSettings{}, dir3Row);
}

// An editor that ends lines with LF alone, on some lines or on all of them.
TEST(ParseOptionsText, LinesEndedByABareLfReadAsLinesEndedByCrLf) {
    const std::vector<std::string> lines = LinesOf(EveryFieldSet());
    std::string someLf;
    std::string allLf;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        someLf += lines[i] + (i % 3 == 1 ? "\n" : "\r\n");
        allLf += lines[i] + "\n";
    }
    for (const std::string& text : {someLf, allLf}) {
        ServerSettings settings;
        EXPECT_EQ(ParseOptionsText(text, settings), OptionsParseResult::Complete);
        ExpectRecord(settings, EveryFieldSet());
    }
}

TEST(ParseOptionsText, UnknownOrMissingHeaderChangesNothing) {
    const std::string port = "Port:81\r\n";
    const struct {
        const char* name;
        std::string text;
    } cases[] = {{"Release 2", "Pellora Configuration File:Release 2\r\n" + port},
                 {"lower case", "Pellora Configuration File:release 1\r\n" + port},
                 {"trailing blank", "Pellora Configuration File:Release 1 \r\n" + port},
                 {"empty text", ""},
                 {"no colon", "Pellora Configuration File Release 1\r\nPort 81\r\n"},
                 {"no CR LF", "Pellora Configuration File:Release 1"},
                 {"CR LF before colon", "Pellora Configuration File\r\n:Release 1\r\n" + port}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ServerSettings settings;
        EXPECT_EQ(ParseOptionsText(c.text, settings), OptionsParseResult::UnknownHeader);
        EXPECT_EQ(settings.Port, 80);
    }
}

// Only the changed line's field may differ from the full-length record around it, so
// a value spilling into a neighbour shows up too.
TEST(ParseOptionsText, ValuesAreStoredAsTheyStandButCutToTheirField) {
    const struct {
        const char* name;
        std::size_t row;
        std::string written, stored;
    } cases[] = {{"drive letter colon", 2, "c:\\web\\index.htm", "c:\\web\\index.htm"},
                 {"blanks", 4, "  cgi bin  ", "  cgi bin  "},
                 {"empty", 15, "", ""},
                 {"lone CR", 26, "a\rb", "a\rb"},
                 {"NUL ends the text", 3, "ab\0cd"s, "ab"},
                 {"over-long text", 3, std::string(300, 'x'), std::string(255, 'x')},
                 {"over-long IP entry", 10, std::string(30, '7'), std::string(19, '7')},
                 {"over-long last list entry", 24, std::string(400, 'z'), std::string(255, 'z')}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ServerSettings expected = EveryFieldSet();
        const SettingRow& row = SettingRows()[c.row];
        std::vector<std::string> lines = LinesOf(expected);
        lines[1 + c.row] = std::string(row.fileKey) + ":" + c.written;
        row.reach(expected).AssignText(c.stored);
        ServerSettings settings;
        EXPECT_EQ(ParseOptionsText(Joined(lines), settings), OptionsParseResult::Complete);
        ExpectRecord(settings, expected);
    }
}

TEST(ParseOptionsText, NumbersAreReadAsDecimalsClampedToInt32) {
    const struct {
        const char* name;
        std::string written;
        int32_t stored;
    } cases[] = {{"leading white space", " \t\v 81", 81},
                 {"plus sign", "+82", 82},
                 {"minus sign", "-83", -83},
                 {"trailing text", "84abc", 84},
                 {"no digits", "abc", 0},
                 {"empty", "", 0},
                 {"blank after sign", "- 5", 0},
                 {"int32 max", "2147483647", INT32_MAX},
                 {"above int32", "2147483648", INT32_MAX},
                 {"far above", "99999999999999999999999", INT32_MAX},
                 {"int32 min", "-2147483648", INT32_MIN},
                 {"below int32", "-2147483649", INT32_MIN}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> lines = LinesOf(ServerSettings{});
        lines[1] = "Port:" + c.written;
        ServerSettings settings;
        EXPECT_EQ(ParseOptionsText(Joined(lines), settings), OptionsParseResult::Complete);
        EXPECT_EQ(settings.Port, c.stored);
    }
}

class OptionsFileOnDisk : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "pellora-options-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
        previousHandler_ = platform::SetMessageBoxHandler(&Capture);
        captured.clear();
        SetDefaultSettings();
    }

    void TearDown() override {
        platform::SetMessageBoxHandler(previousHandler_);
        SetDefaultSettings();
        std::filesystem::remove_all(directory_);
    }

    [[nodiscard]] std::string PathOf(std::string_view name) const { return (directory_ / name).string(); }

    std::string WriteBytes(std::string_view name, std::string_view bytes) const {
        std::ofstream(PathOf(name), std::ios::binary) << bytes;
        return PathOf(name);
    }

    static std::string ReadBytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    static void ExpectOnlyMessage(const std::string& text) {
        ASSERT_EQ(captured.size(), 1u);
        EXPECT_EQ(captured[0].caption, "Pellora Error");
        EXPECT_EQ(captured[0].text, text);
        EXPECT_EQ(captured[0].icon, platform::MessageIcon::Exclamation);
        captured.clear();
    }

    std::filesystem::path directory_;
    platform::MessageBoxHandler previousHandler_ = nullptr;
};

TEST_F(OptionsFileOnDisk, RoundTripKeepsEveryFieldAndEmptyListEntries) {
    Settings() = EveryFieldSet();
    const std::string path = WriteBytes("full.opt", std::string(6000, 'o'));  // replaced, not overlaid
    ASSERT_EQ(WriteOptionsFile(path), 0);
    EXPECT_EQ(ReadBytes(path), FormatOptionsFile(EveryFieldSet()));
    EXPECT_LT(ReadBytes(path).size(), kOptionsFileReadLimit);

    SetDefaultSettings();
    EXPECT_EQ(ReadOptionsFile(path), 0);
    ExpectRecord(Settings(), EveryFieldSet());
    EXPECT_TRUE(captured.empty());
}

// What follows the last line is ignored, so padding sets the size.
TEST_F(OptionsFileOnDisk, FileOf4095BytesIsReadAnd4096IsTooLarge) {
    std::vector<std::string> lines = LinesOf(ServerSettings{});
    lines[1] = "Port:81";
    const std::string valid = Joined(lines);
    for (std::size_t size : {4095, 4096, 6000}) {
        SCOPED_TRACE(size);
        SetDefaultSettings();
        const std::string path = WriteBytes(std::to_string(size), valid + std::string(size - valid.size(), 'x'));
        const bool fits = size < kOptionsFileReadLimit;
        EXPECT_EQ(ReadOptionsFile(path), fits ? 0 : -1);
        EXPECT_EQ(Settings().Port, fits ? 81 : 80);
        if (!fits) ExpectOnlyMessage("File " + path + " is not in the right format.");
    }
    EXPECT_TRUE(captured.empty());
}

TEST_F(OptionsFileOnDisk, LastLineWithoutCrLfFailsAfterTheEarlierFields) {
    std::string text = FormatOptionsFile(EveryFieldSet());
    text.resize(text.size() - 2);
    EXPECT_EQ(ReadOptionsFile(WriteBytes("cut.opt", text)), -1);
    ExpectOnlyMessage("Couldn't read options file.");
    ExpectRecord(Settings(), EveryFieldSet(), ServerSettings{}, SettingRows().size() - 1);
}

TEST_F(OptionsFileOnDisk, EachFailureShowsItsMessage) {
    EXPECT_EQ(ReadOptionsFile(WriteBytes("empty.opt", "")), -1);
    ExpectOnlyMessage("Couldn't read options file.");
    EXPECT_EQ(ReadOptionsFile(WriteBytes("nocolon.opt", "Pellora Configuration File\r\n")), -1);
    ExpectOnlyMessage("Couldn't read options file.");

    const std::string missing = PathOf("missing.opt");
    EXPECT_EQ(ReadOptionsFile(missing), -1);
    ExpectOnlyMessage("Couldn't open file " + missing + " for read.");

    const std::string unwritable = PathOf("no-such-directory/new.opt");
    EXPECT_EQ(WriteOptionsFile(unwritable), -1);
    ExpectOnlyMessage("Couldn't open file " + unwritable + " for write.");
}

}  // namespace
