// Where an upload may go, what the server hands the upload program, and the program
// itself run as the server runs it: on a complete body, a cut one, a refused one, when
// killed, and on 200 MiB.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

#include "cgi/upload/UploadEnvironment.h"
#include "cgi/upload/UploadTarget.h"
#include "tests/cgi/upload/UploadTestSupport.h"
#include "tests/support/Guards.h"
#include "tests/support/TestDirectory.h"

namespace {

using platform::PathKind;
using namespace std::string_literals;

TEST(UploadTarget, TheDestinationAndTheFileNameGiveDirectoryAndName) {
    // C:\docs, C:\docs\sub and D:\ exist; C:\docs\a.txt is a file.
    const auto probe = [](std::string_view path) {
        for (const char* directory : {"C:", "c:", "C:\\docs", "c:\\docs", "C:\\docs\\sub", "D:"}) {
            if (path == directory) return PathKind::Directory;
        }
        return path == "C:\\docs\\a.txt" ? PathKind::File : PathKind::Missing;
    };
    const std::string noPath = " is not a full path such as C:\\docs\\.";
    const std::string giveName = "\" cannot be used; give a full name as destination.";
    const std::string rows[][4] = {
        // what, destination, browser's file name, directory|name or the refusal
        {"a directory with its backslash", "C:\\docs\\", "a.txt", "C:\\docs|a.txt"},
        {"an existing directory without it", "C:\\docs\\sub", "a.txt", "C:\\docs\\sub|a.txt"},
        {"a full file name", "C:\\docs\\new.txt", "a.txt", "C:\\docs|new.txt"},
        {"an existing file's name (the store picks a free one)", "C:\\docs\\a.txt", "b.txt", "C:\\docs|a.txt"},
        {"forward slashes", "C:/docs/sub/", "a.txt", "C:\\docs\\sub|a.txt"},
        {"blanks around the field", "  C:\\docs\\ \r\n", "a.txt", "C:\\docs|a.txt"},
        {"a drive root", "D:\\", "a.txt", "D:|a.txt"},
        {"a bare drive", "D:", "a.txt", "D:|a.txt"},
        {"a browser's Windows path is cut to its name", "C:\\docs\\", "C:\\Users\\me\\My F.txt", "C:\\docs|My F.txt"},
        {"a browser's Unix path is cut to its name", "C:\\docs\\", "/home/me/x.tar.gz", "C:\\docs|x.tar.gz"},
        {"dots are resolved", "C:\\docs\\sub\\..\\.\\", "a.txt", "C:\\docs|a.txt"},
        {"a trailing .. names the directory above", "C:\\docs\\sub\\..", "a.txt", "C:\\docs|a.txt"},
        {"dot-dots never climb above the drive", "C:\\docs\\..\\..\\..\\", "a.txt", "C:|a.txt"},
        {"dot-dots out of a directory", "C:\\docs\\..\\..\\etc\\x", "a.txt", "The directory C:\\etc does not exist."},
        {"an empty field", "  ", "a.txt", "No destination was given."},
        {"not a drive path", "docs\\", "a.txt", "The destination docs\\" + noPath},
        {"a drive without its backslash", "C:docs", "a.txt", "The destination C:docs" + noPath},
        {"a missing directory", "C:\\nothere\\", "a.txt", "The directory C:\\nothere does not exist."},
        {"a file as directory", "C:\\docs\\a.txt\\", "b.txt", "The directory C:\\docs\\a.txt does not exist."},
        {"a browser name that is only a path", "C:\\docs\\", "C:\\dir\\", "The file name \"" + giveName},
        {"a browser name of ..", "C:\\docs\\", "..", "The file name \".." + giveName},
        {"a control byte in the name", "C:\\docs\\a\x01.txt", "a.txt", "The file name \"a\x01.txt\" cannot be used."},
        {"longer than a path may be", "C:\\docs\\" + std::string(250, 'n'), "a.txt",
         "The destination is longer than 255 characters."},
    };
    for (const auto& [what, destination, browserName, expected] : rows) {
        const TargetChoice choice = ChooseUploadTarget(destination, browserName, probe);
        EXPECT_EQ(choice.accepted ? choice.target.directory + "|" + choice.target.name : choice.refusal, expected)
            << what;
    }
}

// The settings held against directories as they lie on disk, on drives C and D.
TEST(UploadTarget, TheSettingsSayWhereFilesMayGo) {
    const TestDirectory c;
    const TestDirectory d;
    const DriveTableGuard drives({{'C', c.Path(), platform::DriveType::HardDisk}, {'D', d.Path()}});
    for (const char* directory : {"Up/deep/er", "Upper", "UP", "Docs/sub", "docsx", "secret/in", "public", "any"}) {
        c.MakeDirectory(directory);
    }
    d.MakeDirectory("Up");
    d.MakeDirectory("any");
    const std::string onlyUp = "Files may be stored only in C:\\Up and the directories below it.";
    const std::string closed = " is not open for uploads.";
    // what, UploadAccessType, UploadDir, DirAccessOption, DirList[0], target directory, the refusal ("": allowed)
    const std::tuple<const char*, int, const char*, int, const char*, const char*, std::string> rows[] = {
        {"type 0: the upload directory itself", 0, "C:\\Up\\", 0, "", "C:\\Up", ""},
        {"type 0: below it", 0, "C:\\Up", 0, "", "C:\\Up\\deep\\er", ""},
        {"type 0: the drive letter in any case", 0, "c:\\Up", 0, "", "C:\\Up", ""},
        {"type 0: a written .. in the setting", 0, "C:\\x\\..\\Up", 0, "", "C:\\Up", ""},
        {"type 0: a whole drive", 0, "D:\\", 0, "", "D:\\any", ""},
        {"type 0: beside it", 0, "C:\\Up", 0, "", "C:\\Upper", onlyUp},
        {"type 0: above it", 0, "C:\\Up", 0, "", "C:", onlyUp},
        {"type 0: names in another case are other directories", 0, "C:\\Up", 0, "", "C:\\UP", onlyUp},
        {"type 0: another drive", 0, "C:\\Up", 0, "", "D:\\Up", onlyUp},
        {"type 0: no upload directory", 0, "", 0, "", "C:\\Up", "No upload directory is set on this server."},
        {"type 0: a directory that is no path", 0, "Up", 0, "", "C:\\Up",
         "The upload directory Up is not a full path."},
        {"type 0: the sharing list does not matter", 0, "C:\\Up", 1, "D:\\", "C:\\Up", ""},
        {"type 1: everything shared", 1, "", 0, "", "C:\\any", ""},
        {"type 1: inside a shared directory", 1, "", 1, "c:\\Docs", "C:\\Docs\\sub", ""},
        {"type 1: outside every shared directory", 1, "", 1, "c:\\Docs", "C:\\docsx",
         "The directory C:\\docsx" + closed},
        {"type 1: an empty selective list", 1, "", 1, "", "C:\\Docs", "The directory C:\\Docs" + closed},
        {"type 1: inside an excluded one", 1, "", 2, "C:\\secret\\", "C:\\secret\\in",
         "The directory C:\\secret\\in" + closed},
        {"type 1: outside the excluded ones", 1, "", 2, "C:\\secret", "C:\\public", ""},
        {"type 1: the upload directory does not matter", 1, "C:\\Up", 1, "D:\\", "C:\\Up",
         "The directory C:\\Up" + closed},
    };
    for (const auto& [what, type, uploadDir, dirAccess, listed, directory, expected] : rows) {
        ServerSettings settings;
        settings.UploadAccessType = type;
        settings.UploadDir.Assign(uploadDir);
        settings.DirAccessOption = dirAccess;
        settings.DirList[0].Assign(listed);
        std::string refusal;
        EXPECT_EQ(CheckUploadAllowed(settings, {directory, "a"}, refusal), expected.empty() ? 0 : -1) << what;
        EXPECT_EQ(refusal, expected) << what;
    }
}

TEST(UploadTarget, TheBrowsersNameIsCutToItsLastPartAndNumberedBeforeItsExtension) {
    const std::tuple<const char*, const char*, int, const char*> rows[] = {
        {"a.txt", "a.txt", 2, "a (2).txt"},
        {"a.txt", "a.txt", 1, "a.txt"},
        {"C:\\x\\b.tar.gz", "b.tar.gz", 10, "b.tar (10).gz"},
        {"/tmp/README", "README", 3, "README (3)"},
        {"x/.profile", ".profile", 2, ".profile (2)"},
        {"a\\b/c\\d.e", "d.e", 2, "d (2).e"},
        {"dir/", "", 2, " (2)"},
    };
    for (const auto& [browserName, baseName, number, numbered] : rows) {
        EXPECT_EQ(BaseNameOf(browserName), baseName) << browserName;
        EXPECT_EQ(NumberedName(baseName, number), numbered) << browserName;
    }
    EXPECT_EQ(TargetPath({"c:", "a.txt"}), "c:\\a.txt");
}

ServerSettings UploadsOn() {
    ServerSettings settings;
    settings.UploadOn = 1;
    return settings;
}

class UploadProgram : public ::testing::Test {
protected:
    void SetUp() override {
        drive_.MakeDirectory("docs");
        drive_.MakeDirectory("up");
        home_.MakeDirectory("tmp");
    }
    // What the server gives the program; without settings, the program is run by hand.
    std::map<std::string, std::string> Environment(const std::optional<ServerSettings>& settings = UploadsOn(),
                                                   const std::string& contentType = "multipart/form-data") const {
        std::map<std::string, std::string> environment{
            {"REQUEST_METHOD", "POST"},       {"CONTENT_TYPE", contentType}, {"PELLORA_DRIVES", "C=" + drive_.Path()},
            {"XDG_CONFIG_HOME", home_ / "c"}, {"TMPDIR", home_ / "tmp"},
        };
        const std::string block = settings ? UploadProgramEnvironment(*settings) : "";
        for (std::size_t at = 0, end; at < block.size(); at = end + 1) {
            end = block.find('\0', at);
            const std::string entry = block.substr(at, end - at);
            environment.emplace(entry.substr(0, entry.find('=')), entry.substr(entry.find('=') + 1));
        }
        return environment;
    }
    ProgramRun Run(const std::string& body, const std::optional<ServerSettings>& settings = UploadsOn(),
                   const std::string& contentType = "multipart/form-data") const {
        return RunProgram({UploadProgramPath()}, Environment(settings, contentType), work_.WriteFile("body", body));
    }
    static std::string Answer(const std::string& paragraph) {
        return "Content-Type: text/html\r\n\r\n<HTML><HEAD><TITLE>Pellora File Upload</TITLE></HEAD><BODY>\r\n"
               "<H2>Pellora File Upload</H2>\r\n<P>" +
               paragraph + "</P>\r\n</BODY></HTML>\r\n";
    }

