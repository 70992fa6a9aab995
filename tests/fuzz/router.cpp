// The router's URL mapping and both access checks over a real drive C with a public, a private and a web
// part, and a file beside it no URL may reach. The first byte picks the settings, the rest follows "GET ".
#include <algorithm>
#include <string>

#include "platform/HostInfo.h"
#include "request/AccessControl.h"
#include "request/DrivePath.h"
#include "request/Router.h"
#include "tests/fuzz/FuzzSupport.h"

static std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = c >= 'A' && c <= 'Z' ? char(c + 32) : c;
    return lower;
}

// The drive letter in any case, the names exactly as this drive spells them.
static bool Inside(std::string_view path, std::string_view directory) {
    const std::string spelt =
        Lower(path.substr(0, 2)) + std::string(path.substr(std::min<std::size_t>(2, path.size())));
    return spelt == directory || spelt.starts_with(std::string(directory) + "\\");
}

// Lexical normalizing ends in a fixed point with nothing left to climb with.
static void CheckNormalizing(std::string_view text) {
    std::string once;
    if (NormalizeDrivePath(text, once) != DrivePathResult::Normalized) return;
    std::string twice;
    FUZZ_CHECK(NormalizeDrivePath(once, twice) == DrivePathResult::Normalized && twice == once);
    FUZZ_CHECK(once.find("\\..\\") == std::string::npos && !once.ends_with("\\..") && !once.ends_with("\\."));
    FUZZ_CHECK(once.find("\\\\") == std::string::npos && once.find("\\.\\") == std::string::npos);
    PathText bounded;
    const DrivePathResult outcome = NormalizeDrivePath(text, bounded);
    FUZZ_CHECK(outcome == (once.size() < kPathCapacity ? DrivePathResult::Normalized : DrivePathResult::TooLong));
    FUZZ_CHECK(outcome != DrivePathResult::Normalized || bounded.View() == once);
}

// Selective and Restrictive over the same lists disagree on every path and address, and a
// directory entry in another letter case is another directory on this drive, which does not exist.
static void CheckAccessLists(std::string_view text) {
    ServerSettings settings;
    settings.DirList[0].Assign("c:\\pub");
    settings.DirList[1].Assign("C:\\web\\");
    settings.IpList[0].Assign("127.0.0");
    settings.IpList[1].Assign("10.");
    int answers[3][2];
    for (const int option : {kAccessAll, kAccessSelective, kAccessRestrictive}) {
        settings.DirAccessOption = settings.IpOption = option;
        answers[option][0] = CheckDirectoryAccess(settings, text);
        answers[option][1] = CheckClientAddress(settings, text);
    }
    FUZZ_CHECK(answers[kAccessAll][0] == 0 && answers[kAccessSelective][0] != answers[kAccessRestrictive][0]);
    FUZZ_CHECK(text.size() + 1 >= kIpEntryCapacity || answers[kAccessSelective][1] != answers[kAccessRestrictive][1]);
    settings.DirAccessOption = kAccessSelective;
    settings.DirList[0].Assign("c:\\PUB");
    settings.DirList[1].Assign("c:\\Web");
    FUZZ_CHECK(CheckDirectoryAccess(settings, text) != 0);
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    static const TestDirectory& home = Home([](const TestDirectory& home) {
        for (const char* name : {"pub/x.txt", "pub/sub/y.txt", "pub/my report.txt", "priv/secret.txt", "priv/index.htm",
                                 "web/index.htm", "web/a.txt"}) {
            home.WriteFile(std::string("c/") + name, name);
        }
        home.WriteFile("outside.txt", "beside the drive");
    });
    if (size == 0) return 0;
    const unsigned char choice = data[0];
    const std::string_view rest = AsView(data + 1, size - 1);
    CheckNormalizing(rest);
    CheckAccessLists(rest);

    SetDefaultSettings();
    ServerSettings& settings = Settings();
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
    {
        Connection connection(platform::Socket(), "127.0.0.1", 0);
        connection.method = choice & 0x80 ? RequestMethod::Head : RequestMethod::Get;
        connection.request.Assign((choice & 0x80 ? "HEAD " : "GET ") + std::string(rest));
        FUZZ_CHECK(RouteRequest(connection) == Routing::Answered);
        FUZZ_CHECK(!connection.cgiRun || !connection.cgiRun->process.Started());
        const Response& response = connection.response;
        const std::string_view answer = response.kind == ResponseKind::File ? response.file : response.text.View();
        const std::string executable = platform::ExecutablePath();
        const std::string images = executable.substr(0, executable.rfind('/') + 1) + "images/";
        if (response.kind == ResponseKind::File && answer.starts_with(images)) {
            // A built-in image: one name, nothing below or above.
            FUZZ_CHECK(answer.substr(images.size()).find('/') == std::string_view::npos && answer.ends_with(".gif"));
        } else if (response.kind == ResponseKind::File) {
            // A file to send: a normalized drive path inside the drive, within the rules.
            std::string normalized;
            FUZZ_CHECK(NormalizeDrivePath(answer, normalized) == DrivePathResult::Normalized);
            FUZZ_CHECK(Lower(normalized) == Lower(answer));
            const std::optional<std::string> host = platform::TheDriveTable().MapToHost(answer);
            FUZZ_CHECK(host && host->starts_with(home / "c"));
            FUZZ_CHECK(settings.DirAccessOption != kAccessSelective || Inside(answer, "c:\\pub"));
            FUZZ_CHECK(settings.DirAccessOption != kAccessRestrictive || !Inside(answer, "c:\\priv"));
        }
    }
    FUZZ_CHECK(NoTemporaryFiles(home));
    return 0;
}
