// Where the served upload tests do not reach: the multipart reader on bodies cut at every byte,
// where an upload may go, and the program as the server runs it, for each refusal.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "cgi/upload/MultipartReader.h"
#include "cgi/upload/UploadEnvironment.h"
#include "cgi/upload/UploadTarget.h"
#include "tests/cgi/upload/UploadTestSupport.h"
#include "tests/support/TestDirectory.h"

namespace {

// What the reader handed on, as text: "<name;file=f>data</>" for each part.
struct Recorder : MultipartSink {
    bool OnPartBegin(const PartHeaders& headers) override {
        said += "<" + headers.name + (headers.hasFileName ? ";file=" + headers.fileName : "") + ">";
        return true;
    }
    bool OnPartData(std::string_view bytes) override { return said.append(bytes), !bytes.empty(); }
    bool OnPartEnd() override { return said += "</>", true; }
    std::string said;
};

TEST(MultipartReader, BodiesComeApartTheSameHoweverTheyAreCut) {
    using enum MultipartStatus;
    const std::string b = "----b0undary", disposition = "Content-Disposition: form-data; name=";
    // File bytes that hold the boundary in every way short of ending the part.
    const std::string like = "--" + b + "x\r\n--" + b + "-x\r\n--" + b + "\rx\r\n--" + b + " \t y\r\n--" +
                             b.substr(0, 5) + "\r\n\r\n" + std::string("\0\r\n\xff\r", 5) + "\r\n-";
    // clang-format off
    const std::tuple<const char*, std::string, MultipartStatus, std::string> rows[] = {
        {"file bytes that look like the boundary", "--" + b + "\r\n" + disposition + "f; filename=a\r\n\r\n" + like +
         "\r\n--" + b + "--\r\n", Complete, "<f;file=a>" + like + "</>"},
        {"padding after boundaries, text after the last", "--" + b + " \t\r\n" + disposition + "\"d\"\r\n\r\nx\r\n--" +
         b + "-- \r\nepilogue\r\n--" + b + "\r\n", Complete, "<d>x</>"},
        {"bare line feeds, parameters in any order and case, escapes", "--b\n" + disposition + "\"d\"\n\nd:\\\n--b\n"
         "content-disposition: form-data; FileName = \"a;b=c%22%0D%0A\"; NAME=f\n\nx\r\ny\n--b--\n", Complete,
         "<d>d:\\</><f;file=a;b=c\"\r\n>x\r\ny</>"},
        // The last bytes could have begun a boundary, so they were never handed on.
        {"no closing boundary", "--" + b + "\r\n" + disposition + "f\r\n\r\npartial", Truncated, "<f>"},
        {"a boundary longer than 200 characters", "--" + std::string(201, 'b') + "\r\n\r\n", Malformed, ""},
        {"a header line longer than its capacity", "--" + b + "\r\nX: " + std::string(kPartHeaderLineCapacity, 'h') +
         "\r\n\r\n", Malformed, ""}};
    // clang-format on
    for (const auto& [name, body, status, said] : rows) {
        for (std::size_t cut = 0; cut <= body.size(); ++cut) {
            Recorder recorder;
            MultipartReader reader(recorder);
            reader.Feed(std::string_view(body).substr(0, cut));
            reader.Feed(std::string_view(body).substr(cut));
            EXPECT_EQ(static_cast<int>(reader.Finish()), static_cast<int>(status)) << name << ", cut at " << cut;
            EXPECT_EQ(recorder.said, said) << name << ", cut at " << cut;
        }
    }
}

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
        {"C:\\docs\\..\\..\\..\\", "a.txt", "C:|a.txt"}, {"  ", "a.txt", "No destination was given."},
        {"C:\\docs\\sub\\..\\..\\..\\etc\\.\\x", "a.txt", "The directory C:\\etc does not exist."},
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
        {"C:\\x\\b.tar.gz", "b.tar.gz", 10, "b.tar (10).gz"}, {"x/.profile", ".profile", 2, ".profile (2)"}};
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
    const std::string cut = "The upload ended before it was complete, so nothing was stored.";
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
        {UploadsOn(), form, MultipartBody({dest, FileField("cut.txt", "abc")}).substr(0, 240), none + cut},
        {UploadsOn(), form, MultipartBody({FileField("cut.txt", "abc"), dest}).substr(0, 240), none + cut},
        {UploadsOn(), form, MultipartBody({FileField("g.txt", "xy"), dest}),
         "Stored <B>C:\\docs\\g.txt</B> (2 bytes)."},
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
    EXPECT_EQ(TreeOf(drive.Path()), (std::vector<std::string>{"docs/", "docs/f.txt", "docs/g.txt", "up/"}));
    EXPECT_EQ(ReadWholeFile(drive / "docs/g.txt"), "xy") << "staged aside, then copied into place";
}

}  // namespace
