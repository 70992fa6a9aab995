// Client and directory access lists, and paths that try to leave the drive or to
// get around a directory rule.
#include "tests/support/ServerFixture.h"

namespace {

class Access : public ServerFixture {
protected:
    const std::string kRefusedDirectory = ErrorPageBytes("403 Forbidden", "This directory is not allowed for access.");
    const std::string kRefusedClient = ErrorPageBytes("403 Forbidden", "Your ip address is not allowed by the server.");
    const std::string kNotFound = ErrorPageBytes("404 Not Found", "File or directory not found.");

    void FillDrive() {
        drive.WriteFile("root/public/a.txt", "public");
        drive.WriteFile("root/private/b.txt", "private");
        drive.WriteFile("root/publicity/c.txt", "publicity");
        drive.WriteFile("outside.txt", "outside the drive");
    }
    void StartOnRoot() {
        server = std::make_unique<ServerProcess>(settings, "C=" + drive.Path() + "/root");
        ASSERT_TRUE(server->Start()) << server->Stderr();
    }
};

TEST_F(Access, SelectiveClientListWithoutEntriesRefusesEveryoneEvenBadMethods) {
    settings.IpOption = kAccessSelective;
    settings.IpList[1].Assign("127.0.0.1");  // behind an empty first entry: never consulted
    FillDrive();
    StartOnRoot();
    EXPECT_EQ(Get("/c/public/a.txt"), kRefusedClient);
    EXPECT_EQ(Request("PUT /c/public/a.txt HTTP/1.0\r\n\r\n"), kRefusedClient);
    EXPECT_EQ(Request("POST /cgi-bin/x HTTP/1.0\r\nContent-Length: 3\r\n\r\nabc"), kRefusedClient);
}

TEST_F(Access, ClientListMatchesWholeAddressParts) {
    FillDrive();
    settings.IpOption = kAccessRestrictive;
    settings.IpList[0].Assign("127.0.0");
    StartOnRoot();
    EXPECT_EQ(Get("/c/public/a.txt"), kRefusedClient);
    server->Stop();

    settings.IpList[0].Assign("127.0.0.10");
    StartOnRoot();
    EXPECT_EQ(SplitResponse(Get("/c/public/a.txt")).body, "public");
    server->Stop();

    settings.IpOption = kAccessSelective;
    settings.IpList[0].Assign("127.");
    StartOnRoot();
    EXPECT_EQ(SplitResponse(Get("/c/public/a.txt")).body, "public");
}

TEST_F(Access, SelectiveDirectoryListCannotBeWalkedAround) {
    FillDrive();
    settings.DirAccessOption = kAccessSelective;
    settings.DirList[0].Assign("C:\\Public");
    StartOnRoot();
    EXPECT_EQ(SplitResponse(Get("/c/public/a.txt")).body, "public");
    EXPECT_EQ(SplitResponse(Get("/c/public/./a.txt")).body, "public");
    EXPECT_EQ(SplitResponse(Get("/c//public//a.txt")).body, "public");
    const char* refused[] = {
        "/c/private/b.txt",
        "/c/publicity/c.txt",
        "/c/public/../private/b.txt",
        "/c/public/..\\private\\b.txt",
        "/c/public\\..\\private/b.txt",
        "/c/public/../../private/b.txt",
        "/c/",
        "/c",
        "/c/public/../../../outside.txt",
        "/c/public%2f..%2fprivate/b.txt",
        "/c/c:/public/a.txt",
        "/c/PUBLIC./a.txt",
        "/c/public /a.txt",
    };
    for (const char* url : refused) EXPECT_EQ(Get(url), kRefusedDirectory) << url;
    // Inside the listed directory as written, but escaped dots and slashes and a drive
    // letter in the middle are no way up: they name nothing.
    const char* nothing[] = {
        "/c/public/%2e%2e/private/b.txt",
        "/c/public/..%5cprivate%5cb.txt",
        "/c/public/c:/private/b.txt",
    };
    for (const char* url : nothing) EXPECT_EQ(Get(url), kNotFound) << url;
}

TEST_F(Access, RestrictiveDirectoryListCannotBeWalkedAround) {
    FillDrive();
    settings.DirAccessOption = kAccessRestrictive;
    settings.DirList[0].Assign("c:\\private");
    StartOnRoot();
    EXPECT_EQ(SplitResponse(Get("/c/public/a.txt")).body, "public");
    const char* refused[] = {
        "/c/private/b.txt",      "/c/private",
        "/c/./private/b.txt",    "/c//private/b.txt",
        "/c/x/../private/b.txt", "/c/public/..\\private\\b.txt",
        "/c/../private/b.txt",   "/c/%70rivate/b.txt",
        "/c/PRIVATE/b.txt",
    };
    for (const char* url : refused) EXPECT_EQ(Get(url), kRefusedDirectory) << url;
    EXPECT_EQ(Get("/c/x/%2e%2e/private/b.txt"), kNotFound);
    EXPECT_EQ(Request("HEAD /c/private/b.txt HTTP/1.0\r\n\r\n"), HeaderOnlyErrorBytes("403 Forbidden"));
}

TEST_F(Access, NoPathReachesAFileOutsideItsDrive) {
    FillDrive();
    StartOnRoot();
    const char* attempts[] = {
        "/c/../outside.txt",
        "/c/..\\outside.txt",
        "/c/public/../../outside.txt",
        "/c/%2e%2e/outside.txt",
        "/c/c:/outside.txt",
        "/c/"
        "/../outside.txt",
    };
    for (const char* url : attempts) EXPECT_EQ(Get(url), kNotFound) << url;
    // A drive letter in the middle is only a name.
    drive.WriteFile("root/d:/x.txt", "a name with a colon");
    EXPECT_EQ(SplitResponse(Get("/c/d:/x.txt")).body, "a name with a colon");
}

}  // namespace
