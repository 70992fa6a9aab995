// Uploads through the real server: the form page in every setting, and curl -F
// posting to the upload program, which stores files byte for byte where the settings
// the server runs with allow and nowhere else.
#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/HtmlText.h"
#include "tests/cgi/upload/UploadTestSupport.h"
#include "tests/support/ServerFixture.h"

namespace {

std::string FormBody(const std::string& destination) {
    return "<HTML><HEAD><TITLE>Pellora File Upload</TITLE></HEAD><BODY>\r\n"
           "<H2>Pellora File Upload</H2>\r\n"
           "<FORM ENCTYPE=\"multipart/form-data\" METHOD=POST ACTION=\"/@upload.exe\">\r\n"
           "<TABLE><TR><TD>Destination:<BR><I>(Full name or path)</I></TD>\r\n"
           "<TD><INPUT TYPE=TEXT SIZE=40 NAME=\"dest\" value = \"" +
           HtmlEscape(destination) +
           "\"></TD></TR><TR>\r\n"
           "<TD>File to upload:</TD><TD><INPUT TYPE=FILE NAME=\"upl-file\" SIZE=40></TD></TR><TR>\r\n"
           "<TD COLSPAN=2 ALIGN=CENTER><INPUT TYPE=SUBMIT VALUE=\"Upload Now\"></TD>\r\n"
           "</TR></TABLE></FORM>\r\n"
           "<HR> Note: Your browser must support file uploading. </BODY></HTML>\r\n";
}

std::string AnswerBody(const std::string& lines) {
    return "<HTML><HEAD><TITLE>Pellora File Upload</TITLE></HEAD><BODY>\r\n<H2>Pellora File Upload</H2>\r\n" + lines +
           "</BODY></HTML>\r\n";
}

std::string Stored(const std::string& path, std::size_t size) {
    return AnswerBody("<P>Stored <B>" + HtmlEscape(path) + "</B> (" + std::to_string(size) +
                      (size == 1 ? " byte" : " bytes") + ").</P>\r\n");
}

std::string StoredUnderANewName(const std::string& path, std::size_t size, const std::string& taken) {
    std::string body = Stored(path, size);
    body.insert(body.find("</BODY>"),
                "<P>" + HtmlEscape(taken) + " already exists, so the file was stored under a new name.</P>\r\n");
    return body;
}

std::string Refused(const std::string& reason) {
    return AnswerBody("<P>Nothing was stored. " + HtmlEscape(reason) + "</P>\r\n");
}

// File bytes that hold what a multipart body is made of: CR LF, dashes as curl's
// boundaries begin, a blank line, NUL and high bytes.
std::string TrickyBytes() {
    std::string bytes = PatternBytes(70000, 8);
    const std::string inserts[] = {
        "\r\n--------------------------",
        "\r\n------------------------0123456789abcdef\r\n",
        "--\r\n",
        "\r\n\r\nContent-Disposition: form-data; name=\"dest\"\r\n\r\nC:\\\r\n",
        std::string("\0\r\n\xff\xfe", 5),
    };
    std::size_t at = 0;
    for (const std::string& insert : inserts) {
        bytes.replace(at, insert.size(), insert);
        at += 9000;
    }
    return bytes + "\r\n--";
}

class Upload : public ServerFixture {
protected:
    void SetUp() override {
        settings.UploadOn = 1;
        drive.MakeDirectory("docs");
        drive.MakeDirectory("up");
        drive.MakeDirectory("pub");
    }

    // The server runs on `settings`, and so does the upload program it starts.
    void Start() { StartServer(); }
    void Restart() {
        if (server) {
            EXPECT_EQ(server->Stop(), 0);
        }
        StartServer();
    }

    std::string Source(const std::string& name, const std::string& bytes) const {
        return sources.WriteFile(name, bytes);
    }

