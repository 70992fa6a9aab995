// CGI programs run by the real server: their environment, input, output, and what
// happens when they are slow, silent, missing or abandoned.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <thread>

#include "tests/support/ServerFixture.h"

namespace {

using namespace std::chrono_literals;

// Prints its environment exactly as it was given, then its standard input.
constexpr const char* kEnvironmentScript = R"(import sys
environ = open('/proc/self/environ', 'rb').read()
sys.stdout.write('Content-Type: text/plain\r\n\r\n')
sys.stdout.flush()
sys.stdout.buffer.write(environ.replace(b'\0', b'\n'))
sys.stdout.buffer.write(b'stdin:' + sys.stdin.buffer.read())
)";

std::string HostName() {
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    return name;
}

class Cgi : public ServerFixture {
protected:
    void SetUp() override {
        settings.RootDir.Assign("c:\\web");
        drive.WriteFile("web/cgi-bin/env.py", kEnvironmentScript);
        drive.WriteFile("web/a.txt", "plain file");
    }
    void Script(const std::string& name, const std::string& text) {
        chmod(drive.WriteFile("web/cgi-bin/" + name, text).c_str(), 0755);
    }
    std::string Variables(const std::string& method, const std::string& rest) {
        return "SERVER_SOFTWARE=PELLORA/1.0\nGATEWAY_INTERFACE=CGI/1.1\nSERVER_PROTOCOL=HTTP/1.0\nSERVER_PORT=" +
               std::to_string(server->Port()) + "\nSERVER_NAME=" + HostName().substr(0, 51) +
               "\nREMOTE_ADDR=127.0.0.1\nREMOTE_HOST=\nREMOTE_USER=\nAUTH_TYPE=\n" + rest.substr(0, rest.find('|')) +
               "REQUEST_METHOD=" + method + "\n" + rest.substr(rest.find('|') + 1);
    }
};

TEST_F(Cgi, ProgramsGetTheirSeventeenVariablesInOrderAndTheBodyAsInput) {
    StartServer();
    const Response get =
        SplitResponse(Request("GET /cgi-bin/env.py/a/b?x=1&y=a+b HTTP/1.0\r\nAccept: text/html, */*\r\n\r\n"));
    EXPECT_EQ(get.body, Variables("GET",
                                  "HTTP_ACCEPT=text/html, */*\n|SCRIPT_NAME=/cgi-bin/env.py\nHTTP_INFO=/a/b\n"
                                  "HTTP_TRANSLATED=/c/web/a/b\nQUERY_STRING=x=1&y=a+b\nCONTENT_TYPE=\n"
                                  "CONTENT_LENGTH=0\nstdin:"));

    const Response post = SplitResponse(Request(
        "POST /cgi-bin/env.py HTTP/1.0\r\nContent-Type: multipart/form-data; boundary=xyz\r\nContent-Length: 9\r\n"
        "\r\nname=a&b"
        "c"));
    EXPECT_EQ(post.body, Variables("POST",
                                   "HTTP_ACCEPT=\n|SCRIPT_NAME=/cgi-bin/env.py\nHTTP_INFO=\nHTTP_TRANSLATED=\n"
                                   "QUERY_STRING=\nCONTENT_TYPE=multipart/form-data\nCONTENT_LENGTH=9\n"
                                   "stdin:name=a&bc"));

    // The body arrives as an ordinary blocking input, as programs expect.
    drive.WriteFile("web/cgi-bin/flags.py",
                    "import fcntl, os, sys\nblocking = fcntl.fcntl(0, fcntl.F_GETFL) & os.O_NONBLOCK == 0\n"
                    "sys.stdout.write('Content-Type: text/plain\\r\\n\\r\\nblocking=%s' % blocking)\n");
    const Response flags = SplitResponse(
        Request("POST /cgi-bin/flags.py HTTP/1.0\r\nContent-Type: text/plain\r\nContent-Length: 2\r\n\r\nab"));
    EXPECT_EQ(flags.body, "blocking=True");

    // The prefix matches in any case; SCRIPT_NAME keeps the URL's own.
    EXPECT_NE(Get("/CGI-Bin/env.py?q").find("SCRIPT_NAME=/CGI-Bin/env.py\n"), std::string::npos);

    const std::string head = Request("HEAD /cgi-bin/env.py?q HTTP/1.0\r\n\r\n");
    EXPECT_TRUE(head.ends_with("Content-Type: text/plain\r\n\r\n")) << head;
    EXPECT_EQ(head.find("REQUEST_METHOD"), std::string::npos);
    // HEAD sends no body, so this program keeps what it was given in its working directory.
    drive.WriteFile("web/cgi-bin/keep.py",
                    "open('head-environment', 'wb').write(open('/proc/self/environ', 'rb').read())\n");
    Request("HEAD /cgi-bin/keep.py?q HTTP/1.0\r\nAccept: */*\r\n\r\n");
    std::string kept = ReadWholeFile(drive / "web/cgi-bin/head-environment");
    std::replace(kept.begin(), kept.end(), '\0', '\n');
    EXPECT_EQ(kept + "stdin:", Variables("HEAD",
                                         "HTTP_ACCEPT=*/*\n|SCRIPT_NAME=/cgi-bin/keep.py\nHTTP_INFO=\n"
                                         "HTTP_TRANSLATED=\nQUERY_STRING=\nCONTENT_TYPE=\nCONTENT_LENGTH=0\nstdin:"));
}

