// Files, HEAD, error pages and redirects, spoken to the real server over loopback.
#include <regex>

#include "tests/support/ServerFixture.h"

namespace {

class FileServing : public ServerFixture {};

TEST_F(FileServing, SendsFilesOfEverySizeWholeWithTheirContentType) {
    struct Row {
        const char* name;
        std::size_t size;
        const char* contentType;
    };
    const Row rows[] = {
        {"empty.txt", 0, "text/plain"},
        {"one.bin", 1, "application/octet-stream"},
        {"piece.htm", 4095, "text/html"},
        {"piece-and-one.gif", 4096, "image/gif"},
        {"three-pieces.TXT", 10000, "text/plain"},
        {"large.jpg", 3 * 1024 * 1024 + 7, "image/jpeg"},
        {"no-extension", 5, "application/octet-stream"},
    };
    unsigned seed = 1;
    for (const Row& row : rows) drive.WriteFile(std::string("docs/") + row.name, PatternBytes(row.size, seed++));
    StartServer();
    seed = 1;
    for (const Row& row : rows) {
        const Response response = SplitResponse(Get(std::string("/c/docs/") + row.name));
        EXPECT_TRUE(IsSuccessHeader(response.head, row.contentType)) << row.name << ": " << response.head;
        EXPECT_EQ(response.body, PatternBytes(row.size, seed++)) << row.name;
    }
}

TEST_F(FileServing, HeadSendsTheHeaderAlone) {
    drive.WriteFile("a.txt", "hello");
    StartServer();
    const std::string head = Request("HEAD /c/a.txt HTTP/1.0\r\n\r\n");
    EXPECT_TRUE(IsSuccessHeader(head, "text/plain")) << head;
    EXPECT_EQ(Request("HEAD /c/nothere.txt HTTP/1.0\r\n\r\n"), HeaderOnlyErrorBytes("404 Not Found"));
    EXPECT_EQ(Request("head /c/docs/ HTTP/1.0\r\n\r\n"), HeaderOnlyErrorBytes("404 Not Found"));
}

TEST_F(FileServing, AnswersEveryRefusalWithItsErrorPage) {
    drive.WriteFile("a.txt", "hello");
    StartServer();
    struct Row {
        const char* name;
        std::string request;
        std::string expected;
    };
    const Row rows[] = {
        {"null request", std::string("\0GET /c/a.txt HTTP/1.0\r\n\r\n", 26),
         ErrorPageBytes("400 Bad Request", "This is a null request.")},
        {"unknown method", "PUT /c/a.txt HTTP/1.0\r\n\r\n",
         ErrorPageBytes("400 Bad Request", "The server can only respond to GET, HEAD and POST method.")},
        {"over-long method word", std::string(25, 'G') + " / HTTP/1.0\r\n\r\n",
         ErrorPageBytes("400 Bad Request", "The server can only respond to GET, HEAD and POST method.")},
        {"request line without an end", "GET /c/a.txt",
         ErrorPageBytes("400 Bad Request", "The request is either too long or not in the right format.")},
        {"missing file", "GET /c/nothere.txt HTTP/1.0\r\n\r\n",
         ErrorPageBytes("404 Not Found", "File or directory not found.")},
        {"unknown drive", "GET /q/a.txt HTTP/1.0\r\n\r\n",
         ErrorPageBytes("404 Not Found", "File or directory not found.")},
        {"percent sequence naming nothing, sent or decoded", "GET /c/b%2Etxt HTTP/1.0\r\n\r\n",
         ErrorPageBytes("404 Not Found", "File or directory not found.")},
        {"document root not set", "GET /index.htm HTTP/1.0\r\n\r\n",
         ErrorPageBytes("404 Not Found", "File or directory not found.")},
        {"image name in other case", "GET /@DIR.GIF HTTP/1.0\r\n\r\n",
         ErrorPageBytes("400 Bad Request", "The server doesn't understand such a request.")},
        {"over-long path", "GET /c/" + std::string(300, 'x') + " HTTP/1.0\r\n\r\n",
         ErrorPageBytes("400 Bad Request", "The request is either too long or not in the right format.")},
    };
    for (const Row& row : rows) EXPECT_EQ(Request(row.request), row.expected) << row.name;
}

TEST_F(FileServing, RedirectsDocumentRootPathsToTheirDriveForm) {
    settings.RootDir.Assign("c:\\web\\");
    StartServer();
    const std::string port = std::to_string(server->Port());
    const Response response =
        SplitResponse(Request("GET /docs/a.txt HTTP/1.0\r\nHost: files.example:" + port + "\r\n\r\n"));
    const std::regex head(
        "HTTP/1\\.0 302 Redirection\r\nDate: [^\r\n]{24}\nServer: Pellora/1\\.0\r\nMIME-version: 1\\.0\r\n"
        "Location: http://files\\.example:" +
        port + "/c/web/docs/a\\.txt\r\n\r\n");
    EXPECT_TRUE(std::regex_match(response.head, head)) << response.head;
    EXPECT_EQ(response.body,
              "<HTML><TITLE>Redirection</TITLE><BODY><H1>Redirection</H1>This document can be found "
              "<A HREF=\"http://files.example:" +
                  port + "/c/web/docs/a.txt\">elsewhere.</A></BODY></HTML>");
    const std::string headOnly = Request("HEAD /docs/a.txt HTTP/1.0\r\nHost: files.example\r\n\r\n");
    EXPECT_TRUE(headOnly.ends_with("/c/web/docs/a.txt\r\n\r\n")) << headOnly;
}

TEST_F(FileServing, RedirectNamesOnlyAPlainHostFromTheRequest) {
    settings.RootDir.Assign("c:\\web");
    StartServer();
    const std::string answer = Request("GET /x.htm HTTP/1.0\r\nHost: evil\"><script>\r\n\r\n");
    EXPECT_EQ(answer.find("<script>"), std::string::npos);
    EXPECT_NE(answer.find("/c/web/x.htm"), std::string::npos);
}

TEST_F(FileServing, ARedirectCarriesNoLineBreakOfTheRequestAndStillLeadsToTheFile) {
    settings.RootDir.Assign("c:\\web");
    drive.WriteFile("web/docs/a\nb.txt", "a name with a line break");
    StartServer();
    const std::string prefix = "Location: http://h:" + std::to_string(server->Port()) + "/c/web/docs/";
    // Without a version on its first line, the URL runs to the " HTTP" of a later line.
    const Response injected =
        SplitResponse(Request("GET /docs/a\r\nSet-Cookie: x=1\r\nX: HTTP/1.0\r\nHost: h\r\n\r\n"));
    EXPECT_EQ(injected.head.find("\nSet-Cookie"), std::string::npos) << injected.head;
    EXPECT_TRUE(injected.head.ends_with("\r\n" + prefix + "a%0D%0ASet-Cookie:%20x=1%0D%0AX:\r\n\r\n")) << injected.head;

    const Response redirect = SplitResponse(Request("GET /docs/a\nb.txt HTTP/1.0\r\nHost: h\r\n\r\n"));
    ASSERT_TRUE(redirect.head.ends_with("\r\n" + prefix + "a%0Ab.txt\r\n\r\n")) << redirect.head;
    EXPECT_EQ(SplitResponse(Get("/c/web/docs/a%0Ab.txt")).body, "a name with a line break");
}

TEST_F(FileServing, RootAndDirectoryOptionsGiveTheirAnswers) {
    drive.WriteFile("site/index.htm", "<p>index</p>");
    drive.MakeDirectory("site/sub");
    settings.RootOption = kRootError;
    settings.DirOption = kDirIndexElseError;
    settings.DirFile.Assign("index.htm");
    StartServer();
    EXPECT_EQ(Get("/"),
              ErrorPageBytes("404 Not Found", "Pellora is configured to display an error for requests to root."));
    EXPECT_EQ(SplitResponse(Get("/c/site/")).body, "<p>index</p>");
    EXPECT_EQ(SplitResponse(Get("/c/site")).body, "<p>index</p>");
    EXPECT_EQ(Get("/c/site/sub/"), ErrorPageBytes("404 Not Found", "The index file can not be found."));
    EXPECT_EQ(Get("/@nothing.gif"), ErrorPageBytes("400 Bad Request", "The server doesn't understand such a request."));
}

TEST_F(FileServing, OptionValuesOutsideTheirTablesGetAnErrorInsteadOfSilence) {
    drive.MakeDirectory("d");
    settings.RootOption = 7;
    settings.DirOption = -1;
    StartServer();
    EXPECT_TRUE(Get("/").starts_with("HTTP/1.0 500 Internal Server Error\r\n"));
    EXPECT_TRUE(Get("/c/d/").starts_with("HTTP/1.0 500 Internal Server Error\r\n"));
}

}  // namespace
