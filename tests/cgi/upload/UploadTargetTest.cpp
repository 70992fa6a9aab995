// Where an upload may go: the destination field and the browser's file name (the file
// system probe is a table), and the upload settings held against real directories.
#include "cgi/upload/UploadTarget.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "platform/DriveTable.h"
#include "tests/support/TestDirectory.h"

namespace {

using platform::PathKind;

// C:\docs, C:\docs\sub, C:\Up, D:\ exist; C:\docs\a.txt is a file.
PathKind FakeProbe(std::string_view path) {
    static const std::map<std::string, PathKind, std::less<>> kPaths = {
        {"C:", PathKind::Directory},
        {"c:", PathKind::Directory},
        {"C:\\docs", PathKind::Directory},
        {"c:\\docs", PathKind::Directory},
        {"C:\\docs\\sub", PathKind::Directory},
        {"C:\\Up", PathKind::Directory},
        {"D:", PathKind::Directory},
        {"C:\\docs\\a.txt", PathKind::File},
    };
    const auto found = kPaths.find(path);
    return found == kPaths.end() ? PathKind::Missing : found->second;
}

TEST(UploadTarget, TheDestinationAndTheFileNameGiveDirectoryAndName) {
    struct Row {
        const char* name;
        std::string destination;
        std::string browserName;
        std::string directory;  // empty: refused
        std::string fileName;
        std::string refusal;
    };
    const Row rows[] = {
        {"a directory with its backslash", "C:\\docs\\", "a.txt", "C:\\docs", "a.txt", ""},
        {"an existing directory without it", "C:\\docs\\sub", "a.txt", "C:\\docs\\sub", "a.txt", ""},
        {"a full file name", "C:\\docs\\new.txt", "a.txt", "C:\\docs", "new.txt", ""},
        {"an existing file's name (kept; the store picks a free one)", "C:\\docs\\a.txt", "b.txt", "C:\\docs", "a.txt",
         ""},
        {"forward slashes", "C:/docs/sub/", "a.txt", "C:\\docs\\sub", "a.txt", ""},
        {"blanks around the field", "  C:\\docs\\ \r\n", "a.txt", "C:\\docs", "a.txt", ""},
        {"a drive root", "D:\\", "a.txt", "D:", "a.txt", ""},
        {"a bare drive", "D:", "a.txt", "D:", "a.txt", ""},
        {"a browser's Windows path is cut to its name", "C:\\docs\\", "C:\\Users\\me\\My File.txt", "C:\\docs",
         "My File.txt", ""},
        {"a browser's Unix path is cut to its name", "C:\\docs\\", "/home/me/x.tar.gz", "C:\\docs", "x.tar.gz", ""},
        {"dots are resolved", "C:\\docs\\sub\\..\\.\\", "a.txt", "C:\\docs", "a.txt", ""},
        {"a trailing .. names the directory above", "C:\\docs\\sub\\..", "a.txt", "C:\\docs", "a.txt", ""},
        {"dot-dots never climb above the drive", "C:\\docs\\..\\..\\..\\", "a.txt", "C:", "a.txt", ""},
        {"dot-dots out of a directory are only a path", "C:\\docs\\..\\..\\etc\\x", "a.txt", "", "",
         "The directory C:\\etc does not exist."},
        {"an empty field", "  ", "a.txt", "", "", "No destination was given."},
        {"not a drive path", "docs\\", "a.txt", "", "",
         "The destination docs\\ is not a full path such as C:\\docs\\."},
        {"a drive without its backslash", "C:docs", "a.txt", "", "",
         "The destination C:docs is not a full path such as C:\\docs\\."},
        {"a missing directory", "C:\\nothere\\", "a.txt", "", "", "The directory C:\\nothere does not exist."},
        {"a file as directory", "C:\\docs\\a.txt\\", "b.txt", "", "", "The directory C:\\docs\\a.txt does not exist."},
        {"a browser name that is only a path", "C:\\docs\\", "C:\\dir\\", "", "",
         "The file name \"\" cannot be used; give a full name as destination."},
        {"a browser name of ..", "C:\\docs\\", "..", "", "",
         "The file name \"..\" cannot be used; give a full name as destination."},
        {"a control byte in the name", "C:\\docs\\a\x01.txt", "a.txt", "", "",
         "The file name \"a\x01.txt\" cannot be used."},
        {"longer than a path may be", "C:\\docs\\" + std::string(250, 'n'), "a.txt", "", "",
         "The destination is longer than 255 characters."},
    };
    for (const Row& row : rows) {
        const TargetChoice choice = ChooseUploadTarget(row.destination, row.browserName, &FakeProbe);
        EXPECT_EQ(choice.accepted, !row.directory.empty()) << row.name;
        EXPECT_EQ(choice.refusal, row.refusal) << row.name;
        if (choice.accepted) {
            EXPECT_EQ(choice.target.directory, row.directory) << row.name;
            EXPECT_EQ(choice.target.name, row.fileName) << row.name;
        }
    }
}

// Drives C and D over trees of the test's own: the settings are held against the
// directories as they lie on disk.
class UploadPermission : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = platform::TheDriveTable();
        platform::SetDriveTable(platform::DriveTable(
            {{'C', c_.Path(), platform::DriveType::HardDisk}, {'D', d_.Path(), platform::DriveType::HardDisk}}));
        for (const char* directory : {"Up/deep/er", "Upper", "UP", "Docs/sub", "docsx", "secret/in", "public", "any"}) {
            c_.MakeDirectory(directory);
        }
        d_.MakeDirectory("Up");
        d_.MakeDirectory("any");
    }
    void TearDown() override { platform::SetDriveTable(saved_); }

    TestDirectory c_;
    TestDirectory d_;
    platform::DriveTable saved_;
};

