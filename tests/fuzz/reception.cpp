// Request reception: the input's pieces arrive in turn on a real socket pair and the server takes them as
// a client's, admitting a POST's body by its header part; the text helpers it builds on see every piece.
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <memory>
#include <string>

#include "config/ServerSettings.h"
#include "core/Server.h"
#include "core/TextHelpers.h"
#include "tests/fuzz/FuzzSupport.h"

static void CheckHelpers(std::string_view bytes) {
    const std::string_view text = AsText(bytes);
    FUZZ_CHECK(text.size() <= bytes.size() && text.find('\0') == std::string_view::npos);
    UrlText url;
    const int length = ExtractUrl(bytes, url);
    FUZZ_CHECK(length < 0 ? url.Empty() : length > 0 && static_cast<std::size_t>(length) == url.Length());
    FUZZ_CHECK(length < 0 || text.find(url.View()) != std::string_view::npos);
    HeaderValueText value;
    const bool found = GetHeaderValue(bytes, "Content-Type:", value) == 0;
    FUZZ_CHECK(found ? value.View().find_first_of(" \r\n") == std::string_view::npos : value.Empty());
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    // A POST to a program below the document root is admitted and its body stored; any other is answered.
    static const TestDirectory& home = Home([](const TestDirectory& home) {
        home.WriteFile("c/web/cgi-bin/x.sh", "#!/bin/sh\n");
        SetDefaultSettings();
        Settings().RootDir.Assign("c:\\web");
    });
    const std::vector<std::string_view> pieces = SplitPieces(AsView(data, size));
    for (const std::string_view piece : pieces) CheckHelpers(piece);

    int ends[2];
    FUZZ_CHECK(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, ends) == 0);
    const auto [serverEnd, peer] = ends;
    {
        Server server;
        FUZZ_CHECK(server.AddConnection(std::make_unique<Connection>(platform::Socket(serverEnd), "127.0.0.1", 0)));
        std::size_t sent = 0;
        std::string_view first;
        for (const std::string_view piece : pieces) {
            if (piece.empty()) continue;
            if (first.empty()) first = piece.substr(0, 4096);
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
            FUZZ_CHECK(std::string_view(answer.data(), 9) == "HTTP/1.0 " && NoTemporaryFiles(home));
        } else {
            // Once a request is whole (or refused), further bytes are left unread.
            FUZZ_CHECK(connection->bytesReceived <= sent && connection->request.Length() < kRequestCapacity);
            FUZZ_CHECK(connection->bodyReceived >= 0);
            // The body file holds exactly the body taken so far unless an error page replaced it.
            if (connection->state == ConnectionState::ReceivingBody) {
                FUZZ_CHECK(connection->bodyReceived <= std::max(connection->contentLength, 0));
                if (connection->cgiRun) {
                    FUZZ_CHECK(std::filesystem::file_size(std::string(connection->cgiRun->bodyFileName.Name())) ==
                               static_cast<std::uintmax_t>(connection->bodyReceived));
                }
            }
            // A GET or HEAD is its first block (what one read takes), as text.
            if (connection->method != RequestMethod::Post && connection->state == ConnectionState::RequestReceived &&
                connection->response.kind == ResponseKind::None) {
                FUZZ_CHECK(connection->request.View() == AsText(first).substr(0, kRequestCapacity - 1));
            }
        }
    }
    close(peer);
    // The connection took its body file with it.
    FUZZ_CHECK(NoTemporaryFiles(home));
    return 0;
}