    // curl posting the form: `fields` are curl's own -F and --form-string arguments.
    Response Curl(const std::vector<std::string>& fields) const {
        std::vector<std::string> argv = {"/usr/bin/curl", "-s", "-S", "-i", "--http1.0", "--noproxy", "*"};
        argv.insert(argv.end(), fields.begin(), fields.end());
        argv.push_back("http://127.0.0.1:" + std::to_string(server->Port()) + "/@upload.exe");
        const ProgramRun run = RunProgram(argv, {}, "/dev/null");
        EXPECT_EQ(run.exitStatus, 0) << "curl failed";
        return SplitResponse(run.output);
    }

    static std::vector<std::string> Dest(const std::string& destination) {
        return {"--form-string", "dest=" + destination};
    }
    static std::vector<std::string> File(const std::string& path) { return {"-F", "upl-file=@" + path}; }
    static std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    }

    // A POST written by hand, for bodies curl would never send.
    Response Post(const std::string& contentType, const std::string& body) const {
        return SplitResponse(Request("POST /@upload.exe HTTP/1.0\r\nContent-Type: " + contentType +
                                     "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body));
    }

    TestDirectory sources;
};

TEST_F(Upload, CurlStoresFilesByteForByte) {
    Start();
    struct Row {
        const char* name;
        std::string fileName;
        std::string bytes;
        std::string destination;
        bool destinationAfterFile;
        std::string storedAs;  // drive path
        std::string onDisk;    // below the drive
    };
    const Row rows[] = {
        {"a 0-byte file", "empty.bin", "", "C:\\docs\\", false, "C:\\docs\\empty.bin", "docs/empty.bin"},
        {"binary bytes with CR LF and boundary-like runs", "tricky.bin", TrickyBytes(), "C:\\docs\\", false,
         "C:\\docs\\tricky.bin", "docs/tricky.bin"},
        {"the destination after the file", "after.bin", TrickyBytes(), "C:\\docs\\", true, "C:\\docs\\after.bin",
         "docs/after.bin"},
        {"a full name as destination", "a.txt", "text\n", "C:\\docs\\renamed.txt", false, "C:\\docs\\renamed.txt",
         "docs/renamed.txt"},
        {"a full name after the file", "b.txt", "text\n", "C:\\pub\\late.txt", true, "C:\\pub\\late.txt",
         "pub/late.txt"},
        {"a directory without its backslash", "c.txt", "c", "C:\\docs", false, "C:\\docs\\c.txt", "docs/c.txt"},
        {"forward slashes and dots", "d.txt", "d", "c:/up/../docs/./", false, "c:\\docs\\d.txt", "docs/d.txt"},
        {"a drive root", "root.txt", "r", "C:\\", false, "C:\\root.txt", "root.txt"},
        {"markup and blanks in the name", "<b>&'q' x.txt", "m", "C:\\docs\\", false, "C:\\docs\\<b>&'q' x.txt",
         "docs/<b>&'q' x.txt"},
    };
    for (const Row& row : rows) {
        const std::string source = Source(row.fileName, row.bytes);
        const Response response = row.destinationAfterFile ? Curl(Join(File(source), Dest(row.destination)))
                                                           : Curl(Join(Dest(row.destination), File(source)));
        EXPECT_TRUE(IsSuccessHeader(response.head, "text/html")) << row.name << "\n" << response.head;
        EXPECT_EQ(response.body, Stored(row.storedAs, row.bytes.size())) << row.name;
        EXPECT_TRUE(ReadWholeFile(drive / row.onDisk) == row.bytes) << row.name;
    }
    EXPECT_EQ(TreeOf(drive.Path()),
              (std::vector<std::string>{"docs/", "docs/<b>&'q' x.txt", "docs/after.bin", "docs/c.txt", "docs/d.txt",
                                        "docs/empty.bin", "docs/renamed.txt", "docs/tricky.bin", "pub/", "pub/late.txt",
                                        "root.txt", "up/"}));
}

TEST_F(Upload, AnExistingFileIsNeverOverwritten) {
    drive.WriteFile("docs/a.txt", "original");
    drive.WriteFile("docs/a (2).txt", "second original");
    Start();
    const std::string source = Source("a.txt", "new");
    EXPECT_EQ(Curl(Join(Dest("C:\\docs\\"), File(source))).body,
              StoredUnderANewName("C:\\docs\\a (3).txt", 3, "C:\\docs\\a.txt"));
    EXPECT_EQ(Curl(Join(Dest("C:\\docs\\a.txt"), File(source))).body,
              StoredUnderANewName("C:\\docs\\a (4).txt", 3, "C:\\docs\\a.txt"));
    EXPECT_EQ(Curl(Join(File(source), Dest("C:\\docs\\a (2).txt"))).body,
              StoredUnderANewName("C:\\docs\\a (2) (2).txt", 3, "C:\\docs\\a (2).txt"));
    EXPECT_EQ(ReadWholeFile(drive / "docs/a.txt"), "original");
    EXPECT_EQ(ReadWholeFile(drive / "docs/a (2).txt"), "second original");
    EXPECT_EQ(ReadWholeFile(drive / "docs/a (3).txt"), "new");
    EXPECT_EQ(ReadWholeFile(drive / "docs/a (4).txt"), "new");
    EXPECT_EQ(ReadWholeFile(drive / "docs/a (2) (2).txt"), "new");
}

TEST_F(Upload, EveryRefusalStoresNothing) {
    const std::string source = Source("f.txt", "never stored");
    struct Row {
        const char* name;
        std::function<void(ServerSettings&)> saved;
        std::vector<std::string> curl;  // empty: `raw` is posted as multipart/form-data
        std::string raw;
        std::string reason;
    };
    const std::string cut = MultipartBody({TextField("dest", "C:\\docs\\"), FileField("f.txt", "never stored")});
    const auto none = [](ServerSettings&) {};
    const Row rows[] = {
        {"type 0: outside the upload directory",
         [](ServerSettings& s) {
             s.UploadAccessType = 0;
             s.UploadDir.Assign("C:\\up\\");
         },
         Join(Dest("C:\\docs\\"), File(source)), "",
         "Files may be stored only in C:\\up and the directories below it."},
        {"type 0: climbing out of it with ..",
         [](ServerSettings& s) {
             s.UploadAccessType = 0;
             s.UploadDir.Assign("C:\\up");
         },
         Join(Dest("C:\\up\\..\\docs\\"), File(source)), "",
         "Files may be stored only in C:\\up and the directories below it."},
        {"type 0: dots above the drive root stay on it",
         [](ServerSettings& s) {
             s.UploadAccessType = 0;
             s.UploadDir.Assign("C:\\up");
         },
         Join(Dest("C:\\up\\..\\..\\..\\"), File(source)), "",
         "Files may be stored only in C:\\up and the directories below it."},
        {"type 0: forward slashes climbing out",
         [](ServerSettings& s) {
             s.UploadAccessType = 0;
             s.UploadDir.Assign("C:\\up");
         },
         Join(Dest("C:/up/../docs/"), File(source)), "",
         "Files may be stored only in C:\\up and the directories below it."},
        {"type 0: a sibling that only shares the name's start",
         [](ServerSettings& s) {
             s.UploadAccessType = 0;
             s.UploadDir.Assign("C:\\pu");
         },
         Join(Dest("C:\\pub\\"), File(source)), "", "Files may be stored only in C:\\pu and the directories below it."},
        {"type 0: an over-long destination",
         [](ServerSettings& s) {
             s.UploadAccessType = 0;
             s.UploadDir.Assign("C:\\up");
         },
         Join(Dest("C:\\up\\" + std::string(300, 'n')), File(source)), "",
         "The destination is longer than 255 characters."},
        {"type 0: no upload directory", [](ServerSettings& s) { s.UploadAccessType = 0; },
         Join(Dest("C:\\up\\"), File(source)), "", "No upload directory is set on this server."},
        {"type 1: not in the sharing list",
         [](ServerSettings& s) {
             s.DirAccessOption = kAccessSelective;
             s.DirList[0].Assign("C:\\pub");
         },
         Join(Dest("C:\\docs\\"), File(source)), "", "The directory C:\\docs is not open for uploads."},
        {"type 1: in an excluded directory",
         [](ServerSettings& s) {
             s.DirAccessOption = kAccessRestrictive;
             s.DirList[0].Assign("c:\\docs\\");
         },
         Join(Dest("C:\\docs\\"), File(source)), "", "The directory C:\\docs is not open for uploads."},
        {"type 1: climbing into an excluded directory",
         [](ServerSettings& s) {
             s.DirAccessOption = kAccessRestrictive;
             s.DirList[0].Assign("c:\\docs");
         },
         Join(Dest("C:\\pub\\..\\docs\\"), File(source)), "", "The directory C:\\docs is not open for uploads."},
        {"a directory that does not exist", none, Join(Dest("C:\\nothere\\"), File(source)), "",
         "The directory C:\\nothere does not exist."},
        {"markup in a destination comes back escaped", none, Join(Dest("C:\\<b>\"x\"\\"), File(source)), "",
         "The directory C:\\<b>\"x\" does not exist."},
        {"not a full path", none, Join(Dest("docs"), File(source)), "",
         "The destination docs is not a full path such as C:\\docs\\."},
        {"an empty destination", none, Join(Dest(""), File(source)), "", "No destination was given."},
        {"no destination field", none, File(source), "", "No destination was given."},
        {"no file field", none, Dest("C:\\docs\\"), "", "No file was sent."},
        {"no file chosen",
         none,
         {},
         MultipartBody({TextField("dest", "C:\\docs\\"), FileField("", "")}),
         "No file was chosen."},
        {"a body that ends before its closing boundary",
         none,
         {},
         cut.substr(0, cut.size() - 10),
         "The upload ended before it was complete, so nothing was stored."},
        {"a body that is no multipart data",
         none,
         {},
         "dest=C:\\docs\\\r\nupl-file=x",
         "The upload could not be read: it is not the multipart/form-data the upload form sends."},
        {"url-encoded form data",
         none,
         {"--data", "dest=C%3A%5Cdocs%5C&upl-file=x"},
         "",
         "The upload must be sent as multipart/form-data, as the upload form sends it."},
    };
    const std::vector<std::string> before = TreeOf(drive.Path());
    const ServerSettings base = settings;
    for (const Row& row : rows) {
        settings = base;
        row.saved(settings);
        Restart();
        const Response response = row.curl.empty() ? Post("multipart/form-data; boundary=x", row.raw) : Curl(row.curl);
        EXPECT_TRUE(IsSuccessHeader(response.head, "text/html")) << row.name << "\n" << response.head;
        EXPECT_EQ(response.body, Refused(row.reason)) << row.name;
        EXPECT_EQ(TreeOf(drive.Path()), before) << row.name;
    }
}

// What the server runs with decides, not what was saved: the form, the server's own
// gate and the program always agree.
TEST_F(Upload, TheProgramFollowsTheSettingsTheServerRunsWith) {
    StartServer();  // on its options file; nothing saved
    const std::string source = Source("f.txt", "x");
    EXPECT_EQ(Curl(Join(Dest("C:\\docs\\"), File(source))).body, Stored("C:\\docs\\f.txt", 1));

    ServerSettings saved = settings;
    saved.UploadOn = 0;
    saved.UploadAccessType = 0;
    saved.UploadDir.Assign("C:\\docs");
    SaveSettingsIn(server->ConfigDirectory(), saved);
    settings.DirAccessOption = kAccessRestrictive;
    settings.DirList[0].Assign("C:\\pub");
    Restart();
    EXPECT_EQ(Curl(Join(Dest("C:\\up\\"), File(source))).body, Stored("C:\\up\\f.txt", 1));
    EXPECT_EQ(Curl(Join(Dest("C:\\pub\\"), File(source))).body,
              Refused("The directory C:\\pub is not open for uploads."));

    settings.UploadOn = 0;
    Restart();
    EXPECT_EQ(
        Curl(Join(Dest("C:\\docs\\"), File(source))).body,
        SplitResponse(ErrorPageBytes("500 Internal Server Error", "Pellora upload capability is currently disabled."))
            .body);
    EXPECT_EQ(TreeOf(drive.Path()), (std::vector<std::string>{"docs/", "docs/f.txt", "pub/", "up/", "up/f.txt"}));
}

TEST_F(Upload, TheFormPageInEverySetting) {
    struct Row {
        const char* name;
        int uploadOn;
        int accessType;
        std::string uploadDir;
        std::string url;
        std::string destination;
    };
    const Row rows[] = {
        {"type 1, no directory in the URL", 1, 1, "", "/@upload.htm", ""},
        {"type 1, the directory being browsed", 1, 1, "", "/@upload.htm/C/docs/", "C:\\docs\\"},
        {"type 1, without the final slash", 1, 1, "", "/@upload.htm/C/docs", "C:\\docs\\"},
        {"type 1, a drive", 1, 1, "", "/@upload.htm/d", "d:\\"},
        {"type 1, only the first 12 characters are compared", 1, 1, "", "/@upload.htmx", ""},
        {"type 1, markup in the URL comes back escaped", 1, 1, "", "/@upload.htm/C/\"><b>'", "C:\\\"><b>'\\"},
        {"type 0, the upload directory whatever the URL says", 1, 0, "e:\\incoming", "/@upload.htm/C/docs/",
         "e:\\incoming\\"},
        {"type 0, an upload directory with its backslash", 1, 0, "C:\\up\\", "/@upload.htm", "C:\\up\\"},
        {"type 0, no upload directory", 1, 0, "", "/@upload.htm/C/docs/", ""},
        {"uploads off", 0, 1, "", "/@upload.htm/C/docs/", ""},
    };
    for (const Row& row : rows) {
        settings.UploadOn = row.uploadOn;
        settings.UploadAccessType = row.accessType;
        settings.UploadDir.Assign(row.uploadDir);
        StartServer();
        const std::string raw = Get(row.url);
        if (row.uploadOn == 0) {
            EXPECT_EQ(raw,
                      ErrorPageBytes("500 Internal Server Error", "Pellora upload capability is currently disabled."))
                << row.name;
        } else {
            const Response response = SplitResponse(raw);
            EXPECT_TRUE(IsSuccessHeader(response.head, "text/html")) << row.name << "\n" << response.head;
            EXPECT_EQ(response.body, FormBody(row.destination)) << row.name;
        }
        EXPECT_EQ(server->Stop(), 0) << row.name;
    }
}

// Escaped, a destination of quotes grows six-fold: a form that cannot hold it whole is
// refused, never sent cut short as if it were the form.
TEST_F(Upload, AFormThatCannotHoldItsEscapedDestinationIsRefused) {
    StartServer();
    const Response fits = SplitResponse(Get("/@upload.htm/C/" + std::string(150, '"')));
    EXPECT_TRUE(fits.body.ends_with("</BODY></HTML>\r\n")) << fits.body;
    EXPECT_EQ(Get("/@upload.htm/C/" + std::string(250, '"')),
              ErrorPageBytes("400 Bad Request", "The request is either too long or not in the right format."));
}

TEST_F(Upload, A200MebibyteFileArrivesWhole) {
    Start();
    const std::string source = sources / "large.bin";
    WriteLargeFile(source, 200u << 20, 33);
    const Response response = Curl(Join(Dest("C:\\docs\\"), File(source)));
    EXPECT_EQ(response.body, Stored("C:\\docs\\large.bin", 200u << 20));
    EXPECT_TRUE(SameFileContents(source, drive / "docs/large.bin"));
}

}  // namespace
