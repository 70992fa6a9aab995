#pragma once
// A real server over a drive C that the test fills, and the checks every such test
// ends with: a clean exit on SIGTERM and no temporary file left behind.
#include <gtest/gtest.h>
#include <time.h>

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "config/ServerSettings.h"
#include "tests/support/RawClient.h"
#include "tests/support/ServerProcess.h"
#include "tests/support/TestDirectory.h"

class ServerFixture : public ::testing::Test {
protected:
    void StartServer() {
        server = std::make_unique<ServerProcess>(settings, "C=" + drive.Path());
        for (const auto& [name, value] : environment) server->SetEnvironment(name, value);
        ASSERT_TRUE(server->Start()) << server->Stdout() << server->Stderr();
    }

    void TearDown() override {
        if (!server || !server->Running()) return;
        EXPECT_EQ(server->Stop(), 0);
        EXPECT_TRUE(server->TemporaryFiles().empty()) << "temporary files left behind";
    }

    std::string Request(std::string_view request) const { return Exchange(server->Port(), request); }
    std::string Get(std::string_view url) const {
        return Request("GET " + std::string(url) + " HTTP/1.0\r\nUser-Agent: test\r\n\r\n");
    }

    TestDirectory drive;
    ServerSettings settings;
    std::map<std::string, std::string> environment;
    std::unique_ptr<ServerProcess> server;
};

// A POST of `body` with its type and length.
inline std::string PostRequest(const std::string& url, const std::string& type, const std::string& body) {
    return "POST " + url + " HTTP/1.0\r\nContent-Type: " + type + "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\n\r\n" + body;
}

// The exact bytes of an error page.
inline std::string ErrorPageBytes(std::string_view status, std::string_view message) {
    return "HTTP/1.0 " + std::string(status) + "\r\nContent-Type: text/html\r\n\r\n<body><h1>HTTP/1.0 " +
           std::string(status) + "</h1>" + std::string(message) + "</body>";
}

inline std::string HeaderOnlyErrorBytes(std::string_view status) {
    return "HTTP/1.0 " + std::string(status) + "\r\nContent-Type: text/html\r\n\r\n";
}

// A date text in the layout of asctime: "Mon Dec 07 14:31:56 2026".
inline bool IsDateText(const std::string& text) {
    std::tm parsed{};
    const char* end = strptime(text.c_str(), "%a %b %d %H:%M:%S %Y", &parsed);
    return text.size() == 24 && text[8] != ' ' && end == text.c_str() + text.size();
}

// The success header, its date line matched by shape.
inline bool IsSuccessHeader(const std::string& head, const std::string& contentType) {
    const std::string start = "HTTP/1.0 200 OK\r\nDate: ";
    const std::size_t dateEnd = start.size() + 24;
    return head.starts_with(start) && head.size() > dateEnd && IsDateText(head.substr(start.size(), 24)) &&
           head.substr(dateEnd) ==
               "\nServer: Pellora/1.0\r\nMIME-version: 1.0\r\nContent-Type: " + contentType + "\r\n\r\n";
}
