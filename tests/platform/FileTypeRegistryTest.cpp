#include "platform/FileTypeRegistry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace {

namespace fs = std::filesystem;

using platform::RegisteredContentType;
using platform::RegisteredTypeDescription;
using platform::ResetFileTypeRegistryForTests;

struct RegistryRow {
    const char* name;
    const char* extension;
    std::optional<std::string> expected;
};

// A mime.types file and two data directories of our own, in place of the machine's.
class FileTypeRegistry : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "pellora-ftr-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        Write("mime.types",
              "text/x-one\t\tone ONE2   # trailing words are no extensions\n"
              "application/x-first dup\napplication/x-second dup more\n"
              "notatype bad\n../../etc/x evil\n"
              "a/x-described described\na/x-localized localized\na/x-entities entities\n"
              "a/x-later later\na/x-both both\na/x-changing changing\n");
        const std::string dirs = (root_ / "one").string() + ":relative:" + (root_ / "two").string();
        setenv("PELLORA_MIME_TYPES", (root_ / "mime.types").c_str(), 1);
        setenv("PELLORA_MIME_DIRS", dirs.c_str(), 1);
        ResetFileTypeRegistryForTests();
    }

    void TearDown() override {
        unsetenv("PELLORA_MIME_TYPES");
        unsetenv("PELLORA_MIME_DIRS");
        ResetFileTypeRegistryForTests();
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    void Write(const std::string& relative, const std::string& text) {
        fs::create_directories((root_ / relative).parent_path());
        std::ofstream(root_ / relative) << text;
    }

    void WriteComments(const std::string& dir, const std::string& type, const std::string& comments) {
        Write(dir + "/mime/" + type + ".xml", "<mime-type type=\"" + type + "\">\n" + comments + "</mime-type>\n");
    }

    static void ExpectAnswers(std::optional<std::string> (*lookup)(std::string_view),
                              std::initializer_list<RegistryRow> rows) {
        for (const RegistryRow& row : rows) {
            SCOPED_TRACE(row.name);
            EXPECT_EQ(lookup(row.extension), row.expected);
        }
    }

    fs::path root_;
};

TEST_F(FileTypeRegistry, ContentTypesComeFromMimeTypes) {
    ExpectAnswers(RegisteredContentType, {
                                             {"ListedExtension", ".one", "text/x-one"},
                                             {"UpperCaseInFileIsLowered", ".one2", "text/x-one"},
                                             {"FirstMentionWins", ".dup", "application/x-first"},
                                             {"LaterExtensionOfSecondType", ".more", "application/x-second"},
                                             {"CommentWordsAreNoExtensions", ".trailing", std::nullopt},
                                             {"LineWithoutSlashIsNoType", ".bad", std::nullopt},
                                             {"PathLikeTypeRefused", ".evil", std::nullopt},
                                         });
}

TEST_F(FileTypeRegistry, DescriptionsComeFromFirstUnlocalizedComment) {
    WriteComments("one", "a/x-described",
                  "<!-- <comment>not this</comment> -->\n<comments>nor this</comments>\n"
                  "<comment xml:lang=\"de\">Beschreibung</comment>\n"
                  "<comment>Described file</comment>\n<comment>Second thought</comment>\n");
    WriteComments("one", "a/x-localized", "<comment xml:lang=\"fr\">Fichier</comment>\n");
    WriteComments("one", "a/x-entities",
                  "<comment>Tom &amp; Jerry &lt;b&gt; &quot;q&quot; &apos;a&apos; &bogus;</comment>");
    WriteComments("two", "a/x-later", "<comment>From two</comment>");
    WriteComments("one", "a/x-both", "<comment>From one</comment>");
    WriteComments("two", "a/x-both", "<comment>From two</comment>");
    ExpectAnswers(RegisteredTypeDescription, {
                                                 {"SkipsXmlCommentsAndLocalizedOnes", ".described", "Described file"},
                                                 {"OnlyLocalizedGivesNone", ".localized", std::nullopt},
                                                 {"EntitiesDecoded", ".entities", "Tom & Jerry <b> \"q\" 'a' &bogus;"},
                                                 {"LaterDataDirectorySearched", ".later", "From two"},
                                                 {"EarlierDataDirectoryWins", ".both", "From one"},
                                             });
}

TEST_F(FileTypeRegistry, EachDescriptionIsReadOnceUntilReset) {
    EXPECT_EQ(RegisteredTypeDescription(".changing"), std::nullopt);
    WriteComments("one", "a/x-changing", "<comment>Now there</comment>");
    EXPECT_EQ(RegisteredTypeDescription(".changing"), std::nullopt) << "a miss is cached too";

    ResetFileTypeRegistryForTests();
    EXPECT_EQ(RegisteredTypeDescription(".changing"), "Now there");
    WriteComments("one", "a/x-changing", "<comment>Changed</comment>");
    EXPECT_EQ(RegisteredTypeDescription(".changing"), "Now there");
}

TEST(FileTypeRegistrySystem, PdfIsRegisteredWithADescription) {
    if (!fs::exists("/etc/mime.types") || !fs::exists("/usr/share/mime/application/pdf.xml")) {
        GTEST_SKIP() << "no system mime.types or shared-mime-info";
    }
    ResetFileTypeRegistryForTests();
    EXPECT_EQ(RegisteredContentType(".pdf"), "application/pdf");
    EXPECT_NE(RegisteredTypeDescription(".pdf").value_or(""), "");
}

}  // namespace
