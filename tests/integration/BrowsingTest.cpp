// Walking the drives through the real server: the drive index, listings, wildcards,
// index files, and links to names that are unsafe in a URL.
#include <filesystem>
#include <string>
#include <vector>

#include <regex>

#include "tests/support/ServerFixture.h"

namespace {

class Browsing : public ServerFixture {
protected:
    void FillDocs() {
        for (const char* name : {"docs/a.txt", "docs/my report.txt", "docs/caf\xc3\xa9 dir/x<y&z.txt", "docs/b.htm"}) {
            drive.WriteFile(name, std::string("bytes of ") + name);
        }
    }

    // The href of the link whose text is `name`, as the page writes it.
    static std::string LinkTo(const std::string& page, const std::string& name) {
        const std::size_t text = page.find("\">" + name + "</a>");
        if (text == std::string::npos) return {};
        const std::size_t start = page.rfind("href=\"", text) + 6;
        return page.substr(start, text - start);
    }

    void ExpectListingPage(const std::string& url) {
        const Response response = SplitResponse(Get(url));
        EXPECT_TRUE(IsSuccessHeader(response.head, "text/html")) << url << ": " << response.head;
        EXPECT_TRUE(response.body.starts_with("<html><head><title>Pellora Index for ")) << url;
        EXPECT_TRUE(response.body.ends_with("</PRE><br></body></html>")) << url;
    }
};

TEST_F(Browsing, LinksToNamesWithBlanksMarkupAndNonAsciiBytesLeadToTheirFiles) {
    FillDocs();
    StartServer();
    const Response listing = SplitResponse(Get("/c/docs/"));
    EXPECT_TRUE(IsSuccessHeader(listing.head, "text/html")) << listing.head;
    const std::string& docs = listing.body;
    const std::string report = LinkTo(docs, "my report.txt");
    EXPECT_EQ(report, "/c/docs/my%20report.txt");
    EXPECT_EQ(SplitResponse(Get(report)).body, "bytes of docs/my report.txt");

    const std::string directory = LinkTo(docs, "caf&#233; dir/");
    ASSERT_EQ(directory, "/c/docs/caf%C3%A9%20dir/");
    const std::string inner = SplitResponse(Get(directory)).body;
    EXPECT_NE(inner.find("<title>Pellora Index for c:\\docs\\caf&#233; dir</title>"), std::string::npos) << inner;
    const std::string file = LinkTo(inner, "x&lt;y&amp;z.txt");
    EXPECT_EQ(file, "/c/docs/caf%C3%A9%20dir/x%3Cy%26z.txt");
    EXPECT_EQ(SplitResponse(Get(file)).body, "bytes of docs/caf\xc3\xa9 dir/x<y&z.txt");
    EXPECT_EQ(LinkTo(inner, "../"), "/c/docs/caf%C3%A9%20dir/../");
    EXPECT_TRUE(SplitResponse(Get(LinkTo(inner, "../")))
                    .body.starts_with("<html><head><title>Pellora Index for c:\\docs</title>"));
}

// Every link reaches the entry it was made for, whatever names stand beside it: a
// file may be literally named like another's link, and anyone who may upload can make one.
TEST_F(Browsing, EveryLinkReachesTheEntryItWasMadeForWhateverStandsBesideIt) {
    const std::vector<std::string> names = {"a b.txt", "a%20b.txt", "a%2520b.txt",     "100%.txt",
                                            "%41.txt", "A.txt",     "back\\slash.txt", "star*.txt"};
    for (const std::string& name : names) drive.WriteFile("mixed/" + name, "file " + name);
    for (const std::string directory : {"d b", "d%20b", "back\\slash dir"}) {
        drive.WriteFile("mixed/" + directory + "/in.txt", "in " + directory);
    }
    settings.RootDir.Assign("c:\\mixed");
    for (const std::int32_t useTable : {0, 1}) {
        SCOPED_TRACE(useTable);
        settings.UseTable = useTable;
        StartServer();
        const std::string page = SplitResponse(Get("/c/mixed/")).body;
        for (const std::string& name : names) {
            const std::string link = LinkTo(page, name);
            ASSERT_NE(link, "") << name;
            EXPECT_EQ(SplitResponse(Get(link)).body, "file " + name) << link;
        }
        for (const std::string directory : {"d b", "d%20b", "back\\slash dir"}) {
            const std::string inner = SplitResponse(Get(LinkTo(page, directory + "/"))).body;
            EXPECT_EQ(SplitResponse(Get(LinkTo(inner, "in.txt"))).body, "in " + directory) << directory;
        }
        EXPECT_EQ(server->Stop(), 0);
    }
    // A name as it is sent still finds its file, and a redirect keeps what it names.
    StartServer();
    EXPECT_EQ(SplitResponse(Get("/c/mixed/only%20sent%20encoded.txt")).head.substr(9, 3), "404");
    EXPECT_EQ(SplitResponse(Get("/c/mixed/100%.txt")).body, "file 100%.txt");
    const std::string redirect = Get("/a%2520b.txt");
    const std::size_t location = redirect.find("Location: http://");
    ASSERT_NE(location, std::string::npos) << redirect;
    const std::size_t path = redirect.find("/c/", location);
    const std::string target = redirect.substr(path, redirect.find("\r\n", path) - path);
    EXPECT_EQ(target, "/c/mixed/a%2520b.txt");
    EXPECT_EQ(SplitResponse(Get(target)).body, "file a%20b.txt");
}

// Blanks of a request line that is not as it should be never reach the Location line raw.
TEST_F(Browsing, ARedirectCarriesNoRawBlank) {
    settings.RootDir.Assign("c:\\web");
    drive.WriteFile("web /x ", "odd");
    StartServer();
    const std::string head = SplitResponse(Request("GET  /x  HTTP/1.0\r\nHost: example.org\r\n\r\n")).head;
    const std::string port = std::to_string(server->Port());
    EXPECT_NE(head.find("\r\nLocation: http://example.org:" + port + "/c/web%20/x%20\r\n"), std::string::npos) << head;
    EXPECT_EQ(SplitResponse(Get("/c/web%20/x%20")).body, "odd");
}

TEST_F(Browsing, DirectoryListsSeeTheNamesThatShortNamesStandFor) {
    drive.WriteFile("private dir/secret.txt", "secret");
    drive.WriteFile("public/a.txt", "a");
    settings.DirAccessOption = kAccessRestrictive;
    settings.DirList[0].Assign("c:\\private dir");
    StartServer();
    const std::string refused = ErrorPageBytes("403 Forbidden", "This directory is not allowed for access.");
    EXPECT_EQ(Get("/c/private%20dir/secret.txt"), refused);
    EXPECT_EQ(Get("/c/private%20dir/"), refused);
    EXPECT_EQ(Get("/c/private%20dir/*"), refused);
    EXPECT_EQ(SplitResponse(Get("/c/public/a.txt")).body, "a");
}

TEST_F(Browsing, WildcardListsOnlyTheMatchingEntries) {
    FillDocs();
    StartServer();
    const std::string page = SplitResponse(Get("/c/docs/*.TXT")).body;
    EXPECT_NE(page.find("<title>Pellora Index for c:\\docs\\*.TXT</title>"), std::string::npos) << page;
    EXPECT_NE(LinkTo(page, "a.txt"), "");
    EXPECT_NE(LinkTo(page, "my report.txt"), "");
    EXPECT_EQ(LinkTo(page, "b.htm"), "");
    EXPECT_EQ(LinkTo(page, "../"), "");
    EXPECT_TRUE(page.ends_with("</PRE><br></body></html>"));

    const std::string byShortName = SplitResponse(Get("/c/docs/my%20*")).body;
    EXPECT_EQ(LinkTo(byShortName, "my report.txt"), "/c/docs/my%20report.txt") << byShortName;

    const std::string none = SplitResponse(Get("/c/docs/*.none")).body;
    EXPECT_TRUE(none.ends_with("Home                     \r\n")) << none;
}

TEST_F(Browsing, EveryDirectoryOptionAnswersWithTheIndexFileTheListingOrAnError) {
    drive.WriteFile("with/index.htm", "<p>index</p>");
    drive.MakeDirectory("without");
    drive.MakeDirectory("dir-named/index.htm");
    enum class Answer { Listing, Index, MissingIndex, Refused };
    struct Row {
        const char* name;
        std::int32_t option;
        const char* dirFile;
        const char* url;
        Answer answer;
    };
    const Row rows[] = {
        {"listing even with an index", kDirListing, "index.htm", "/c/with/", Answer::Listing},
        {"index when present", kDirIndexElseListing, "index.htm", "/c/with/", Answer::Index},
        {"listing when absent", kDirIndexElseListing, "index.htm", "/c/without/", Answer::Listing},
        {"a directory is no index", kDirIndexElseListing, "index.htm", "/c/dir-named/", Answer::Listing},
        {"index or error, present", kDirIndexElseError, "index.htm", "/c/with", Answer::Index},
        {"index or error, absent", kDirIndexElseError, "index.htm", "/c/without/", Answer::MissingIndex},
        {"index or error, no name", kDirIndexElseError, "", "/c/with/", Answer::MissingIndex},
        {"always an error", kDirError, "index.htm", "/c/with/", Answer::Refused},
    };
    for (const Row& row : rows) {
        settings.DirOption = row.option;
        settings.DirFile.Assign(row.dirFile);
        StartServer();
        switch (row.answer) {
            case Answer::Listing:
                ExpectListingPage(row.url);
                break;
            case Answer::Index:
                EXPECT_EQ(SplitResponse(Get(row.url)).body, "<p>index</p>") << row.name;
                break;
            case Answer::MissingIndex:
                EXPECT_EQ(Get(row.url), ErrorPageBytes("404 Not Found", "The index file can not be found."))
                    << row.name;
                break;
            case Answer::Refused:
                EXPECT_EQ(Get(row.url), ErrorPageBytes("404 Not Found",
                                                       "Pellora is configured to display an error "
                                                       "for requests to directories."))
                    << row.name;
                EXPECT_EQ(Request(std::string("HEAD ") + row.url + " HTTP/1.0\r\n\r\n"),
                          HeaderOnlyErrorBytes("404 Not Found"));
                break;
        }
        EXPECT_EQ(server->Stop(), 0) << row.name;
        EXPECT_TRUE(server->TemporaryFiles().empty()) << row.name;
        server.reset();
    }
}

TEST_F(Browsing, HeadOfAGeneratedPageSendsTheHeaderAndLeavesNoFile) {
    FillDocs();
    StartServer();
    for (const char* url : {"/", "/c/docs/", "/c/docs/*.txt"}) {
        const std::string head = Request(std::string("HEAD ") + url + " HTTP/1.0\r\n\r\n");
        EXPECT_TRUE(IsSuccessHeader(head, "text/html")) << url << ": " << head;
        EXPECT_TRUE(server->TemporaryFiles().empty()) << url;
    }
}

TEST_F(Browsing, RootGivesTheDriveIndexWithEveryKindOfDrive) {
    drive.MakeDirectory("c");
    server = std::make_unique<ServerProcess>(settings, "A=removable:" + drive.Path() + ";C=" + drive.Path() +
                                                           "/c;D=cdrom:" + drive.Path() + ";N=network:" + drive.Path() +
                                                           ";Q=" + drive.Path() + "/unplugged");
    ASSERT_TRUE(server->Start()) << server->Stderr();
    const Response response = SplitResponse(Get("/"));
    EXPECT_TRUE(IsSuccessHeader(response.head, "text/html")) << response.head;
    const std::regex page(
        "<html><head><title>Pellora Index for ([^<]+)</title></head><body>\r\n<h2>Pellora index for \\1:</h2>\r\n"
        "<PRE>             Drive Type       Capacity    Free Space\r\n"
        "<a href=A/><b>A:\\\\</b></a>              Floppy\r\n"
        "<a href=C/><b>C:\\\\</b></a>           Hard Disk {0,12}[0-9]{1,12} [KM]B    [0-9]+ [KM]B\r\n"
        "<a href=D/><b>D:\\\\</b></a>              CD-ROM\r\n"
        "<a href=N/><b>N:\\\\</b></a>             Network\r\n"
        "<a href=Q/><b>Q:\\\\</b></a>      <i>unknown</i>\r\n"
        "<br><br></PRE></body></html>");
    EXPECT_TRUE(std::regex_match(response.body, page)) << response.body;
    // The relative drive link from "/" leads into the drive.
    EXPECT_TRUE(SplitResponse(Get("/C/")).body.starts_with("<html><head><title>Pellora Index for C:</title>"));
}

TEST_F(Browsing, PagesThatCannotBeMadeGetTheTemporaryFileError) {
    FillDocs();
    StartServer();
    std::filesystem::remove_all(server->TempDirectory());
    const std::string failed =
        ErrorPageBytes("500 Internal Server Error", "The server wasn't able to create tmp file.");
    EXPECT_EQ(Get("/"), failed);
    EXPECT_EQ(Get("/c/docs/"), failed);
    EXPECT_EQ(Get("/c/docs/*.txt"), failed);
    EXPECT_EQ(Request("HEAD /c/docs/ HTTP/1.0\r\n\r\n"), HeaderOnlyErrorBytes("500 Internal Server Error"));
    EXPECT_EQ(SplitResponse(Get("/c/docs/a.txt")).body, "bytes of docs/a.txt");
}

}  // namespace