TEST_F(UploadPermission, TheSettingsSayWhereFilesMayGo) {
    struct Row {
        const char* name;
        int accessType;
        std::string uploadDir;
        int dirAccessOption;
        std::vector<std::string> dirList;
        UploadTarget target;
        std::string refusal;  // empty: allowed
    };
    const Row rows[] = {
        {"type 0: the upload directory itself", 0, "C:\\Up\\", 0, {}, {"C:\\Up", "a"}, ""},
        {"type 0: below it", 0, "C:\\Up", 0, {}, {"C:\\Up\\deep\\er", "a"}, ""},
        {"type 0: the drive letter in any case", 0, "c:\\Up", 0, {}, {"C:\\Up", "a"}, ""},
        {"type 0: a written .. in the setting", 0, "C:\\x\\..\\Up", 0, {}, {"C:\\Up", "a"}, ""},
        {"type 0: a whole drive", 0, "D:\\", 0, {}, {"D:\\any", "a"}, ""},
        {"type 0: beside it",
         0,
         "C:\\Up",
         0,
         {},
         {"C:\\Upper", "a"},
         "Files may be stored only in C:\\Up and the directories below it."},
        {"type 0: above it",
         0,
         "C:\\Up",
         0,
         {},
         {"C:", "a"},
         "Files may be stored only in C:\\Up and the directories below it."},
        {"type 0: names in another case are other directories",
         0,
         "C:\\Up",
         0,
         {},
         {"C:\\UP", "a"},
         "Files may be stored only in C:\\Up and the directories below it."},
        {"type 0: another drive",
         0,
         "C:\\Up",
         0,
         {},
         {"D:\\Up", "a"},
         "Files may be stored only in C:\\Up and the directories below it."},
        {"type 0: no upload directory", 0, "", 0, {}, {"C:\\Up", "a"}, "No upload directory is set on this server."},
        {"type 0: an upload directory that is no path",
         0,
         "Up",
         0,
         {},
         {"C:\\Up", "a"},
         "The upload directory Up is not a full path."},
        {"type 0: the sharing list does not matter", 0, "C:\\Up", 1, {"D:\\"}, {"C:\\Up", "a"}, ""},
        {"type 1: everything shared", 1, "", 0, {}, {"C:\\any", "a"}, ""},
        {"type 1: inside a shared directory", 1, "", 1, {"c:\\Docs"}, {"C:\\Docs\\sub", "a"}, ""},
        {"type 1: outside every shared directory",
         1,
         "",
         1,
         {"c:\\Docs"},
         {"C:\\docsx", "a"},
         "The directory C:\\docsx is not open for uploads."},
        {"type 1: an empty selective list",
         1,
         "",
         1,
         {},
         {"C:\\Docs", "a"},
         "The directory C:\\Docs is not open for uploads."},
        {"type 1: inside an excluded directory",
         1,
         "",
         2,
         {"C:\\secret\\"},
         {"C:\\secret\\in", "a"},
         "The directory C:\\secret\\in is not open for uploads."},
        {"type 1: outside the excluded ones", 1, "", 2, {"C:\\secret"}, {"C:\\public", "a"}, ""},
        {"type 1: the upload directory does not matter",
         1,
         "C:\\Up",
         1,
         {"D:\\"},
         {"C:\\Up", "a"},
         "The directory C:\\Up is not open for uploads."},
    };
    for (const Row& row : rows) {
        ServerSettings settings;
        settings.UploadAccessType = row.accessType;
        settings.UploadDir.Assign(row.uploadDir);
        settings.DirAccessOption = row.dirAccessOption;
        for (std::size_t i = 0; i < row.dirList.size(); ++i) settings.DirList[i].Assign(row.dirList[i]);
        std::string refusal;
        const int result = CheckUploadAllowed(settings, row.target, refusal);
        EXPECT_EQ(result, row.refusal.empty() ? 0 : -1) << row.name;
        EXPECT_EQ(refusal, row.refusal) << row.name;
    }
}

TEST(UploadTarget, NamesAndNumberedNames) {
    struct Row {
        const char* name;
        std::string browserName;
        std::string baseName;
        int number;
        std::string numbered;
    };
    const Row rows[] = {
        {"plain", "a.txt", "a.txt", 2, "a (2).txt"},
        {"the first is the name itself", "a.txt", "a.txt", 1, "a.txt"},
        {"the last extension only", "C:\\x\\b.tar.gz", "b.tar.gz", 10, "b.tar (10).gz"},
        {"no extension", "/tmp/README", "README", 3, "README (3)"},
        {"a leading dot is no extension", "x/.profile", ".profile", 2, ".profile (2)"},
        {"mixed separators", "a\\b/c\\d.e", "d.e", 2, "d (2).e"},
        {"nothing after the last separator", "dir/", "", 2, " (2)"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(BaseNameOf(row.browserName), row.baseName) << row.name;
        EXPECT_EQ(NumberedName(row.baseName, row.number), row.numbered) << row.name;
    }
    EXPECT_EQ(TargetPath({"c:", "a.txt"}), "c:\\a.txt");
    EXPECT_EQ(TargetPath({"c:\\docs", "a.txt"}), "c:\\docs\\a.txt");
}

}  // namespace
