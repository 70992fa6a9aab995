// CGI programs and the upload program run by the real server: their environment, input
// and output, refusals, programs that are slow, odd or abandoned, files stored byte for
// byte where the settings allow, and a temporary directory that lets the server down.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/cgi/upload/UploadTestSupport.h"
#include "tests/support/ServerFixture.h"

namespace {

using namespace std::chrono_literals;

const std::string kTempFilePage =
    ErrorPageBytes("500 Internal Server Error", "The server wasn't able to create tmp file.");

std::string HostName() {
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    return name;
}

bool Shell(const std::string& command) {
    return std::system((command + " > /dev/null 2>&1").c_str()) == 0;
}

class Programs : public ServerFixture {
protected:
    void SetUp() override {
        settings.RootDir.Assign("c:\\web");
        settings.UploadOn = 1;
        drive.WriteFile("web/a.txt", "plain file");
        drive.MakeDirectory("docs");
        drive.MakeDirectory("pub");
        // Prints its environment exactly as given, then its standard input.
        Script("env.py",
               "import sys\nenviron = open('/proc/self/environ', 'rb').read()\n"
               "sys.stdout.write('Content-Type: text/plain\\r\\n\\r\\n')\nsys.stdout.flush()\n"
               "sys.stdout.buffer.write(environ.replace(b'\\0', b'\\n'))\n"
               "sys.stdout.buffer.write(b'stdin:' + sys.stdin.buffer.read())\n");
        Script("echo.sh", "#!/bin/sh\nprintf 'Content-Type: text/plain\\r\\n\\r\\n'\ncat\n");
    }
    void TearDown() override {
        if (!undo.empty()) Shell(undo);
        ServerFixture::TearDown();
    }
    void Script(const std::string& name, const std::string& text) const {
        chmod(drive.WriteFile("web/cgi-bin/" + name, text).c_str(), 0755);
    }
    std::string Body(const std::string& url) const { return SplitResponse(Get(url)).body; }
    std::string Variables(const std::string& method, const std::string& accept, const std::string& rest) const {
        return "SERVER_SOFTWARE=PELLORA/1.0\nGATEWAY_INTERFACE=CGI/1.1\nSERVER_PROTOCOL=HTTP/1.0\nSERVER_PORT=" +
               std::to_string(server->Port()) + "\nSERVER_NAME=" + HostName().substr(0, 51) +
               "\nREMOTE_ADDR=127.0.0.1\nREMOTE_HOST=\nREMOTE_USER=\nAUTH_TYPE=\nHTTP_ACCEPT=" + accept +
               "\nREQUEST_METHOD=" + method + "\n" + rest;
    }
    std::string Post(const std::string& url, const std::string& contentType, const std::string& body) const {
        return Request(PostRequest(url, contentType, body));
    }
    std::string Upload(const std::string& destination, const std::string& name, const std::string& bytes) const {
        return SplitResponse(Post("/@upload.exe", "multipart/form-data; boundary=----PelloraTestBoundary",
                                  MultipartBody({TextField("dest", destination), FileField(name, bytes)})))
            .body;
    }
    // curl posting the form, as a person's browser does.
    std::string Curl(const std::string& destination, const std::string& source) const {
        const ProgramRun run = RunProgram(
            {"/usr/bin/curl", "-s", "-S", "--http1.0", "--noproxy", "*", "--form-string", "dest=" + destination, "-F",
             "upl-file=@" + source, "http://127.0.0.1:" + std::to_string(server->Port()) + "/@upload.exe"},
            {}, "/dev/null");
        EXPECT_EQ(run.exitStatus, 0) << "curl failed";
        return run.output;
    }
    static std::string Answer(const std::string& lines) {
        return "<HTML><HEAD><TITLE>Pellora File Upload</TITLE></HEAD><BODY>\r\n<H2>Pellora File Upload</H2>\r\n" +
               lines + "</BODY></HTML>\r\n";
    }
    std::string undo;  // what gives the test's directories back
    TestDirectory sources;
};

TEST_F(Programs, ProgramsGetTheirSeventeenVariablesInOrderAndTheBodyAsInput) {
    StartServer();
    EXPECT_EQ(
        SplitResponse(Request("GET /cgi-bin/env.py/a/b?x=1&y=a+b HTTP/1.0\r\nAccept: text/html, */*\r\n\r\n")).body,
        Variables("GET", "text/html, */*",
                  "SCRIPT_NAME=/cgi-bin/env.py\nHTTP_INFO=/a/b\nHTTP_TRANSLATED=/c/web/a/b\nQUERY_STRING=x=1&y=a+b\n"
                  "CONTENT_TYPE=\nCONTENT_LENGTH=0\nstdin:"));
    EXPECT_EQ(SplitResponse(Post("/cgi-bin/env.py", "multipart/form-data; boundary=xyz", "name=a&bc")).body,
              Variables("POST", "",
                        "SCRIPT_NAME=/cgi-bin/env.py\nHTTP_INFO=\nHTTP_TRANSLATED=\nQUERY_STRING=\n"
                        "CONTENT_TYPE=multipart/form-data\nCONTENT_LENGTH=9\nstdin:name=a&bc"));
    // The prefix matches in any case; SCRIPT_NAME keeps the URL's own.
    EXPECT_NE(Get("/CGI-Bin/env.py?q").find("SCRIPT_NAME=/CGI-Bin/env.py\n"), std::string::npos);
    // HEAD sends no body: this program keeps what it was given in its working directory.
    Script("keep.py", "open('head-environment', 'wb').write(open('/proc/self/environ', 'rb').read())\n");
    EXPECT_TRUE(Request("HEAD /cgi-bin/keep.py?q HTTP/1.0\r\nAccept: */*\r\n\r\n").ends_with("text/html\r\n\r\n"));
    std::string kept = ReadWholeFile(drive / "web/cgi-bin/head-environment");
    std::replace(kept.begin(), kept.end(), '\0', '\n');
    EXPECT_EQ(kept,
              Variables("HEAD", "*/*",
                        "SCRIPT_NAME=/cgi-bin/keep.py\nHTTP_INFO=\nHTTP_TRANSLATED=\nQUERY_STRING=\nCONTENT_TYPE=\n"
                        "CONTENT_LENGTH=0\n"));
    // The body arrives as an ordinary blocking input, as programs expect.
    Script("flags.py",
           "import fcntl, os, sys\nblocking = fcntl.fcntl(0, fcntl.F_GETFL) & os.O_NONBLOCK == 0\n"
           "sys.stdout.write('Content-Type: text/plain\\r\\n\\r\\nblocking=%s' % blocking)\n");
    EXPECT_EQ(SplitResponse(Post("/cgi-bin/flags.py", "text/plain", "ab")).body, "blocking=True");
}

TEST_F(Programs, OutputBringsItsOwnHeaderOnlyWhenItBeginsWithContentAndOddEndsAreAnswered) {
    const std::string pids = drive / "pids";
    Script("own.sh", "#!/bin/sh\nprintf 'Content-type: text/plain\\r\\n\\r\\nhi'\n");
    Script("location.sh", "#!/bin/sh\nprintf 'Location: /x\\r\\n\\r\\nbody'\n");
    Script("silent.sh", "#!/bin/sh\nexit 0\n");
    Script("odd-exit.sh", "#!/bin/sh\nprintf 'Content-Type: text/plain\\r\\n\\r\\nbefore exit'\nexit 259\n");
    Script("killed.sh", "#!/bin/sh\nprintf 'Content-Type: text/plain\\r\\n\\r\\npartial'\nkill -9 $$\n");
    Script("leaves.sh",
           "#!/bin/sh\nsleep 1000 &\necho $! > " + pids + "\nprintf 'Content-Type: text/plain\\r\\n\\r\\ndone'\n");
    Script("my script.sh", "#!/bin/sh\nprintf 'Content-Type: text/plain\\r\\n\\r\\nscript %s' \"$QUERY_STRING\"\n");
    StartServer();
    const int descriptors = server->OpenDescriptors();
    const std::string own = Get("/cgi-bin/own.sh?");
    EXPECT_TRUE(own.starts_with("HTTP/1.0 200 OK\r\nDate: ") &&
                own.ends_with("\nServer: Pellora/1.0\r\nMIME-version: 1.0\r\nContent-type: text/plain\r\n\r\nhi"))
        << own;
    const ReplyParts location = SplitResponse(Get("/cgi-bin/location.sh?"));
    EXPECT_TRUE(IsSuccessHeader(location.head, "text/html") && location.body == "Location: /x\r\n\r\nbody");
    EXPECT_TRUE(IsSuccessHeader(Get("/cgi-bin/silent.sh?"), "text/html"));
    EXPECT_EQ(Body("/cgi-bin/odd-exit.sh?x"), "before exit");
    EXPECT_EQ(Body("/cgi-bin/killed.sh?x"), "partial");
    EXPECT_EQ(Body("/cgi-bin/leaves.sh?x"), "done");
    EXPECT_TRUE(WaitUntilGone(std::stoi(ReadWholeFile(pids)))) << "the program's own child outlived its answer";
    EXPECT_EQ(Body("/cgi-bin/my%20script.sh?x=1"), "script x=1");  // the program found is the one started
    EXPECT_TRUE(server->WaitForDescriptors(descriptors, 5s));
}

TEST_F(Programs, RefusalsHaveTheirPagesAndTheServerGoesOn) {
    drive.MakeDirectory("web/cgi-bin/folder");
    StartServer();
    const std::string mismatch =
        ErrorPageBytes("400 Bad Request", "The cgi-bin request doesn't match Pellora configuration.");
    const struct {
        std::string request;
        std::string answer;
    } rows[] = {
        {"GET /cgi-bin/nothere.sh?x",
         ErrorPageBytes("404 Not Found", "Cgi-bin file c:\\web\\cgi-bin\\nothere.sh not found")},
        {"GET /cgi-bin/folder?x", ErrorPageBytes("404 Not Found", "Cgi-bin file c:\\web\\cgi-bin\\folder not found")},
        {"GET /cgi-bin/..?x", ErrorPageBytes("404 Not Found", "Cgi-bin file c:\\web\\cgi-bin\\.. not found")},
        {"GET /cgi-bin/<b>.sh?x",
         ErrorPageBytes("404 Not Found", "Cgi-bin file c:\\web\\cgi-bin\\&lt;b&gt;.sh not found")},
        {"GET /cgi-binx/env.py?x", mismatch},
    };
    for (const auto& row : rows) EXPECT_EQ(Request(row.request + " HTTP/1.0\r\n\r\n"), row.answer) << row.request;
    ASSERT_EQ(server->Stop(), 0);
    // A CGI directory as long as its field holds leaves no room for a script name.
    for (const std::size_t length : {254, 255}) {
        settings.CgiDir.Assign(std::string(length, 'c'));
        StartServer();
        EXPECT_EQ(Get("/" + std::string(length, 'c') + "/x.sh?q"), mismatch) << length;
        EXPECT_EQ(Body("/c/web/a.txt"), "plain file") << length;
        ASSERT_EQ(server->Stop(), 0);
    }
    settings.CgiDir.Assign("cgi-bin");
    settings.RootDir.Clear();
    StartServer();
    EXPECT_EQ(Get("/cgi-bin/env.py?x"),
              ErrorPageBytes("500 Internal Server Error", "For cgi-bin to work, root document path has to be define."));
}

TEST_F(Programs, ProgramsRunAlongsideOthersAndEndWithTheirClientOrTheServer) {
    const std::string pids = drive / "pids";
    Script("slow.sh", "#!/bin/sh\nsleep 2\necho done\n");
    Script("forever.sh", "#!/bin/sh\nsleep 1000 &\necho $$ $! > " + pids + "\nwait\n");
    StartServer();
    RawClient slow(server->Port());
    slow.Send("GET /cgi-bin/slow.sh?x HTTP/1.0\r\n\r\n");
    std::this_thread::sleep_for(200ms);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Body("/c/web/a.txt"), "plain file");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
    EXPECT_EQ(SplitResponse(slow.ReadAll()).body, "done\n");
    for (const bool clientLeaves : {true, false}) {
        std::filesystem::remove(pids);
        auto client = std::make_unique<RawClient>(server->Port());
        client->Send("GET /cgi-bin/forever.sh?x HTTP/1.0\r\n\r\n");
        ASSERT_TRUE(Eventually([&] { return !ReadWholeFile(pids).empty(); }));
        std::istringstream numbers(ReadWholeFile(pids));
        pid_t program = 0;
        pid_t grandchild = 0;
        numbers >> program >> grandchild;
        ASSERT_GT(grandchild, 0);
        if (clientLeaves) {
            client.reset();
        } else {
            EXPECT_EQ(server->Stop(), 0);
        }
        EXPECT_TRUE(WaitUntilGone(program) && WaitUntilGone(grandchild)) << clientLeaves;
    }
    EXPECT_TRUE(server->TemporaryFiles().empty());
}

