// Client and directory access lists, and paths that try to leave the drive or to
// get around a directory rule.
#include <cstdlib>
#include <filesystem>

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
    settings.DirList[0].Assign("C:\\public");
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
    };
    for (const char* url : refused) EXPECT_EQ(Get(url), kRefusedDirectory) << url;
    EXPECT_EQ(Get("/c/x/%2e%2e/private/b.txt"), kNotFound);
    EXPECT_EQ(Request("HEAD /c/private/b.txt HTTP/1.0\r\n\r\n"), HeaderOnlyErrorBytes("403 Forbidden"));
}

// A list names directories as they lie on disk: on a drive that tells letter case
// apart another spelling is another directory, and a link reaches where it points.
TEST_F(Access, DirectoryListsHoldForTheDirectoriesOnDisk) {
    FillDrive();
    drive.WriteFile("root/PUBLIC/a.txt", "another directory");
    drive.WriteFile("root/PRIVATE/b.txt", "not the private one");
    std::filesystem::create_directory_symlink(drive / "root/private", drive / "root/public/to-private");
    std::filesystem::create_directory_symlink(drive / "root/public", drive / "root/pub-link");
    settings.DirAccessOption = kAccessSelective;
    settings.DirList[0].Assign("c:\\public");
    StartOnRoot();
    EXPECT_EQ(Get("/c/PUBLIC/a.txt"), kRefusedDirectory);
    EXPECT_EQ(SplitResponse(Get("/c/pub-link/a.txt")).body, "public");
    ASSERT_EQ(server->Stop(), 0);

    settings.DirAccessOption = kAccessRestrictive;
    settings.DirList[0].Assign("c:\\private");
    StartOnRoot();
    EXPECT_EQ(SplitResponse(Get("/c/PRIVATE/b.txt")).body, "not the private one");
    EXPECT_EQ(Get("/c/public/to-private/b.txt"), kRefusedDirectory);
    EXPECT_EQ(Get("/c/public/to-private/"), kRefusedDirectory);
    EXPECT_EQ(Get("/c/public/to-%70rivate/b.txt"), kRefusedDirectory);
}

// A vfat image mounted as drive D: any spelling of a listed directory is that directory.
TEST_F(Access, OnADriveThatIgnoresCaseEverySpellingIsRefused) {
    const std::string image = drive / "vfat.img";
    const std::string mountPoint = drive.MakeDirectory("d");
    const std::string make = "truncate -s 8M '" + image + "' && mkfs.vfat '" + image + "' > /dev/null 2>&1";
    if (std::system(make.c_str()) != 0 ||
        std::system(("mount -o loop '" + image + "' '" + mountPoint + "' 2> /dev/null").c_str()) != 0) {
        GTEST_SKIP() << "no vfat drive here: making or mounting a vfat image needs mkfs.vfat, root and a kernel "
                        "with vfat";
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
        EXPECT_EQ(Get(url), kRefusedDirectory) << url;
    }
    EXPECT_EQ(SplitResponse(Get("/d/PUBLIC/y.txt")).body, "public");
    EXPECT_EQ(server->Stop(), 0);
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
