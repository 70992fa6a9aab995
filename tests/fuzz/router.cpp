// The router's URL mapping and both access checks over a real drive: drive C is a
// directory with a public, a private and a web part, and a file beside it that no URL
// may reach. The first byte picks the settings, the rest follows "GET ".
#include <algorithm>
#include <cstdlib>
#include <string>

#include "platform/DriveTable.h"
#include "platform/HostInfo.h"
#include "request/AccessControl.h"
#include "request/DrivePath.h"
#include "request/Router.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/TestDirectory.h"

namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    return lower;
}

// The drive letter in any case, the names exactly as this drive spells them.
bool Inside(std::string_view path, std::string_view directory) {
    const std::string spelt =
        Lower(path.substr(0, 2)) + std::string(path.substr(std::min<std::size_t>(2, path.size())));
    return spelt == directory || spelt.starts_with(std::string(directory) + "\\");
}

std::string BesideExecutable(std::string_view name) {
    const std::string executable = platform::ExecutablePath();
    return executable.substr(0, executable.rfind('/') + 1) + std::string(name);
}

void PrepareDrive(const TestDirectory& home) {
    home.WriteFile("c/pub/x.txt", "public");
    home.WriteFile("c/pub/sub/y.txt", "public below");
    home.WriteFile("c/pub/my report.txt", "blank");
    home.WriteFile("c/priv/secret.txt", "private");
    home.WriteFile("c/priv/index.htm", "private index");
    home.WriteFile("c/web/index.htm", "web index");
    home.WriteFile("c/web/a.txt", "web");
    home.WriteFile("outside.txt", "beside the drive");
    platform::SetDriveTable(platform::DriveTable::Parse("C=" + home.Path() + "/c").value());
}

// Lexical normalizing ends in a fixed point with nothing left to climb with.
void CheckNormalizing(std::string_view text) {
    std::string once;
    if (NormalizeDrivePath(text, once) != DrivePathResult::Normalized) return;
    std::string twice;
    FUZZ_CHECK(NormalizeDrivePath(once, twice) == DrivePathResult::Normalized && twice == once);
    FUZZ_CHECK(once.find("\\..\\") == std::string::npos && !once.ends_with("\\..") && !once.ends_with("\\."));
    FUZZ_CHECK(once.find("\\\\") == std::string::npos && once.find("\\.\\") == std::string::npos);
    PathText bounded;
    const DrivePathResult outcome = NormalizeDrivePath(text, bounded);
    FUZZ_CHECK(outcome == (once.size() < kPathCapacity ? DrivePathResult::Normalized : DrivePathResult::TooLong));
    if (outcome == DrivePathResult::Normalized) FUZZ_CHECK(bounded.View() == once);
}

// Selective and Restrictive over the same list disagree on every path, and a list
// entry in another letter case is another directory on this drive, which does not exist.
void CheckDirectoryLists(std::string_view path) {
    ServerSettings settings;
    settings.DirList[0].Assign("c:\\pub");
    settings.DirList[1].Assign("C:\\web\\");
    settings.DirAccessOption = kAccessSelective;
    const int selective = CheckDirectoryAccess(settings, path);
    settings.DirAccessOption = kAccessRestrictive;
    const int restrictive = CheckDirectoryAccess(settings, path);
    FUZZ_CHECK(selective != restrictive);
    settings.DirAccessOption = kAccessAll;
    FUZZ_CHECK(CheckDirectoryAccess(settings, path) == 0);
    settings.DirAccessOption = kAccessSelective;
    settings.DirList[0].Assign("c:\\PUB");
    settings.DirList[1].Assign("c:\\Web");
    FUZZ_CHECK(CheckDirectoryAccess(settings, path) != 0);
}

void CheckClientList(std::string_view address) {
    ServerSettings settings;
    settings.IpList[0].Assign("127.0.0");
    settings.IpList[1].Assign("10.");
    settings.IpOption = kAccessSelective;
    const int selective = CheckClientAddress(settings, address);
    settings.IpOption = kAccessRestrictive;
    const int restrictive = CheckClientAddress(settings, address);
    if (address.size() + 1 < kIpEntryCapacity) FUZZ_CHECK(selective != restrictive);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    static TestDirectory home;
    static const bool once = [] {
        PrepareDrive(home);
        return setenv("TMPDIR", home.MakeDirectory("tmp").c_str(), 1) == 0;
    }();
    FUZZ_CHECK(once);
    if (size == 0) return 0;
    const unsigned char choice = data[0];
    const std::string_view rest = AsView(data + 1, size - 1);

    CheckNormalizing(rest);
    CheckDirectoryLists(rest);
    CheckClientList(rest);

    SetDefaultSettings();
    ServerSettings& settings = Settings();
    settings.Port = 8080;
    settings.DirAccessOption = choice % 3;
    if (settings.DirAccessOption == kAccessSelective) settings.DirList[0].Assign("c:\\pub");
    if (settings.DirAccessOption == kAccessRestrictive) settings.DirList[0].Assign("C:\\priv\\");
    settings.DirOption = (choice / 3) % 4;
    settings.DirFile.Assign("index.htm");
    settings.RootOption = (choice / 12) % 3;
    settings.RootFile.Assign("c:\\web\\index.htm");
    // No CGI directory exists below the root: no program may ever start.
    settings.RootDir.Assign("c:\\web");
    settings.UploadOn = (choice / 36) % 2;

    const std::string request = (choice & 0x80 ? "HEAD " : "GET ") + std::string(rest);
    {
        Connection connection(platform::Socket(), "127.0.0.1", 0);
        connection.method = choice & 0x80 ? RequestMethod::Head : RequestMethod::Get;
        connection.request.Assign(request);
        FUZZ_CHECK(RouteRequest(connection) == Routing::Answered);
        FUZZ_CHECK(!connection.cgiRun || !connection.cgiRun->process.Started());
        const Response& response = connection.response;
        const std::string_view answer =
            response.kind == ResponseKind::File ? std::string_view(response.file) : response.text.View();
        const std::string images = BesideExecutable("images/");
        if (response.kind == ResponseKind::File && answer.starts_with(images)) {
            // A built-in image: one name, nothing below or above.
            FUZZ_CHECK(answer.substr(images.size()).find('/') == std::string_view::npos);
            FUZZ_CHECK(answer.ends_with(".gif"));
        } else if (response.kind == ResponseKind::File) {
            // A file to send: a normalized drive path inside the drive, within the rules.
            std::string normalized;
            FUZZ_CHECK(NormalizeDrivePath(answer, normalized) == DrivePathResult::Normalized);
            FUZZ_CHECK(Lower(normalized) == Lower(answer));
            const std::optional<std::string> host = platform::TheDriveTable().MapToHost(answer);
            FUZZ_CHECK(host && host->starts_with(home.Path() + "/c"));
            if (settings.DirAccessOption == kAccessSelective) FUZZ_CHECK(Inside(answer, "c:\\pub"));
            if (settings.DirAccessOption == kAccessRestrictive) FUZZ_CHECK(!Inside(answer, "c:\\priv"));
        }
        if (answer.starts_with("HTTP/1.0 302")) {
            // Nothing from the request may end the Location line early or add a header.
            const std::size_t location = answer.find("\r\nLocation: ");
            FUZZ_CHECK(location != std::string_view::npos);
            const std::size_t end = answer.find("\r\n", location + 2);
            FUZZ_CHECK(answer.substr(location + 2, end - location - 2).find_first_of("\r\n") == std::string_view::npos);
        }
    }
    FUZZ_CHECK(TestDirectory::List(home / "tmp").empty());
    return 0;
}