TEST_F(Cgi, OutputBringsItsOwnHeaderOnlyWhenItBeginsWithContent) {
    Script("own.sh", "#!/bin/sh\nprintf 'Content-type: text/plain\\r\\n\\r\\nhi'\n");
    Script("location.sh", "#!/bin/sh\nprintf 'Location: /x\\r\\n\\r\\nbody'\n");
    Script("silent.sh", "#!/bin/sh\nexit 0\n");
    StartServer();
    const std::string own = Get("/cgi-bin/own.sh?");
    EXPECT_TRUE(own.starts_with("HTTP/1.0 200 OK\r\nDate: ")) << own;
    EXPECT_TRUE(own.ends_with("\nServer: Pellora/1.0\r\nMIME-version: 1.0\r\nContent-type: text/plain\r\n\r\nhi"))
        << own;
    const Response location = SplitResponse(Get("/cgi-bin/location.sh?"));
    EXPECT_TRUE(IsSuccessHeader(location.head, "text/html")) << location.head;
    EXPECT_EQ(location.body, "Location: /x\r\n\r\nbody");
    const Response silent = SplitResponse(Get("/cgi-bin/silent.sh?"));
    EXPECT_TRUE(IsSuccessHeader(silent.head, "text/html"));
    EXPECT_EQ(silent.body, "");
}

TEST_F(Cgi, RefusalsHaveTheirPages) {
    drive.MakeDirectory("web/cgi-bin/folder");
    StartServer();
    EXPECT_EQ(Get("/cgi-bin/nothere.sh?x"),
              ErrorPageBytes("404 Not Found", "Cgi-bin file c:\\web\\cgi-bin\\nothere.sh not found"));
    EXPECT_EQ(Get("/cgi-bin/folder?x"),
              ErrorPageBytes("404 Not Found", "Cgi-bin file c:\\web\\cgi-bin\\folder not found"));
    EXPECT_EQ(Get("/cgi-bin/..?x"), ErrorPageBytes("404 Not Found", "Cgi-bin file c:\\web\\cgi-bin\\.. not found"));
    EXPECT_EQ(Get("/cgi-binx/env.py?x"),
              ErrorPageBytes("400 Bad Request", "The cgi-bin request doesn't match Pellora configuration."));
    EXPECT_EQ(Request("POST /a.txt HTTP/1.0\r\nContent-Length: 1\r\n\r\nx"),
              ErrorPageBytes("400 Bad Request", "The cgi-bin request doesn't match Pellora configuration."));
    EXPECT_EQ(Get("/cgi-bin/<b>.sh?x"),
              ErrorPageBytes("404 Not Found", "Cgi-bin file c:\\web\\cgi-bin\\&lt;b&gt;.sh not found"));
    EXPECT_EQ(Request("POST /@upload.exe HTTP/1.0\r\nContent-Length: 1\r\n\r\nx"),
              ErrorPageBytes("500 Internal Server Error", "Pellora upload capability is currently disabled."));
}

// The program a URL's short name stands for is the program that runs, script or not.
TEST_F(Cgi, AProgramWhoseNameNeedsEncodingRuns) {
    Script("my script.sh", "#!/bin/sh\nprintf 'Content-Type: text/plain\\r\\n\\r\\nscript %s' \"$QUERY_STRING\"\n");
    Script("my program", "#!/bin/sh\nprintf 'Content-Type: text/plain\\r\\n\\r\\nprogram'\n");
    StartServer();
    EXPECT_EQ(SplitResponse(Get("/cgi-bin/my%20script.sh?x=1")).body, "script x=1");
    EXPECT_EQ(SplitResponse(Get("/cgi-bin/my%20program?x")).body, "program");
}

// A CGI directory as long as its field holds leaves no room for a script name: such a
// URL gets the gateway's page, and the server goes on serving.
TEST_F(Cgi, AnOverlongCgiDirectoryGetsThePageNotTheEndOfTheServer) {
    for (const std::size_t length : {253, 254, 255}) {
        settings.CgiDir.Assign(std::string(length, 'c'));
        StartServer();
        EXPECT_EQ(Get("/" + std::string(length, 'c') + "/x.sh?q"),
                  ErrorPageBytes("400 Bad Request", "The cgi-bin request doesn't match Pellora configuration."))
            << length;
        EXPECT_EQ(SplitResponse(Get("/c/web/a.txt")).body, "plain file") << length;
        EXPECT_EQ(server->Stop(), 0) << length;
    }
}