TEST_F(Programs, UploadsAreStoredByteForByteNeverOverAnotherFileAndAsTheServerSettingsSay) {
    drive.WriteFile("docs/a.txt", "original");
    StartServer();  // on its options file; nothing saved
    // File bytes that hold what a multipart body is made of.
    std::string tricky = PatternBytes(70000, 8);
    const std::string boundaryLike = "\r\n------------------------0123456789abcdef\r\n";
    const std::string highBytes("\0\r\n\xff\xfe--\r\n", 9);
    tricky.replace(20000, boundaryLike.size(), boundaryLike);
    tricky.replace(40000, highBytes.size(), highBytes);
    const std::string stored = "<P>Stored <B>";
    EXPECT_EQ(Curl("C:\\docs\\", sources.WriteFile("tricky.bin", tricky)),
              Answer(stored + "C:\\docs\\tricky.bin</B> (70000 bytes).</P>\r\n"));
    EXPECT_TRUE(ReadWholeFile(drive / "docs/tricky.bin") == tricky);
    EXPECT_EQ(Curl("c:/docs/./", sources.WriteFile("a.txt", "new")),
              Answer(stored + "c:\\docs\\a (2).txt</B> (3 bytes).</P>\r\n<P>c:\\docs\\a.txt already exists, so the "
                              "file was stored under a new name.</P>\r\n"));
    EXPECT_EQ(ReadWholeFile(drive / "docs/a.txt"), "original");
    EXPECT_EQ(Upload("C:\\<b>\"x\"\\", "f.txt", "x"),
              Answer("<P>Nothing was stored. The directory C:\\&lt;b&gt;&quot;x&quot; does not exist.</P>\r\n"));
    // What the server runs with decides, not what was saved.
    ServerSettings saved = settings;
    saved.UploadOn = 0;
    SaveSettingsIn(server->ConfigDirectory(), saved);
    ASSERT_EQ(server->Stop(), 0);
    settings.DirAccessOption = kAccessRestrictive;
    settings.DirList[0].Assign("C:\\pub");
    StartServer();
    EXPECT_EQ(Upload("C:\\docs\\", "b.txt", "b"), Answer(stored + "C:\\docs\\b.txt</B> (1 byte).</P>\r\n"));
    EXPECT_EQ(Upload("C:\\pub\\", "b.txt", "b"),
              Answer("<P>Nothing was stored. The directory C:\\pub is not open for uploads.</P>\r\n"));
    EXPECT_EQ(TreeOf(drive / "pub"), std::vector<std::string>{});
}

