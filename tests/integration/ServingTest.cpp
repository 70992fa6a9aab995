// Files, listings, the drive index, redirects, byte ranges, error pages and the access
// lists, through the real server over loopback.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "tests/cgi/upload/UploadTestSupport.h"
#include "tests/support/ServerFixture.h"

namespace {

const std::string kNotFoundPage = ErrorPageBytes("404 Not Found", "File or directory not found.");
const std::string kMalformedPage =
    ErrorPageBytes("400 Bad Request", "The request is either too long or not in the right format.");
const std::string kRefusedDirectoryPage = ErrorPageBytes("403 Forbidden", "This directory is not allowed for access.");

// The href of the link whose text is `name`, as a page of either style writes it.
std::string LinkTo(const std::string& page, const std::string& name) {
    const std::size_t text = page.find("\">" + name + "</a>");
    if (text == std::string::npos) return {};
    const std::size_t start = page.rfind("href=\"", text) + 6;
    return page.substr(start, text - start);
}

class Serving : public ServerFixture {
protected:
    std::string Body(const std::string& url) const { return SplitResponse(Get(url)).body; }
    std::string Ranged(const std::string& url, const std::string& range, const std::string& method = "GET") const {
        return Request(method + " " + url + " HTTP/1.0\r\nRange: " + range + "\r\n\r\n");
    }
};

TEST_F(Serving, FilesOfEverySizeArriveWholeWithTheirTypeAndHeadSendsTheHeaderAlone) {
    const struct {
        const char* name;
        std::size_t size;
        const char* contentType;
    } rows[] = {{"empty.txt", 0, "text/plain"},
                {"one.bin", 1, "application/octet-stream"},
                {"piece.htm", 4095, "text/html"},
                {"piece-and-one.gif", 4096, "image/gif"},
                {"three.TXT", 10000, "text/plain"},
                {"large.jpg", 3 * 1024 * 1024 + 7, "image/jpeg"},
                {"no-extension", 5, "application/octet-stream"}};
    for (const auto& row : rows) drive.WriteFile(std::string("docs/") + row.name, PatternBytes(row.size, row.size));
    StartServer();
    for (const auto& row : rows) {
        const ReplyParts response = SplitResponse(Get(std::string("/c/docs/") + row.name));
        EXPECT_TRUE(IsSuccessHeader(response.head, row.contentType)) << row.name << ": " << response.head;
        EXPECT_TRUE(response.body == PatternBytes(row.size, row.size)) << row.name;
    }
    EXPECT_TRUE(IsSuccessHeader(Request("HEAD /c/docs/piece.htm HTTP/1.0\r\n\r\n"), "text/html"));
    EXPECT_EQ(Request("HEAD /c/nothere.txt HTTP/1.0\r\n\r\n"), HeaderOnlyErrorBytes("404 Not Found"));
}

TEST_F(Serving, RequestsAtAndPastEveryBoundAreServedOrRefusedWithTheirPage) {
    drive.WriteFile("a.txt", "hello");
    // The longest name whose drive path still fits ("c:\" and 252 bytes), and one more.
    drive.WriteFile(std::string(252, 'n'), "longest");
    StartServer();
    using namespace std::string_literals;
    const std::string line = "GET /c/a.txt HTTP/1.0\r\n";
    const std::string badMethod =
        ErrorPageBytes("400 Bad Request", "The server can only respond to GET, HEAD and POST method.");
    const struct {
        const char* name;
        std::string request;
        std::string answer;  // the whole answer, or the body of a 200
    } rows[] = {
        {"null request", "\0GET /c/a.txt HTTP/1.0\r\n\r\n"s,
         ErrorPageBytes("400 Bad Request", "This is a null request.")},
        {"unknown method", "PUT /c/a.txt HTTP/1.0\r\n\r\n", badMethod},
        {"over-long method word", std::string(25, 'G') + " / HTTP/1.0\r\n\r\n", badMethod},
        {"no end of the request line", "GET /c/a.txt", kMalformedPage},
        {"request line past the block", "GET /c/" + std::string(5000, 'u') + " HTTP/1.0\r\n\r\n", kMalformedPage},
        {"drive path one byte too long", "GET /c/" + std::string(253, 'n') + " HTTP/1.0\r\n\r\n", kMalformedPage},
        {"NUL in the request line", "GET /c/a.txt\0 HTTP/1.0\r\n\r\n"s, kMalformedPage},
        {"missing file", "GET /c/nothere.txt HTTP/1.0\r\n\r\n", kNotFoundPage},
        {"unknown drive", "GET /q/a.txt HTTP/1.0\r\n\r\n", kNotFoundPage},
        {"escape naming nothing", "GET /c/b%2Etxt HTTP/1.0\r\n\r\n", kNotFoundPage},
        {"no document root", "GET /index.htm HTTP/1.0\r\n\r\n", kNotFoundPage},
        {"image name in another case", "GET /@DIR.GIF HTTP/1.0\r\n\r\n",
         ErrorPageBytes("400 Bad Request", "The server doesn't understand such a request.")},
        {"longest drive path", "GET /c/" + std::string(252, 'n') + " HTTP/1.0\r\n\r\n", "longest"},
        {"lower-case method", "get /c/a.txt HTTP/1.0\r\n\r\n", "hello"},
        {"bare LF line ends and a NUL in a header", "GET /c/a.txt HTTP/1.0\nX: \0\n\n"s, "hello"},
        {"no version", "GET /c/a.txt\n\n", "hello"},
        {"block of 4095", line + "X: " + std::string(4095 - line.size() - 7, 'p') + "\r\n\r\n", "hello"},
        {"block of 4096", line + "X: " + std::string(4096 - line.size() - 7, 'p') + "\r\n\r\n", "hello"},
        {"block of 4097", line + "X: " + std::string(4097 - line.size() - 7, 'p') + "\r\n\r\n", "hello"},
        {"past the block", line + "X: " + std::string(20000, 'p') + "\r\n\r\n", "hello"},
    };
    for (const auto& row : rows) {
        const std::string answer = Request(row.request);
        EXPECT_TRUE(answer == row.answer || SplitResponse(answer).body == row.answer) << row.name << "\n" << answer;
    }
}

// Every link reaches the entry it was made for, whatever names stand beside it: a file may
// be literally named like another's link, and anyone who may upload can make one.
TEST_F(Serving, EveryLinkOfEitherListingStyleReachesItsOwnEntry) {
    const std::vector<std::string> names = {"a b.txt", "a%20b.txt", "a%2520b.txt",     "100%.txt", "%41.txt",
                                            "A.txt",   "star*.txt", "back\\slash.txt", "x<y&z.txt"};
    for (const std::string& name : names) drive.WriteFile("mixed/" + name, "file " + name);
    const std::string directories[] = {"d b", "d%20b", "back\\slash dir", "caf\xc3\xa9 dir"};
    for (const std::string& directory : directories) drive.WriteFile("mixed/" + directory + "/in.txt", directory);
    for (const std::int32_t useTable : {0, 1}) {
        settings.UseTable = useTable;
        StartServer();
        const std::string page = Body("/c/mixed/");
        for (const std::string& name : names) {
            const std::string shown = name == "x<y&z.txt" ? "x&lt;y&amp;z.txt" : name;
            EXPECT_EQ(Body(LinkTo(page, shown)), "file " + name) << useTable << " " << name;
        }
        for (const std::string& directory : directories) {
            const std::string shown = directory == "caf\xc3\xa9 dir" ? "caf&#233; dir/" : directory + "/";
            const std::string inner = Body(LinkTo(page, shown));
            EXPECT_EQ(Body(LinkTo(inner, "in.txt")), directory) << useTable << " " << directory;
            EXPECT_TRUE(
                Body(LinkTo(inner, "../")).starts_with("<html><head><title>Pellora Index for c:\\mixed</title>"));
        }
        EXPECT_EQ(server->Stop(), 0);
    }
    StartServer();
    EXPECT_EQ(LinkTo(Body("/c/mixed/caf%C3%A9%20dir/"), "in.txt"), "/c/mixed/caf%C3%A9%20dir/in.txt");
    const std::string wildcard = Body("/c/mixed/a*.TXT");
    EXPECT_NE(wildcard.find("<title>Pellora Index for c:\\mixed\\a*.TXT</title>"), std::string::npos) << wildcard;
    EXPECT_NE(LinkTo(wildcard, "a b.txt"), "");
    EXPECT_EQ(LinkTo(wildcard, "A.txt"), "/c/mixed/A.txt");
    EXPECT_EQ(LinkTo(wildcard, "100%.txt"), "");
    EXPECT_EQ(LinkTo(Body("/c/mixed/a%20*"), "a b.txt"), "/c/mixed/a%20b.txt");
    EXPECT_EQ(Body("/c/mixed/100%.txt"), "file 100%.txt");  // a name as sent still finds it
    EXPECT_TRUE(IsSuccessHeader(Request("HEAD /c/mixed/ HTTP/1.0\r\n\r\n"), "text/html"));
}

TEST_F(Serving, DirectoryAndRootOptionsGiveTheirAnswers) {
    drive.WriteFile("with/index.htm", "<p>index</p>");
    drive.MakeDirectory("without");
    drive.MakeDirectory("dir-named/index.htm");
    const std::string missingIndex = ErrorPageBytes("404 Not Found", "The index file can not be found.");
    const std::string noDirectories =
        ErrorPageBytes("404 Not Found", "Pellora is configured to display an error for requests to directories.");
    const std::string listing = "listing";
    const struct {
        std::int32_t option;
        const char* dirFile;
        const char* url;
        std::string answer;
    } rows[] = {
        {kDirListing, "index.htm", "/c/with/", listing},
        {kDirIndexElseListing, "index.htm", "/c/with/", "<p>index</p>"},
        {kDirIndexElseListing, "index.htm", "/c/without/", listing},
        {kDirIndexElseListing, "index.htm", "/c/dir-named/", listing},
        {kDirIndexElseError, "index.htm", "/c/with", "<p>index</p>"},
        {kDirIndexElseError, "index.htm", "/c/without/", missingIndex},
        {kDirIndexElseError, "", "/c/with/", missingIndex},
        {kDirError, "index.htm", "/c/with/", noDirectories},
    };
    for (const auto& row : rows) {
        settings.DirOption = row.option;
        settings.DirFile.Assign(row.dirFile);
        StartServer();
        const std::string answer = Get(row.url);
        if (row.answer == listing) {
            EXPECT_TRUE(SplitResponse(answer).body.starts_with("<html><head><title>Pellora Index for ")) << row.url;
        } else {
            EXPECT_TRUE(answer == row.answer || SplitResponse(answer).body == row.answer) << row.url << answer;
        }
        EXPECT_EQ(server->Stop(), 0);
    }
    settings.DirOption = kDirError;
    settings.RootOption = kRootError;
    StartServer();
    EXPECT_EQ(Request("HEAD /c/with/ HTTP/1.0\r\n\r\n"), HeaderOnlyErrorBytes("404 Not Found"));
    EXPECT_EQ(Get("/"),
              ErrorPageBytes("404 Not Found", "Pellora is configured to display an error for requests to root."));
    ASSERT_EQ(server->Stop(), 0);
    settings.RootOption = kRootFile;  // with no root file
    StartServer();
    EXPECT_EQ(Get("/"), ErrorPageBytes("404 Not Found", "The index file name is not valid."));
    ASSERT_EQ(server->Stop(), 0);
    settings.RootOption = 7;  // values outside their tables get an error instead of silence
    settings.DirOption = -1;
    StartServer();
    EXPECT_TRUE(Get("/").starts_with("HTTP/1.0 500 Internal Server Error\r\n"));
    EXPECT_TRUE(Get("/c/with/").starts_with("HTTP/1.0 500 Internal Server Error\r\n"));
}

TEST_F(Serving, TheDriveIndexShowsEveryKindOfDriveAndLeadsIntoThem) {
    drive.MakeDirectory("c");
    const std::string root = drive.Path();
    server = std::make_unique<ServerProcess>(settings, "A=removable:" + root + ";C=" + root + "/c;D=cdrom:" + root +
                                                           ";N=network:" + root + ";Q=" + root + "/unplugged");
    ASSERT_TRUE(server->Start()) << server->Stderr();
    const ReplyParts index = SplitResponse(Get("/"));
    EXPECT_TRUE(IsSuccessHeader(index.head, "text/html")) << index.head;
    const std::string host = index.body.substr(37, index.body.find('<', 37) - 37);
    const std::string hardDisk = "<a href=C/><b>C:\\</b></a>           Hard Disk ";
    const std::size_t disk = index.body.find(hardDisk);
    ASSERT_NE(disk, std::string::npos) << index.body;
    const std::size_t diskEnd = index.body.find("\r\n", disk);
    // The hard disk's capacity and free space, right-aligned, in KB or MB.
    const std::string figures = index.body.substr(disk + hardDisk.size(), diskEnd - disk - hardDisk.size());
    EXPECT_TRUE(figures.ends_with("B") && figures.find_first_not_of(" 0123456789KMB") == std::string::npos) << figures;
    EXPECT_EQ(index.body.substr(0, disk), "<html><head><title>Pellora Index for " + host +
                                              "</title></head><body>\r\n<h2>Pellora index for " + host +
                                              ":</h2>\r\n<PRE>             Drive Type       Capacity    Free Space\r\n"
                                              "<a href=A/><b>A:\\</b></a>              Floppy\r\n");
    EXPECT_EQ(index.body.substr(diskEnd),
              "\r\n<a href=D/><b>D:\\</b></a>              CD-ROM\r\n<a href=N/><b>N:\\</b></a>             Network\r\n"
              "<a href=Q/><b>Q:\\</b></a>      <i>unknown</i>\r\n<br><br></PRE></body></html>");
    EXPECT_TRUE(Body("/C/").starts_with("<html><head><title>Pellora Index for C:</title>"));
}

// A redirect names a plain host from the request or the machine's own, and nothing of the
// request can end its Location line or the URL in it.
TEST_F(Serving, RedirectsIntoTheDocumentRootCarryNoLineBreakNorBlank) {
    settings.RootDir.Assign("c:\\web\\");
    drive.WriteFile("web/docs/a\nb.txt", "a name with a line break");
    drive.WriteFile("web/docs/a b.txt", "blank");
    drive.WriteFile("web /x ", "odd");
    StartServer();
    const std::string port = std::to_string(server->Port());
    const std::string prefix = "\r\nLocation: http://h:" + port + "/c/web";
    const ReplyParts plain = SplitResponse(Request("GET /docs/a.txt HTTP/1.0\r\nHost: h:" + port + "\r\n\r\n"));
    EXPECT_TRUE(plain.head.starts_with("HTTP/1.0 302 Redirection\r\nDate: ")) << plain.head;
    EXPECT_TRUE(plain.head.ends_with("\nServer: Pellora/1.0\r\nMIME-version: 1.0" + prefix + "/docs/a.txt\r\n\r\n"));
    EXPECT_EQ(plain.body,
              "<HTML><TITLE>Redirection</TITLE><BODY><H1>Redirection</H1>This document can be found "
              "<A HREF=\"http://h:" +
                  port + "/c/web/docs/a.txt\">elsewhere.</A></BODY></HTML>");
    EXPECT_TRUE(
        Request("HEAD /docs/a.txt HTTP/1.0\r\nHost: h:" + port + "\r\n\r\n").ends_with(prefix + "/docs/a.txt\r\n\r\n"));
    EXPECT_EQ(Request("GET /x.htm HTTP/1.0\r\nHost: evil\"><script>\r\n\r\n").find("<script>"), std::string::npos);
    const struct {
        const char* name;
        std::string request;
        std::string location;
        std::string reaches;
    } rows[] = {
        {"header lines in a URL without a version", "GET /docs/a\r\nSet-Cookie: x=1\r\nX: HTTP/1.0\r\nHost: h\r\n\r\n",
         "/docs/a%0D%0ASet-Cookie:%20x=1%0D%0AX:", ""},
        {"a name with a line break", "GET /docs/a\nb.txt HTTP/1.0\r\nHost: h\r\n\r\n", "/docs/a%0Ab.txt",
         "a name with a line break"},
        {"double blanks", "GET  /x  HTTP/1.0\r\nHost: h\r\n\r\n", "%20/x%20", "odd"},
        {"an escape stays what it names", "GET /docs/a%20b.txt HTTP/1.0\r\nHost: h\r\n\r\n", "/docs/a%20b.txt",
         "blank"},
    };
    for (const auto& row : rows) {
        const std::string head = SplitResponse(Request(row.request)).head;
        EXPECT_TRUE(head.ends_with(prefix + row.location + "\r\n\r\n")) << row.name << "\n" << head;
        if (!row.reaches.empty()) {
            EXPECT_EQ(Body("/c/web" + row.location), row.reaches) << row.name;
        }
    }
}

TEST_F(Serving, OneByteRangeOfAServedFileGetsItsPartAndOthersTheWholeFile) {
    const std::string bytes = PatternBytes(10000, 5);
    drive.WriteFile("a.bin", bytes);
    drive.WriteFile("empty.txt", "");
    StartServer();
    const struct {
        const char* range;
        std::size_t first, last;
    } parts[] = {{"bytes=0-0", 0, 0},         {"bytes=100-8299", 100, 8299},    {"bytes=9000-", 9000, 9999},
                 {"bytes=-2500", 7500, 9999}, {"bytes=5000-99999", 5000, 9999}, {"bytes=-20000", 0, 9999},
                 {"BYTES=10-19", 10, 19}};
    for (const auto& part : parts) {
        const ReplyParts answer = SplitResponse(Ranged("/c/a.bin", part.range));
        const std::size_t length = part.last - part.first + 1;
        const std::string contentRange =
            "bytes " + std::to_string(part.first) + "-" + std::to_string(part.last) + "/10000";
        EXPECT_TRUE(answer.head.starts_with("HTTP/1.0 206 Partial Content\r\nDate: ")) << part.range;
        EXPECT_TRUE(
            answer.head.ends_with("\nServer: Pellora/1.0\r\nMIME-version: 1.0\r\nContent-Type: "
                                  "application/octet-stream\r\nContent-Range: " +
                                  contentRange + "\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n"))
            << part.range << "\n"
            << answer.head;
        EXPECT_TRUE(answer.body == bytes.substr(part.first, length)) << part.range;
    }
    const std::string beyond =
        "HTTP/1.0 416 Range Not Satisfiable\r\nContent-Type: text/html\r\nContent-Range: bytes "
        "*/10000\r\n\r\n<body><h1>HTTP/1.0 416 Range Not Satisfiable</h1>The range lies beyond "
        "the end of the file.</body>";
    for (const char* range : {"bytes=10000-", "bytes=10000-10005", "bytes=-0", "bytes=99999999999999999999-"}) {
        EXPECT_EQ(Ranged("/c/a.bin", range), beyond) << range;
    }
    // Ignored, as RFC 9110 allows: the whole file with the header of every whole file.
    for (const char* range :
         {"bytes=5-1", "bytes=0-1,5-6", "items=0-1", "bytes=a-b", "bytes=", "bytes=--1", "bytes= 1-2"}) {
        const ReplyParts whole = SplitResponse(Ranged("/c/a.bin", range));
        EXPECT_TRUE(IsSuccessHeader(whole.head, "application/octet-stream") && whole.body == bytes) << range;
    }
    EXPECT_TRUE(IsSuccessHeader(Ranged("/c/a.bin", "bytes=0-1", "HEAD"), "application/octet-stream"));
    EXPECT_TRUE(IsSuccessHeader(Ranged("/c/empty.txt", "bytes=0-"), "text/plain"));
    EXPECT_TRUE(IsSuccessHeader(SplitResponse(Ranged("/c/", "bytes=0-5")).head, "text/html"));
    EXPECT_TRUE(
        Request("GET /c/a.bin HTTP/1.0\r\nAccept: */*\r\nrange: bytes=1-2\r\n\r\n").ends_with(bytes.substr(1, 2)));
}

// Offsets past 2 and 4 GiB in a sparse file, and curl resuming a download cut half way.
TEST_F(Serving, RangesReachPastFourGibibytesAndCurlResumesACutDownload) {
    const std::int64_t size = 5LL << 30;
    const int file = open(drive.WriteFile("large.bin", "").c_str(), O_WRONLY);
    ASSERT_EQ(pwrite(file, "middle", 6, (3LL << 30) - 3), 6);
    ASSERT_EQ(pwrite(file, "the end", 7, size - 7), 7);
    close(file);
    const std::string whole = PatternBytes(3u << 20, 21);
    drive.WriteFile("big.bin", whole);
    StartServer();
    const ReplyParts end = SplitResponse(Ranged("/c/large.bin", "bytes=-7"));
    EXPECT_TRUE(end.body == "the end") << end.body.size() << " bytes";  // never print gigabytes
    EXPECT_NE(end.head.find("\r\nContent-Range: bytes " + std::to_string(size - 7) + "-" + std::to_string(size - 1) +
                            "/" + std::to_string(size) + "\r\n"),
              std::string::npos)
        << end.head;
    const std::string first = std::to_string((3LL << 30) - 3);
    EXPECT_TRUE(SplitResponse(Ranged("/c/large.bin", "bytes=" + first + "-" + std::to_string((3LL << 30) + 2))).body ==
                "middle");
    TestDirectory client;
    const std::string target = client.WriteFile("big.bin", whole.substr(0, whole.size() / 2));
    const ProgramRun run = RunProgram({"/usr/bin/curl", "-s", "-S", "--http1.0", "--noproxy", "*", "-C", "-", "-o",
                                       target, "http://127.0.0.1:" + std::to_string(server->Port()) + "/c/big.bin"},
                                      {}, "/dev/null");
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_TRUE(ReadWholeFile(target) == whole);
}

class Access : public Serving {
protected:
    const std::string kRefusedClient = ErrorPageBytes("403 Forbidden", "Your ip address is not allowed by the server.");
    void SetUp() override {
        drive.WriteFile("root/public/a.txt", "public");
        drive.WriteFile("root/private/b.txt", "private");
        drive.WriteFile("root/publicity/c.txt", "publicity");
        drive.WriteFile("root/PUBLIC/a.txt", "another directory");
        drive.WriteFile("root/PRIVATE/b.txt", "not the private one");
        drive.WriteFile("outside.txt", "outside the drive");
        std::filesystem::create_directory_symlink(drive / "root/private", drive / "root/public/to-private");
        std::filesystem::create_directory_symlink(drive / "root/public", drive / "root/pub-link");
    }
    void StartOnRoot() {
        server = std::make_unique<ServerProcess>(settings, "C=" + drive.Path() + "/root");
        ASSERT_TRUE(server->Start()) << server->Stderr();
    }
};

TEST_F(Access, ClientListsMatchWholeAddressPartsAndRefuseEvenBadMethods) {
    const struct {
        std::int32_t option;
        const char* entry;
        bool served;
    } rows[] = {{kAccessSelective, "", false},
                {kAccessRestrictive, "127.0.0", false},
                {kAccessRestrictive, "127.0.0.10", true},
                {kAccessSelective, "127.", true},
                {kAccessSelective, "127.0.0.1", true},
                {kAccessSelective, "127.0.0.10", false}};
    for (const auto& row : rows) {
        settings.IpOption = row.option;
        settings.IpList[0].Assign(row.entry);
        settings.IpList[1].Assign(row.option == kAccessSelective && *row.entry == '\0' ? "127.0.0.1" : "");
        StartOnRoot();
        EXPECT_EQ(Get("/c/public/a.txt") == kRefusedClient, !row.served) << row.entry;
        if (!row.served) {
            EXPECT_EQ(Request("PUT /c/public/a.txt HTTP/1.0\r\n\r\n"), kRefusedClient);
            EXPECT_EQ(Request("POST /cgi-bin/x HTTP/1.0\r\nContent-Length: 3\r\n\r\nabc"), kRefusedClient);
        }
        EXPECT_EQ(server->Stop(), 0);
    }
}

// A list names directories as they lie on disk: another letter case is another directory
// on this drive, a link reaches where it points, and no spelling gets around the rule.
TEST_F(Access, DirectoryListsHoldForTheDirectoriesOnDiskHoweverAPathIsSpelt) {
    settings.DirAccessOption = kAccessSelective;
    settings.DirList[0].Assign("c:\\public");
    StartOnRoot();
    for (const char* url : {"/c/public/a.txt", "/c/public/./a.txt", "/c//public//a.txt", "/c/pub-link/a.txt"}) {
        EXPECT_EQ(Body(url), "public") << url;
    }
    for (const char* url :
         {"/c/private/b.txt", "/c/publicity/c.txt", "/c/public/../private/b.txt", "/c/public/..\\private\\b.txt",
          "/c/public/../../../outside.txt", "/c/", "/c/public%2f..%2fprivate/b.txt", "/c/c:/public/a.txt",
          "/c/PUBLIC/a.txt", "/c/PUBLIC./a.txt", "/c/public /a.txt"}) {
        EXPECT_EQ(Get(url), kRefusedDirectoryPage) << url;
    }
    for (const char* url : {"/c/public/%2e%2e/private/b.txt", "/c/public/..%5cprivate%5cb.txt"}) {
        EXPECT_EQ(Get(url), kNotFoundPage) << url;
    }
    ASSERT_EQ(server->Stop(), 0);

    settings.DirAccessOption = kAccessRestrictive;
    settings.DirList[0].Assign("c:\\private");
    StartOnRoot();
    EXPECT_EQ(Body("/c/PRIVATE/b.txt"), "not the private one");
    for (const char* url : {"/c/private/b.txt", "/c/private", "/c/x/../private/b.txt", "/c/%70rivate/b.txt",
                            "/c/public/to-private/b.txt", "/c/public/to-%70rivate/", "/c/private/none.txt"}) {
        EXPECT_EQ(Get(url), kRefusedDirectoryPage) << url;
    }
    EXPECT_EQ(Request("HEAD /c/private/b.txt HTTP/1.0\r\n\r\n"), HeaderOnlyErrorBytes("403 Forbidden"));
    for (const char* url : {"/c/../outside.txt", "/c/..\\outside.txt", "/c/%2e%2e/outside.txt", "/c/c:/outside.txt"}) {
        EXPECT_EQ(Get(url), kNotFoundPage) << url;
    }
}

// A vfat image mounted as drive D: any spelling of a refused directory is that directory.
TEST_F(Access, OnADriveThatIgnoresCaseEverySpellingIsRefused) {
    const std::string image = drive / "vfat.img";
    const std::string mountPoint = drive.MakeDirectory("d");
    if (std::system(("truncate -s 8M '" + image + "' && mkfs.vfat '" + image + "' > /dev/null 2>&1 && mount -o loop '" +
                     image + "' '" + mountPoint + "' 2> /dev/null")
                        .c_str()) != 0) {
        GTEST_SKIP() << "no vfat drive here: it needs mkfs.vfat, root and a kernel with vfat";
    }
    struct Unmount {
        std::string path;
        ~Unmount() { std::system(("umount -l '" + path + "'").c_str()); }
    } unmount{mountPoint};
    drive.WriteFile("d/private/x.txt", "private");
    drive.WriteFile("d/public/y.txt", "public");
    settings.DirAccessOption = kAccessRestrictive;
    settings.DirList[0].Assign("d:\\private");
    server = std::make_unique<ServerProcess>(settings, "C=" + drive.Path() + ";D=" + mountPoint);
    ASSERT_TRUE(server->Start()) << server->Stderr();
    for (const char* url : {"/d/private/x.txt", "/d/PRIVATE/x.txt", "/D/Private/X.TXT", "/d/%50RIVATE/x.txt"}) {
        EXPECT_EQ(Get(url), kRefusedDirectoryPage) << url;
    }
    EXPECT_EQ(Body("/d/PUBLIC/y.txt"), "public");
    EXPECT_EQ(server->Stop(), 0);
}

}  // namespace
