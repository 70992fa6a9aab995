// Where an upload may go, and the upload program run as the server runs it: its answer
// for each refusal the served tests do not reach, and a body cut anywhere.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "cgi/upload/UploadEnvironment.h"
#include "cgi/upload/UploadTarget.h"
#include "tests/cgi/upload/UploadTestSupport.h"
#include "tests/support/Guards.h"
#include "tests/support/TestDirectory.h"

namespace {

TEST(UploadTarget, TheDestinationAndTheFileNameGiveDirectoryAndName) {
    // C:\docs, C:\docs\sub and D:\ exist; C:\docs\a.txt is a file.
    const auto probe = [](std::string_view path) {
        for (const char* directory : {"C:", "C:\\docs", "C:\\docs\\sub", "D:"}) {
            if (path == directory) return platform::PathKind::Directory;
        }
        return path == "C:\\docs\\a.txt" ? platform::PathKind::File : platform::PathKind::Missing;
    };
    // destination, browser's file name, directory|name or the refusal
    // clang-format off
    const std::string targets[][3] = {
        {"C:\\docs\\sub", "a.txt", "C:\\docs\\sub|a.txt"}, {"C:\\docs\\new.txt", "a.txt", "C:\\docs|new.txt"},
        {"C:\\docs\\a.txt", "b.txt", "C:\\docs|a.txt"}, {"D:\\", "C:\\Users\\me\\My F.txt", "D:|My F.txt"},
        {"C:\\docs\\sub\\..\\.\\", "a.txt", "C:\\docs|a.txt"}, {"C:\\docs\\..\\..\\..\\", "a.txt", "C:|a.txt"},
        {"C:\\docs\\..\\..\\etc\\x", "a.txt", "The directory C:\\etc does not exist."},
        {"  ", "a.txt", "No destination was given."},
        {"C:docs", "a.txt", "The destination C:docs is not a full path such as C:\\docs\\."},
        {"C:\\docs\\", "..", "The file name \"..\" cannot be used; give a full name as destination."},
        {"C:\\docs\\a\x01.txt", "a.txt", "The file name \"a\x01.txt\" cannot be used."},
        {"C:\\docs\\" + std::string(250, 'n'), "a.txt", "The destination is longer than 255 characters."}};
    // clang-format on
    for (const auto& [destination, browserName, expected] : targets) {
        const TargetChoice choice = ChooseUploadTarget(destination, browserName, probe);
        EXPECT_EQ(choice.accepted ? choice.target.directory + "|" + choice.target.name : choice.refusal, expected)
            << destination;
    }
    // clang-format off
    const std::tuple<const char*, const char*, int, const char*> names[] = {{"/tmp/README", "README", 3, "README (3)"},
        {"C:\\x\\b.tar.gz", "b.tar.gz", 10, "b.tar (10).gz"}, {"x/.profile", ".profile", 2, ".profile (2)"},
        {"a\\b/c\\d.e", "d.e", 1, "d.e"}};
    // clang-format on
    for (const auto& [browserName, baseName, number, numbered] : names) {
        EXPECT_EQ(BaseNameOf(browserName), baseName) << browserName;
        EXPECT_EQ(NumberedName(baseName, number), numbered) << browserName;
    }
}

ServerSettings UploadsOn(int accessType = 1) {
    ServerSettings settings;
    settings.UploadOn = 1, settings.UploadAccessType = accessType, settings.UploadDir.Assign("C:\\up");
    return settings;
}

// The upload program beside the server, run as the server runs it (without settings: as
// run by hand), on drive C with C:\docs and C:\up; no temporary file may be left behind.
struct UploadProgram : ::testing::Test {
    ProgramRun Run(const std::string& body, const std::optional<ServerSettings>& settings = UploadsOn(),
                   const std::string& contentType = "multipart/form-data") const {
        std::map<std::string, std::string> environment{{"REQUEST_METHOD", "POST"},
                                                       {"CONTENT_TYPE", contentType},
                                                       {"PELLORA_DRIVES", "C=" + drive.Path()},
                                                       {"XDG_CONFIG_HOME", home / "c"},
                                                       {"TMPDIR", home.MakeDirectory("tmp")}};
        const std::string block = settings ? UploadProgramEnvironment(*settings) : "";
        for (std::size_t at = 0, end; at < block.size(); at = end + 1) {
            end = block.find('\0', at);
            const std::size_t equals = block.find('=', at);
            environment.emplace(block.substr(at, equals - at), block.substr(equals + 1, end - equals - 1));
        }
        const std::string program = (std::filesystem::path(PELLORA_BINARY).parent_path() / "upload.exe").string();
        ProgramRun run = RunProgram({program}, environment, work.WriteFile("body", body));
        EXPECT_EQ(TreeOf(home / "tmp"), std::vector<std::string>{}) << "a temporary file was left";
        return run;
    }
    TestDirectory drive, home, work;
    const std::string docs = drive.MakeDirectory("docs"), up = drive.MakeDirectory("up");
};

TEST_F(UploadProgram, AnswersWhatItStoredOrWhyNothingWasStored) {
    SaveSettingsIn(home / "c", UploadsOn());
    const FormPart dest = TextField("dest", "C:\\docs\\");
    const FormPart file = FileField("f.txt", "x");
    const std::string none = "Nothing was stored. ", form = "multipart/form-data";
    // the settings the server runs with (none: run by hand), content type, body, the answer's paragraph
    const std::tuple<std::optional<ServerSettings>, std::string, std::string, std::string> rows[] = {
        {UploadsOn(), form, MultipartBody({file}), none + "No destination was given."},
        {UploadsOn(), form, MultipartBody({dest, TextField("upl-file", "x")}), none + "No file was sent."},
        {UploadsOn(), form, MultipartBody({dest, FileField("", "")}), none + "No file was chosen."},
        {UploadsOn(), form, MultipartBody({TextField("dest", std::string(1100, 'n')), file}),
         none + "The destination is longer than 255 characters."},
        {UploadsOn(0), form, MultipartBody({file, dest}),
         none + "Files may be stored only in C:\\up and the directories below it."},
        {UploadsOn(), form, "dest=C:\\docs\\\r\nupl-file=x",
         none + "The upload could not be read: it is not the multipart/form-data the upload form sends."},
        {UploadsOn(), "application/x-www-form-urlencoded", "dest=C%3A%5Cdocs%5C&upl-file=x",
         none + "The upload must be sent as multipart/form-data, as the upload form sends it."},
        {ServerSettings(), form, MultipartBody({dest, file}), none + "Uploads are turned off on this server."},
        {std::nullopt, "Multipart/Form-Data; boundary=----PelloraTestBoundary", MultipartBody({dest, file}),
         "Stored <B>C:\\docs\\f.txt</B> (1 byte)."},
    };
    for (const auto& [settings, contentType, body, answer] : rows) {
        const ProgramRun run = Run(body, settings, contentType);
        EXPECT_EQ(run.output,
                  "Content-Type: text/html\r\n\r\n<HTML><HEAD><TITLE>Pellora File Upload</TITLE></HEAD><BODY>\r\n"
                  "<H2>Pellora File Upload</H2>\r\n<P>" +
                      answer + "</P>\r\n</BODY></HTML>\r\n");
        EXPECT_EQ(run.exitStatus, answer.starts_with("Stored") ? 0 : 1) << answer;
    }
    EXPECT_EQ(TreeOf(drive.Path()), (std::vector<std::string>{"docs/", "docs/f.txt", "up/"}));
}

// However early the body ends, nothing is stored and nothing is left behind: a cut every
// few bytes reaches every stage, and every byte of the last boundaries.
TEST_F(UploadProgram, ABodyCutAnywhereLeavesNoFile) {
    const std::string content = "0123456789\r\n--not-the-boundary\r\nabcdef";
    const FormPart dest = TextField("dest", "C:\\docs\\");
    for (const std::string& body :
         {MultipartBody({dest, FileField("cut.txt", content)}), MultipartBody({FileField("cut.txt", content), dest})}) {
        const std::size_t complete = body.size() - 2;
        for (std::size_t cut = 0; cut < complete; cut += cut + 40 < complete ? 7 : 1) {
            EXPECT_EQ(Run(body.substr(0, cut)).exitStatus, 1) << body << "\ncut at " << cut;
            EXPECT_EQ(TreeOf(drive.Path()), (std::vector<std::string>{"docs/", "up/"})) << body << "\ncut at " << cut;
        }
        EXPECT_EQ(Run(body.substr(0, complete)).exitStatus, 0) << body;
        EXPECT_EQ(ReadWholeFile(drive / "docs/cut.txt"), content) << body;
        std::filesystem::remove(drive / "docs/cut.txt");
    }
}

}  // namespace