TEST_F(Programs, TheUploadFormFollowsTheSettingsAndIsNeverCut) {
    const std::string form =
        "<HTML><HEAD><TITLE>Pellora File Upload</TITLE></HEAD><BODY>\r\n<H2>Pellora File Upload</H2>\r\n"
        "<FORM ENCTYPE=\"multipart/form-data\" METHOD=POST ACTION=\"/@upload.exe\">\r\n"
        "<TABLE><TR><TD>Destination:<BR><I>(Full name or path)</I></TD>\r\n"
        "<TD><INPUT TYPE=TEXT SIZE=40 NAME=\"dest\" value = \"{}\"></TD></TR><TR>\r\n"
        "<TD>File to upload:</TD><TD><INPUT TYPE=FILE NAME=\"upl-file\" SIZE=40></TD></TR><TR>\r\n"
        "<TD COLSPAN=2 ALIGN=CENTER><INPUT TYPE=SUBMIT VALUE=\"Upload Now\"></TD>\r\n</TR></TABLE></FORM>\r\n"
        "<HR> Note: Your browser must support file uploading. </BODY></HTML>\r\n";
    const auto Form = [&form](const std::string& destination) {
        return std::string(form).replace(form.find("{}"), 2, destination);
    };
    StartServer();
    const ReplyParts page = SplitResponse(Get("/@upload.htm/C/\"><b>'"));
    EXPECT_TRUE(IsSuccessHeader(page.head, "text/html")) << page.head;
    EXPECT_EQ(page.body, Form("C:\\&quot;&gt;&lt;b&gt;&#39;\\"));
    for (const auto& [url, destination] :
         std::vector<std::pair<std::string, std::string>>{{"/@upload.htm", ""},
                                                          {"/@upload.htm/C/docs", "C:\\docs\\"},
                                                          {"/@upload.htmx", ""},
                                                          {"/@upload.htm/d", "d:\\"}}) {
        EXPECT_EQ(Body(url), Form(destination)) << url;
    }
    // Escaped, a destination of quotes grows six-fold: a form that cannot hold it is refused.
    EXPECT_TRUE(Body("/@upload.htm/C/" + std::string(150, '"')).ends_with("</BODY></HTML>\r\n"));
    EXPECT_EQ(Get("/@upload.htm/C/" + std::string(250, '"')),
              ErrorPageBytes("400 Bad Request", "The request is either too long or not in the right format."));
    ASSERT_EQ(server->Stop(), 0);
    settings.UploadAccessType = 0;
    settings.UploadDir.Assign("e:\\incoming");
    StartServer();
    EXPECT_EQ(Body("/@upload.htm/C/docs/"), Form("e:\\incoming\\"));
    ASSERT_EQ(server->Stop(), 0);
    settings.UploadOn = 0;
    StartServer();
    EXPECT_EQ(Get("/@upload.htm/C/docs/"),
              ErrorPageBytes("500 Internal Server Error", "Pellora upload capability is currently disabled."));
}

