#include "request/ContentTypes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <string>

#include "platform/FileTypeRegistry.h"

namespace {

namespace fs = std::filesystem;

const std::string kLongType = "application/x-" + std::string(300, 'a');
const std::string kDefault(kDefaultContentType);
const std::string kOwnPath = "\"%1\"%*";

// Registrations of our own, which disagree with the built-in table about .htm.
class ContentTypes : public testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string pattern = (fs::temp_directory_path() / "pellora-ct-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        std::ofstream(root_ / "mime.types") << "application/pdf pdf\ntext/x-bogus htm\n"
                                               "application/x-nodesc nodesc\n" +
                                                   kLongType + " long\n";
        fs::create_directories(root_ / "mime/application");
        std::ofstream(root_ / "mime/application/pdf.xml") << "<mime-type><comment>PDF document</comment>";
        setenv("PELLORA_MIME_TYPES", (root_ / "mime.types").c_str(), 1);
        setenv("PELLORA_MIME_DIRS", root_.c_str(), 1);
        platform::ResetFileTypeRegistryForTests();
    }

    static void TearDownTestSuite() {
        unsetenv("PELLORA_MIME_TYPES");
        unsetenv("PELLORA_MIME_DIRS");
        platform::ResetFileTypeRegistryForTests();
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    static inline fs::path root_;
};

struct FileRow {
    const char* name;
    std::string file;
    std::string contentType;
    std::optional<std::string> description;
    std::optional<std::string> openCommand;
};

void PrintTo(const FileRow& row, std::ostream* out) {
    *out << row.name;
}
std::string RowName(const testing::TestParamInfo<FileRow>& info) {
    return info.param.name;
}

std::optional<std::string> Answer(int (*lookup)(std::string_view, FileTypeText&), const std::string& file) {
    FileTypeText out("left over");
    if (lookup(file, out) != 0) return std::nullopt;
    return std::string(out.View());
}

class FileLookups : public ContentTypes, public testing::WithParamInterface<FileRow> {};

TEST_P(FileLookups, AnswerByExtension) {
    const FileRow& row = GetParam();
    EXPECT_EQ(Answer(LookupContentType, row.file), row.contentType);
    EXPECT_EQ(Answer(LookupFileTypeDescription, row.file), row.description);
    EXPECT_EQ(Answer(LookupOpenCommand, row.file), row.openCommand);
}

INSTANTIATE_TEST_SUITE_P(
    ContentTypes, FileLookups,
    testing::Values(
        FileRow{"TableBeatsRegistryWhateverCase", "/docs/Report.HTM", "text/html", "Hypertext Document", {}},
        FileRow{"FirstTableRow", "x.txt", "text/plain", "Text Document", {}},
        FileRow{"LastDotWins", "c:\\a.txt.gif", "image/gif", "GIF Image", {}},
        FileRow{"NoDot", "readme", kDefault, {}, {}},
        FileRow{"DotInDirectoryName", "c:\\my.dir\\notes", kDefault, {}, {}},
        FileRow{"RegisteredWhateverCase", "c:\\Manual.PDF", "application/pdf", "PDF document", {}},
        FileRow{"RegisteredWithoutDescription", "x.nodesc", "application/x-nodesc", {}, {}},
        FileRow{"Unregistered", "x.zzz", kDefault, {}, {}},
        FileRow{"OverlongRegistrationIsCut", "x.long", kLongType.substr(0, 255), {}, {}},
        FileRow{"ProgramWhateverCase", "c:\\setup.EXE", kDefault, {}, kOwnPath},
        FileRow{"BatchFile", "run.bat", "text/plain", "MS-DOS Batch File", kOwnPath},
        FileRow{"ProgramNameOnDirectory", "c:\\tools.exe\\readme", kDefault, {}, {}}),
    RowName);

}  // namespace