    TestDirectory drive_;
    TestDirectory home_;
    TestDirectory work_;
};

TEST_F(UploadProgram, AnswersWhatItStoredOrWhyNothingWasStored) {
    drive_.WriteFile("docs/a.txt", "original");
    SaveSettingsIn(home_ / "c", UploadsOn());
    ServerSettings onlyUp = UploadsOn();
    onlyUp.UploadAccessType = 0;
    onlyUp.UploadDir.Assign("C:\\up");
    ServerSettings notDocs = UploadsOn();
    notDocs.DirAccessOption = kAccessRestrictive;
    notDocs.DirList[0].Assign("C:\\docs");
    const FormPart dest = TextField("dest", "C:\\docs\\");
    const FormPart file = FileField("f.txt", "x");
    const std::string none = "Nothing was stored. ";
    // what, the settings the server runs with (none: run by hand), body, the answer's paragraph
    const std::tuple<const char*, std::optional<ServerSettings>, std::string, std::string> rows[] = {
        {"an existing name is never overwritten", UploadsOn(), MultipartBody({dest, FileField("a.txt", "new")}),
         "Stored <B>C:\\docs\\a (2).txt</B> (3 bytes).</P>\r\n<P>C:\\docs\\a.txt already exists, so the file was "
         "stored under a new name."},
        {"no destination field", UploadsOn(), MultipartBody({file}), none + "No destination was given."},
        {"no file field", UploadsOn(), MultipartBody({dest}), none + "No file was sent."},
        {"a text field is no file", UploadsOn(), MultipartBody({dest, TextField("upl-file", "x")}),
         none + "No file was sent."},
        {"no file chosen", UploadsOn(), MultipartBody({dest, FileField("", "")}), none + "No file was chosen."},
        {"a destination field past 1024 bytes", UploadsOn(),
         MultipartBody({TextField("dest", std::string(1100, 'n')), file}),
         none + "The destination is longer than 255 characters."},
        {"markup in the destination comes back escaped", UploadsOn(),
         MultipartBody({TextField("dest", "C:\\<b>\\"), file}), none + "The directory C:\\&lt;b&gt; does not exist."},
        {"a destination after the file is held to the settings", onlyUp, MultipartBody({file, dest}),
         none + "Files may be stored only in C:\\up and the directories below it."},
        {"the server's sharing list", notDocs, MultipartBody({dest, file}),
         none + "The directory C:\\docs is not open for uploads."},
        {"a body that is no multipart data", UploadsOn(), "dest=C:\\docs\\\r\nupl-file=x",
         none + "The upload could not be read: it is not the multipart/form-data the upload form sends."},
        {"uploads off where the server runs", ServerSettings(), MultipartBody({dest, file}),
         none + "Uploads are turned off on this server."},
        {"run by hand, on the saved settings", std::nullopt, MultipartBody({dest, file}),
         "Stored <B>C:\\docs\\f.txt</B> (1 byte)."},
    };
    for (const auto& [what, settings, body, answer] : rows) {
        const std::size_t before = TreeOf(drive_.Path()).size();
        const ProgramRun run = Run(body, settings);
        const bool stored = answer.starts_with("Stored");
        EXPECT_EQ(run.output, Answer(answer)) << what;
        EXPECT_EQ(run.exitStatus, stored ? 0 : 1) << what;
        EXPECT_EQ(TreeOf(drive_.Path()).size(), before + (stored ? 1 : 0)) << what;
        EXPECT_EQ(TreeOf(home_ / "tmp"), std::vector<std::string>{}) << what;
    }
    EXPECT_EQ(ReadWholeFile(drive_ / "docs/a.txt"), "original");
    EXPECT_EQ(ReadWholeFile(drive_ / "docs/a (2).txt"), "new");
    EXPECT_EQ(Run("dest=C%3A%5Cdocs%5C&upl-file=x", UploadsOn(), "application/x-www-form-urlencoded").output,
              Answer(none + "The upload must be sent as multipart/form-data, as the upload form sends it."));
}

// However early the body ends, nothing is stored and nothing is left behind, in the
// destination directory or in the temporary one.
TEST_F(UploadProgram, ABodyCutAnywhereLeavesNoFile) {
    const std::string content = "0123456789\r\n--not-the-boundary\r\nabcdef";
    const FormPart dest = TextField("dest", "C:\\docs\\");
    const std::pair<const char*, std::string> orders[] = {
        {"destination first", MultipartBody({dest, FileField("cut.txt", content)})},
        {"file first", MultipartBody({FileField("cut.txt", content), dest})}};
    for (const auto& [order, body] : orders) {
        // The reader's own test splits at every byte; a cut every few bytes reaches every
        // stage of the program, and every byte of the last boundaries.
        const std::size_t complete = body.size() - 2;
        for (std::size_t cut = 0; cut < complete; cut += cut + 40 < complete ? 7 : 1) {
            EXPECT_EQ(Run(body.substr(0, cut)).exitStatus, 1) << order << ", cut at " << cut;
            EXPECT_EQ(TreeOf(drive_.Path()), (std::vector<std::string>{"docs/", "up/"})) << order << ", cut at " << cut;
            EXPECT_EQ(TreeOf(home_ / "tmp"), std::vector<std::string>{}) << order << ", cut at " << cut;
        }
        EXPECT_EQ(Run(body.substr(0, complete)).exitStatus, 0) << order;
        EXPECT_EQ(ReadWholeFile(drive_ / "docs/cut.txt"), content) << order;
        std::filesystem::remove(drive_ / "docs/cut.txt");
    }
}

TEST_F(UploadProgram, AProgramKilledMidUploadLeavesNoFile) {
    signal(SIGPIPE, SIG_IGN);  // a program that died early must fail the test, not end it
    const std::string fifo = work_ / "body";
    for (const FormPart& before : {TextField("dest", "C:\\docs\\"), TextField("other", "")}) {
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        const std::string body = MultipartBody({before, FileField("big.bin", PatternBytes(1 << 20, 3))});
        ProgramRun run;
        std::thread program([&] {
            run = RunProgram({"/usr/bin/timeout", "-s", "KILL", "0.5", UploadProgramPath()}, Environment(), fifo);
        });
        {
            std::ofstream writer(fifo, std::ios::binary);
            writer << body.substr(0, body.size() - 100) << std::flush;
            std::this_thread::sleep_for(std::chrono::seconds(1));  // open until after the kill
        }
        program.join();
        EXPECT_EQ(run.exitStatus, -1) << "killed with timeout's whole group, " << before.headers;
        EXPECT_EQ(TreeOf(drive_.Path()), (std::vector<std::string>{"docs/", "up/"})) << before.headers;
        EXPECT_EQ(TreeOf(home_ / "tmp"), std::vector<std::string>{}) << before.headers;
        std::filesystem::remove(fifo);
    }
}

// 200 MiB go through in a few pieces of memory: the largest resident size of the run is
// hardly above that of a run with a one-byte file.
TEST_F(UploadProgram, A200MebibyteUploadStreamsInLittleMemory) {
    const std::string source = work_ / "large.bin";
    const std::string bodyFile = work_ / "large.body";
    WriteLargeFile(source, 200u << 20, 21);
    const std::string frame = MultipartBody({TextField("dest", "C:\\docs\\"), FileField("large.bin", "")});
    const std::size_t end = frame.rfind("\r\n--");
    std::ofstream(bodyFile, std::ios::binary)
        << frame.substr(0, end) << std::ifstream(source).rdbuf() << frame.substr(end);
    const ProgramRun small = Run(MultipartBody({TextField("dest", "C:\\docs\\"), FileField("small.bin", "x")}));
    const ProgramRun large = RunProgram({UploadProgramPath()}, Environment(), bodyFile);
    ASSERT_EQ(small.exitStatus, 0);
    ASSERT_EQ(large.exitStatus, 0) << large.output;
    EXPECT_NE(large.output.find("Stored <B>C:\\docs\\large.bin</B> (209715200 bytes)."), std::string::npos);
    EXPECT_LT(large.maxResidentKilobytes - small.maxResidentKilobytes, 8 * 1024)
        << "small run " << small.maxResidentKilobytes << " KiB, large run " << large.maxResidentKilobytes << " KiB";
    std::filesystem::remove(bodyFile);
    EXPECT_TRUE(SameFileContents(source, drive_ / "docs/large.bin"));
}

}  // namespace
