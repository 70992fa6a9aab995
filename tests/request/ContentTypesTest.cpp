// File types by extension: the built-in table first, then the machine's registrations,
// which come here from a mime.types file and data directories of the test's own.
#include "request/ContentTypes.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/FileTypeRegistry.h"
#include "tests/support/Guards.h"
#include "tests/support/TestDirectory.h"

namespace {

using Text = std::optional<std::string>;
const std::string kLongType = "application/x-" + std::string(300, 'a');

class FileTypes : public testing::Test {
protected:
    void SetUp() override {
        environment_.Set("PELLORA_MIME_TYPES",
                         root_.WriteFile("mime.types",
                                         "text/x-one\t\tone ONE2   # trailing words are no extensions\n"
                                         "application/x-first dup\napplication/x-second dup more\n"
                                         "notatype bad\n../../etc/x evil\napplication/pdf pdf\n"
                                         "text/x-bogus htm\napplication/x-nodesc nodesc\n" +
                                             kLongType +
                                             " long\na/x-described described\n"
                                             "a/x-localized localized\na/x-entities entities\n"
                                             "a/x-later later\na/x-both both\n"));
        environment_.Set("PELLORA_MIME_DIRS", root_ / "one" + ":relative:" + root_ / "two");
        Comments("one", "application/pdf", "<comment>PDF document</comment>");
        Comments("one", "a/x-described",
                 "<!-- <comment>not this</comment> -->\n<comments>nor this</comments>\n"
                 "<comment xml:lang=\"de\">Beschreibung</comment>\n<comment/>\n"
                 "<comment>Described file</comment>\n<comment>Second thought</comment>\n");
        Comments("one", "a/x-localized", "<comment xml:lang=\"fr\">Fichier</comment>\n");
        Comments("one", "a/x-entities",
                 "<comment>Tom &amp; Jerry &lt;b&gt; &quot;q&quot; &apos;a&apos; &bogus;</comment>");
        Comments("two", "a/x-later", "<comment>From two</comment>");
        Comments("one", "a/x-both", "<comment>From one</comment>");
        Comments("two", "a/x-both", "<comment>From two</comment>");
        platform::ResetFileTypeRegistryForTests();
    }
    void TearDown() override { platform::ResetFileTypeRegistryForTests(); }
    void Comments(const std::string& dir, const std::string& type, const std::string& comments) const {
        root_.WriteFile(dir + "/mime/" + type + ".xml",
                        "<mime-type type=\"" + type + "\">\n" + comments + "</mime-type>\n");
    }

    TestDirectory root_;
    EnvironmentGuard environment_;
};

TEST_F(FileTypes, RegistrationsComeFromMimeTypesAndTheFirstUnlocalizedCommentOfTheFirstDirectoryHoldingOne) {
    const std::tuple<const char*, Text, Text> rows[] = {
        // extension, content type, description
        {".one", "text/x-one", std::nullopt},
        {".one2", "text/x-one", std::nullopt},  // lowered
        {".dup", "application/x-first", std::nullopt},
        {".more", "application/x-second", std::nullopt},
        {".trailing", std::nullopt, std::nullopt},
        {".bad", std::nullopt, std::nullopt},
        {".evil", std::nullopt, std::nullopt},  // a type that would name a path elsewhere
        {".described", "a/x-described", "Described file"},
        {".localized", "a/x-localized", std::nullopt},
        {".entities", "a/x-entities", "Tom & Jerry <b> \"q\" 'a' &bogus;"},
        {".later", "a/x-later", "From two"},
        {".both", "a/x-both", "From one"},
    };
    for (const auto& [extension, type, description] : rows) {
        EXPECT_EQ(platform::RegisteredContentType(extension), type) << extension;
        EXPECT_EQ(platform::RegisteredTypeDescription(extension), description) << extension;
    }
}

Text Answer(int (*lookup)(std::string_view, FileTypeText&), const std::string& file) {
    FileTypeText out("left over");
    if (lookup(file, out) != 0) return std::nullopt;
    return std::string(out.View());
}

// The registrations disagree with the built-in table about .htm.
TEST_F(FileTypes, LookupsTakeTheExtensionFromTheLastDotAndTheBuiltInTableFirst) {
    const std::string octets(kDefaultContentType);
    const std::string ownPath = "\"%1\"%*";
    const std::tuple<std::string, std::string, Text, Text> rows[] = {
        // file, type, description, open command
        {"/docs/Report.HTM", "text/html", "Hypertext Document", std::nullopt},
        {"x.txt", "text/plain", "Text Document", std::nullopt},
        {"c:\\a.txt.gif", "image/gif", "GIF Image", std::nullopt},
        {"readme", octets, std::nullopt, std::nullopt},
        {"c:\\my.dir\\notes", octets, std::nullopt, std::nullopt},
        {"c:\\Manual.PDF", "application/pdf", "PDF document", std::nullopt},
        {"x.nodesc", "application/x-nodesc", std::nullopt, std::nullopt},
        {"x.zzz", octets, std::nullopt, std::nullopt},
        {"x.long", kLongType.substr(0, 255), std::nullopt, std::nullopt},
        {"c:\\setup.EXE", octets, std::nullopt, ownPath},
        {"run.bat", "text/plain", "MS-DOS Batch File", ownPath},
        {"c:\\tools.exe\\readme", octets, std::nullopt, std::nullopt},
    };
    for (const auto& [file, type, description, command] : rows) {
        EXPECT_EQ(Answer(LookupContentType, file), type) << file;
        EXPECT_EQ(Answer(LookupFileTypeDescription, file), description) << file;
        EXPECT_EQ(Answer(LookupOpenCommand, file), command) << file;
    }
}

}  // namespace