TEST_F(Cgi, WithoutADocumentRootNothingRuns) {
    settings.RootDir.Clear();
    // SetUp filled RootDir; this test runs without one.
    StartServer();
    EXPECT_EQ(Get("/cgi-bin/env.py?x"),
              ErrorPageBytes("500 Internal Server Error", "For cgi-bin to work, root document path has to be define."));
}

TEST_F(Cgi, ASlowProgramDoesNotHoldUpOtherClients) {
    Script("slow.sh", "#!/bin/sh\nsleep 2\necho done\n");
    StartServer();
    RawClient slow(server->Port());
    slow.Send("GET /cgi-bin/slow.sh?x HTTP/1.0\r\n\r\n");
    std::this_thread::sleep_for(200ms);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(SplitResponse(Get("/c/web/a.txt")).body, "plain file");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
    EXPECT_EQ(SplitResponse(slow.ReadAll()).body, "done\n");
}

TEST_F(Cgi, AClientThatGoesAwayEndsItsProgramAndWhatTheProgramStarted) {
    const std::string pids = drive / "pids";
    Script("forever.sh", "#!/bin/sh\nsleep 1000 &\necho $$ $! > " + pids + "\nwait\n");
    StartServer();
    {
        RawClient client(server->Port());
        client.Send("GET /cgi-bin/forever.sh?x HTTP/1.0\r\n\r\n");
        for (int i = 0; i < 500 && ReadWholeFile(pids).empty(); ++i) std::this_thread::sleep_for(10ms);
    }
    std::istringstream numbers(ReadWholeFile(pids));
    pid_t program = 0;
    pid_t grandchild = 0;
    numbers >> program >> grandchild;
    ASSERT_GT(program, 0);
    ASSERT_GT(grandchild, 0);
    EXPECT_TRUE(WaitUntilGone(program));
    EXPECT_TRUE(WaitUntilGone(grandchild));
    EXPECT_TRUE(server->WaitForDescriptors(server->OpenDescriptors(), 1s));
}

TEST_F(Cgi, StoppingTheServerEndsRunningPrograms) {
    const std::string pids = drive / "pids";
    Script("forever.sh", "#!/bin/sh\necho $$ > " + pids + "\nsleep 1000\n");
    StartServer();
    RawClient client(server->Port());
    client.Send("GET /cgi-bin/forever.sh?x HTTP/1.0\r\n\r\n");
    for (int i = 0; i < 500 && ReadWholeFile(pids).empty(); ++i) std::this_thread::sleep_for(10ms);
    const pid_t program = std::stoi(ReadWholeFile(pids));
    EXPECT_EQ(server->Stop(), 0);
    EXPECT_TRUE(WaitUntilGone(program));
    EXPECT_TRUE(server->TemporaryFiles().empty());
}

}  // namespace

namespace {

// A real CGI library reads what this gateway hands over.
constexpr const char* kCgiPmScript = R"(use strict;
use CGI;
my $q = CGI->new;
print $q->header('text/plain');
print 'name=', scalar($q->param('name')), "\n";
my $fh = $q->upload('file');
if ($fh) { local $/; my $data = <$fh>; print 'file=', length($data), "\n"; }
)";

bool HasCgiPm() {
    return system("perl -MCGI -e 1 2>/dev/null") == 0;
}

class CgiLibrary : public Cgi {};

TEST_F(CgiLibrary, PerlCgiPmReadsQueriesFormsAndUploads) {
    if (!HasCgiPm()) GTEST_SKIP() << "CGI.pm is not installed (Debian's libcgi-pm-perl)";
    drive.WriteFile("web/cgi-bin/form.pl", kCgiPmScript);
    StartServer();
    EXPECT_EQ(SplitResponse(Get("/cgi-bin/form.pl?name=a%20b")).body, "name=a b\n");
    EXPECT_EQ(SplitResponse(Request("POST /cgi-bin/form.pl HTTP/1.0\r\nContent-Type: "
                                    "application/x-www-form-urlencoded\r\nContent-Length: 11\r\n\r\nname=posted"))
                  .body,
              "name=posted\n");
    const std::string file = PatternBytes(5000, 9);
    const std::string body =
        "--XyZ\r\nContent-Disposition: form-data; name=\"name\"\r\n\r\nmulti\r\n--XyZ\r\n"
        "Content-Disposition: form-data; name=\"file\"; filename=\"a.bin\"\r\n"
        "Content-Type: application/octet-stream\r\n\r\n" +
        file + "\r\n--XyZ--\r\n";
    // The gateway passes the content type without its boundary; CGI.pm finds it in the body.
    EXPECT_EQ(SplitResponse(Request("POST /cgi-bin/form.pl HTTP/1.0\r\nContent-Type: multipart/form-data; "
                                    "boundary=XyZ\r\nContent-Length: " +
                                    std::to_string(body.size()) + "\r\n\r\n" + body))
                  .body,
              "name=multi\nfile=5000\n");
}

}  // namespace
