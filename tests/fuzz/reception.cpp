// Request reception: the pieces of the input arrive one after another on a real socket
// pair and the server takes them as it takes a client's, admitting a POST's body by its
// header part; the text helpers it builds on see every piece too.
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "config/ServerSettings.h"
#include "core/Server.h"
#include "core/TextHelpers.h"
#include "platform/DriveTable.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/TestDirectory.h"

namespace {

void CheckHelpers(std::string_view bytes) {
    const std::string_view text = AsText(bytes);
    FUZZ_CHECK(text.size() <= bytes.size() && text.find('\0') == std::string_view::npos);
    RequestMethod method = RequestMethod::Get;
    ParseMethod(bytes, method);
    UrlText url;
    const int length = ExtractUrl(bytes, url);
    if (length >= 0) {
        FUZZ_CHECK(static_cast<std::size_t>(length) == url.Length() && length > 0);
        FUZZ_CHECK(text.find(url.View()) != std::string_view::npos);
    } else {
        FUZZ_CHECK(url.Empty());
    }
    HeaderValueText value;
    if (GetHeaderValue(bytes, "Content-Type:", value) == 0) {
        FUZZ_CHECK(value.View().find_first_of(" \r\n") == std::string_view::npos);
    } else {
        FUZZ_CHECK(value.Empty());
    }
    const std::int32_t contentLength = GetContentLength(bytes);
    FUZZ_CHECK(contentLength >= -2147483647 - 1);
    ParseDecimal(bytes);
}

// A POST to a program that exists below the document root is admitted and its body
// stored; any other is answered from its header part.
bool PrepareDrive(const TestDirectory& home) {
    home.WriteFile("c/web/cgi-bin/x.sh", "#!/bin/sh\n");
    platform::SetDriveTable(platform::DriveTable({{'C', home / "c", platform::DriveType::HardDisk}}));
    SetDefaultSettings();
    Settings().RootDir.Assign("c:\\web");
    return setenv("TMPDIR", home.MakeDirectory("tmp").c_str(), 1) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    static TestDirectory home;
    static const bool once = PrepareDrive(home);
    FUZZ_CHECK(once);

    const std::vector<std::string_view> pieces = SplitPieces(AsView(data, size));
    for (const std::string_view piece : pieces) CheckHelpers(piece);

    int ends[2];
    FUZZ_CHECK(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, ends) == 0);
    const int serverEnd = ends[0];
    const int peer = ends[1];
    {
        Server server;
        FUZZ_CHECK(server.AddConnection(std::make_unique<Connection>(platform::Socket(serverEnd), "127.0.0.1", 0)));
        std::size_t sent = 0;
        for (const std::string_view piece : pieces) {
            if (piece.empty()) continue;
            // Many small pieces the server no longer reads fill the socket: the client stops there.
            const ssize_t written = send(peer, piece.data(), piece.size(), MSG_NOSIGNAL);
            if (written <= 0) break;
            sent += static_cast<std::size_t>(written);
            for (std::size_t read = 0; read < piece.size() + 4096; read += 4096) {
                server.OnReadable(serverEnd);
                Connection* taken = server.FindConnection(serverEnd);
                // A POST's whole header part is stepped once: admitted, or answered and let go.
                if (taken != nullptr && taken->method == RequestMethod::Post &&
                    taken->state == ConnectionState::RequestReceived && taken->response.kind == ResponseKind::None) {
                    server.StepConnection(*taken, StepCause::Pass);
                }
            }
        }
        const Connection* connection = server.FindConnection(serverEnd);
        if (connection == nullptr || connection->state == ConnectionState::DrainingBody) {
            std::array<char, 16> answer{};
            FUZZ_CHECK(read(peer, answer.data(), answer.size()) > 9);
            FUZZ_CHECK(std::string_view(answer.data(), 9) == "HTTP/1.0 ");
            FUZZ_CHECK(TestDirectory::List(home / "tmp").empty());
            close(peer);
            return 0;
        }
        // Once a request is whole (or refused), further bytes are left unread.
        FUZZ_CHECK(connection->bytesReceived <= sent);
        FUZZ_CHECK(connection->request.Length() < kRequestCapacity);
        FUZZ_CHECK(connection->bodyReceived >= 0);
        if (connection->state == ConnectionState::ReceivingBody) {
            FUZZ_CHECK(connection->bodyReceived <= std::max(connection->contentLength, 0));
            // The body file holds exactly the body taken so far unless an error page replaced it.
            if (connection->cgiRun) {
                const auto written = std::filesystem::file_size(std::string(connection->cgiRun->bodyFileName.Name()));
                FUZZ_CHECK(written == static_cast<std::uintmax_t>(connection->bodyReceived));
            }
        }
        // A GET or HEAD is its first block (what one read takes), as text.
        if (connection->method != RequestMethod::Post && connection->state == ConnectionState::RequestReceived &&
            connection->response.kind == ResponseKind::None) {
            std::string_view first;
            for (const std::string_view piece : pieces) {
                if (!piece.empty()) {
                    first = piece.substr(0, 4096);
                    break;
                }
            }
            FUZZ_CHECK(connection->request.View() == AsText(first).substr(0, kRequestCapacity - 1));
        }
    }
    close(peer);
    // The connection took its body file with it.
    FUZZ_CHECK(TestDirectory::List(home / "tmp").empty());
    return 0;
}
