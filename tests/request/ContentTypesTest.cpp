// File types by extension: the built-in table first, then the machine's registrations.
#include "request/ContentTypes.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/FileTypeRegistry.h"
#include "tests/support/Guards.h"
#include "tests/support/TestDirectory.h"

namespace {

using Text = std::optional<std::string>;

Text Answer(int (*lookup)(std::string_view, FileTypeText&), const std::string& file) {
    FileTypeText out("left over");
    if (lookup(file, out) != 0) return std::nullopt;
    return std::string(out.View());
}

// The registrations disagree with the built-in table about .htm; a type is a file name
// below a mime/ directory, so one that climbs out is no type.
TEST(FileTypes, LookupsTakeTheLastDotsExtensionFromTheBuiltInTableThenTheRegistrations) {
    TestDirectory root;
    EnvironmentGuard environment;
    const std::string longType = "application/x-" + std::string(300, 'a');
    environment.Set("PELLORA_MIME_TYPES", root.WriteFile("mime.types",
                                                         "text/x-one\t\tone ONE2   # no extensions\n"
                                                         "notatype bad\n../../etc/x evil\ntext/x-bogus htm\n"
                                                         "a/x-both both\n" +
                                                             longType + " long\n"));
    environment.Set("PELLORA_MIME_DIRS", "relative:" + root / "one");
    root.WriteFile("one/mime/a/x-both.xml",
                   "<mime-type><!-- <comment>not this</comment> --><comment xml:lang=\"de\">Beide</comment>"
                   "<comment>Tom &amp; &lt;b&gt; &bogus;</comment><comment>2</comment></mime-type>");
    platform::ResetFileTypeRegistryForTests();
    const std::string octets(kDefaultContentType);
    const std::string ownPath = "\"%1\"%*";
    const std::tuple<std::string, std::string, Text, Text> rows[] = {
        // file, type, description, open command
        {"/docs/Report.HTM", "text/html", "Hypertext Document", std::nullopt},
        {"c:\\a.txt.gif", "image/gif", "GIF Image", std::nullopt},
        {"c:\\my.dir\\notes", octets, std::nullopt, std::nullopt},
        {"x.one2", "text/x-one", std::nullopt, std::nullopt},  // lowered
        {"x.no", octets, std::nullopt, std::nullopt},
        {"x.evil", octets, std::nullopt, std::nullopt},
        {"x.both", "a/x-both", "Tom & <b> &bogus;", std::nullopt},  // the first unlocalized
        {"x.long", longType.substr(0, 255), std::nullopt, std::nullopt},
        {"c:\\setup.EXE", octets, std::nullopt, ownPath},
        {"run.bat", "text/plain", "MS-DOS Batch File", ownPath},
    };
    for (const auto& [file, type, description, command] : rows) {
        EXPECT_EQ(Answer(LookupContentType, file), type) << file;
        EXPECT_EQ(Answer(LookupFileTypeDescription, file), description) << file;
        EXPECT_EQ(Answer(LookupOpenCommand, file), command) << file;
    }
    platform::ResetFileTypeRegistryForTests();
}

}  // namespace