// A missing, replaced, read-only or full temporary directory: every request that needs a
// temporary file gets the page that says so, plain files are still served, and once the
// directory is back everything works and nothing was left open.
TEST_F(Programs, ATemporaryDirectoryThatLetsTheServerDownGivesItsPageAndNothingLeaks) {
    StartServer();
    const int descriptors = server->OpenDescriptors();
    const std::string temp = server->TempDirectory();
    const auto expectRefusals = [&](const std::string& situation) {
        EXPECT_EQ(Post("/cgi-bin/echo.sh", "text/plain", PatternBytes(100000)), kTempFilePage) << situation;
        // A full directory still takes the empty file a program's output begins as.
        if (situation != "full") {
            EXPECT_EQ(Get("/cgi-bin/echo.sh?x"), kTempFilePage) << situation;
        }
        EXPECT_EQ(Post("/@upload.exe", "multipart/form-data; boundary=----PelloraTestBoundary",
                       MultipartBody({TextField("dest", "c:\\docs\\"), FileField("u.bin", "never")})),
                  kTempFilePage)
            << situation;
        EXPECT_EQ(Get("/c/docs/"), kTempFilePage) << situation;
        EXPECT_EQ(Body("/c/web/a.txt"), "plain file") << situation;
        EXPECT_FALSE(std::filesystem::exists(drive / "docs/u.bin")) << situation;
    };
    std::filesystem::remove_all(temp);
    expectRefusals("missing");
    std::ofstream(temp) << "a file, not a directory";
    expectRefusals("a file");
    std::filesystem::remove(temp);
    std::filesystem::create_directory(temp);
    // Root writes through permission bits; the immutable flag, else a read-only bind mount.
    if (Shell("chattr +i " + temp)) {
        undo = "chattr -i " + temp;
    } else if (Shell("mount --bind " + temp + " " + temp + " && mount -o remount,bind,ro " + temp)) {
        undo = "umount " + temp;
    }
    if (!undo.empty()) expectRefusals("read-only");
    Shell(undo);
    // Full: a small file system of its own, filled, with room for the 64 MiB kept free.
    undo.clear();
    if (Shell("mount -t tmpfs -o size=72m pellora-test " + temp)) {
        undo = "umount " + temp;
        {
            std::ofstream filler(temp + "/filler", std::ios::binary);
            const std::string block(4096, 'f');
            while (filler.write(block.data(), static_cast<std::streamsize>(block.size()))) filler.flush();
        }
        expectRefusals("full");
        EXPECT_EQ(TestDirectory::List(temp), std::vector<std::string>{"filler"});
        std::filesystem::remove(temp + "/filler");
    }
    EXPECT_EQ(SplitResponse(Post("/cgi-bin/echo.sh", "text/plain", "body")).body, "body");
    EXPECT_NE(Upload("c:\\docs\\", "v.bin", "stored").find("Stored"), std::string::npos);
    EXPECT_EQ(ReadWholeFile(drive / "docs/v.bin"), "stored");
    EXPECT_TRUE(server->WaitForDescriptors(descriptors, 5s)) << server->OpenDescriptors() << " > " << descriptors;
}

}  // namespace
