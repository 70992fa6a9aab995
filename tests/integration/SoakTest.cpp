// One server under a long mixed load from sixteen clients at once: every answer must
// arrive whole and exact, and afterwards the server must hold what it held before:
// descriptors, temporary files, child processes, and memory within a small margin.
// PELLORA_SOAK_REQUESTS sets the load: 2,000 requests by default, 20,000 in the long run.
#include <sys/stat.h>
#include <utime.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <mutex>
#include <random>
#include <sstream>
#include <thread>

#include "tests/cgi/upload/UploadTestSupport.h"
#include "tests/support/ServerFixture.h"

namespace {

using namespace std::chrono_literals;

constexpr int kClients = 16;

int Requests() {
    const char* count = std::getenv("PELLORA_SOAK_REQUESTS");
    return count != nullptr ? std::max(200, std::atoi(count)) : 2000;
}
// A leak of even a hundred bytes a request would pass this over the measured requests.
#if defined(PELLORA_SANITIZED)
// Freed memory waits in the sanitizer's quarantine (capped for the server below) before reuse.
constexpr long kResidentGrowthLimitKilobytes = 24 * 1024;
#else
constexpr long kResidentGrowthLimitKilobytes = 1024;
#endif

// Resident memory of a process in KiB, from /proc.
long ResidentKilobytes(pid_t pid) {
    std::istringstream status(ReadWholeFile("/proc/" + std::to_string(pid) + "/status"));
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmRSS:")) return std::stol(line.substr(6));
    }
    return -1;
}

// Processes whose parent is `pid`, zombies included.
int ChildProcesses(pid_t pid) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        const std::string stat = ReadWholeFile(entry.path() / "stat");
        const std::size_t close = stat.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream fields(stat.substr(close + 2));
        std::string state;
        pid_t parent = 0;
        fields >> state >> parent;
        if (parent == pid) ++count;
    }
    return count;
}

// Responses compared with the date line left out.
std::string WithoutDate(std::string response) {
    const std::size_t at = response.find("\r\nDate: ");
    if (at != std::string::npos) response.erase(at + 8, response.find('\n', at + 2) - at - 8);
    return response;
}

// A page with its figures and their padding left out.
std::string WithoutFigures(const std::string& page) {
    std::string kept;
    for (const char c : page) {
        if ((c >= '0' && c <= '9') || c == ' ') {
            if (kept.empty() || kept.back() != '#') kept += '#';
        } else {
            kept += c;
        }
    }
    return kept;
}

struct Snapshot {
    int descriptors = 0;
    std::size_t temporaryFiles = 0;
    int children = 0;
    long residentKilobytes = 0;
};

std::ostream& operator<<(std::ostream& out, const Snapshot& s) {
    return out << s.descriptors << " fds, " << s.temporaryFiles << " temp files, " << s.children << " children, "
               << s.residentKilobytes << " KiB resident";
}

class Soak : public ServerFixture {
protected:
    // One kind of request: how it is made for request number `id`, and whether an answer is right.
    struct Kind {
        const char* name;
        int weight;
        std::function<std::string(int id)> request;
        std::function<bool(const std::string& response, int id)> check;
    };

    void SetUp() override {
#if defined(PELLORA_SANITIZED)
        const char* options = std::getenv("ASAN_OPTIONS");
        environment["ASAN_OPTIONS"] = std::string(options != nullptr ? options : "") + ":quarantine_size_mb=16";
#endif
        settings.RootDir.Assign("c:\\web");
        settings.DirAccessOption = kAccessRestrictive;
        settings.DirList[0].Assign("c:\\private");
        settings.UploadOn = 1;
        settings.UploadAccessType = 0;
        settings.UploadDir.Assign("c:\\up");
        for (const auto& [name, size] : kSizes)
            files[name] = drive.WriteFile("files/" + name, PatternBytes(size, size));
        drive.WriteFile("files/sub/inner.txt", "inner");
        drive.WriteFile("private/secret.txt", "secret");
        drive.WriteFile("web/index.htm", "<p>index</p>");
        drive.MakeDirectory("up");
        const std::string cgi = drive.MakeDirectory("web/cgi-bin");
        chmod(drive
                  .WriteFile("web/cgi-bin/query.sh",
                             "#!/bin/sh\nprintf 'Content-Type: text/plain\\r\\n\\r\\n%s' "
                             "\"$QUERY_STRING\"\n")
                  .c_str(),
              0755);
        chmod(drive.WriteFile("web/cgi-bin/echo.sh", "#!/bin/sh\nprintf 'Content-Type: text/plain\\r\\n\\r\\n'\ncat\n")
                  .c_str(),
              0755);
        // Listings show modification times: old fixed ones keep every listing the same.
        const utimbuf old{1577836800, 1577836800};
        for (const auto& entry : std::filesystem::recursive_directory_iterator(drive / "files")) {
            utime(entry.path().c_str(), &old);
        }
        utime((drive / "files").c_str(), &old);
    }

    std::string FileBytes(const std::string& name) const {
        return ReadWholeFile(files.at(name));
    }

    // The kinds whose answers never change are compared with the first answer each gave.
    std::vector<Kind> Kinds() {
        std::vector<Kind> kinds;
        const auto fixed = [this, &kinds](const char* name, int weight, std::string request) {
            references[name] = WithoutDate(Request(request));
            kinds.push_back({name, weight, [request](int) { return request; },
                             [this, name](const std::string& response, int) {
                                 return WithoutDate(response) == references.at(name);
                             }});
        };
        for (const auto& [name, size] : kSizes) {
            const std::string request = "GET /c/files/" + name + " HTTP/1.0\r\n\r\n";
            const std::string bytes = FileBytes(name);
            const bool large = size > 1000000;
            kinds.push_back({"file", large ? 1 : 12, [request](int) { return request; },
                             [bytes](const std::string& response, int) {
                                 const ReplyParts parts = SplitResponse(response);
                                 return parts.head.starts_with("HTTP/1.0 200 OK\r\n") && parts.body == bytes;
                             }});
        }
        fixed("head", 6, "HEAD /c/files/100k.bin HTTP/1.0\r\n\r\n");
        fixed("listing", 6, "GET /c/files/ HTTP/1.0\r\n\r\n");
        fixed("wildcard listing", 4, "GET /c/files/*.bin HTTP/1.0\r\n\r\n");
        fixed("redirect", 4, "GET /index.htm HTTP/1.0\r\nHost: soak\r\n\r\n");
        fixed("not found", 4, "GET /c/files/missing.txt HTTP/1.0\r\n\r\n");
        fixed("forbidden", 4, "GET /c/private/secret.txt HTTP/1.0\r\n\r\n");
        fixed("bad method", 3, "PUT /c/files/1.bin HTTP/1.0\r\n\r\n");
        fixed("malformed", 3, "GET /c/" + std::string(300, 'x') + " HTTP/1.0\r\n\r\n");
        // The drive index shows free space, which the uploads change: compared with its
        // figures and their padding left out.
        const std::string index = WithoutFigures(SplitResponse(Request("GET / HTTP/1.0\r\n\r\n")).body);
        kinds.push_back({"drive index", 4, [](int) { return std::string("GET / HTTP/1.0\r\n\r\n"); },
                         [index](const std::string& response, int) {
                             const ReplyParts parts = SplitResponse(response);
                             return parts.head.starts_with("HTTP/1.0 200 OK\r\n") &&
                                    WithoutFigures(parts.body) == index;
                         }});
        kinds.push_back({"cgi query", 3,
                         [](int id) { return "GET /cgi-bin/query.sh?id=" + std::to_string(id) + " HTTP/1.0\r\n\r\n"; },
                         [](const std::string& response, int id) {
                             return response.starts_with("HTTP/1.0 200 OK\r\n") &&
                                    SplitResponse(response).body == "id=" + std::to_string(id);
                         }});
        kinds.push_back({"cgi post", 3,
                         [](int id) {
                             const std::string body = PatternBytes(id % 20000, id);
                             return "POST /cgi-bin/echo.sh HTTP/1.0\r\nContent-Length: " + std::to_string(body.size()) +
                                    "\r\n\r\n" + body;
                         },
                         [](const std::string& response, int id) {
                             return response.starts_with("HTTP/1.0 200 OK\r\n") &&
                                    SplitResponse(response).body == PatternBytes(id % 20000, id);
                         }});
        kinds.push_back({"upload", 1,
                         [](int id) {
                             const std::string body =
                                 MultipartBody({TextField("dest", "c:\\up\\" + std::to_string(id) + ".bin"),
                                                FileField("x.bin", PatternBytes(id % 70000, id))});
                             return "POST /@upload.exe HTTP/1.0\r\nContent-Type: multipart/form-data\r\n"
                                    "Content-Length: " +
                                    std::to_string(body.size()) + "\r\n\r\n" + body;
                         },
                         [this](const std::string& response, int id) {
                             const std::string name = std::to_string(id) + ".bin";
                             return SplitResponse(response).body.find("<P>Stored <B>c:\\up\\" + name + "</B>") !=
                                        std::string::npos &&
                                    ReadWholeFile(drive / ("up/" + name)) == PatternBytes(id % 70000, id);
                         }});
        return kinds;
    }

    Snapshot Take() const {
        return {server->OpenDescriptors(), server->TemporaryFiles().size(), ChildProcesses(server->Pid()),
                ResidentKilobytes(server->Pid())};
    }

    // Sends `count` requests from kClients threads, numbered from `firstId`; returns
    // the descriptions of wrong answers.
    std::vector<std::string> SendMixed(const std::vector<Kind>& kinds, int firstId, int count) {
        int total = 0;
        for (const Kind& kind : kinds) total += kind.weight;
        std::atomic<int> next{firstId};
        std::mutex lock;
        std::vector<std::string> failures;
        std::vector<std::thread> threads;
        for (int t = 0; t < kClients; ++t) {
            threads.emplace_back([&, t] {
                std::mt19937 random(static_cast<unsigned>(t) + 1);
                for (int id = next++; id < firstId + count; id = next++) {
                    int pick = static_cast<int>(random() % static_cast<unsigned>(total));
                    std::size_t k = 0;
                    while (pick >= kinds[k].weight) pick -= kinds[k++].weight;
                    const std::string response = Exchange(server->Port(), kinds[k].request(id));
                    if (!kinds[k].check(response, id)) {
                        const std::lock_guard<std::mutex> guard(lock);
                        failures.push_back(std::string(kinds[k].name) + " #" + std::to_string(id) + ": " +
                                           response.substr(0, 200));
                    }
                }
            });
        }
        for (std::thread& thread : threads) thread.join();
        return failures;
    }

    // Name and size of each file served: every size class, the block edges among them.
    const std::vector<std::pair<std::string, std::size_t>> kSizes = {
        {"0.bin", 0},       {"1.bin", 1},         {"4095.bin", 4095},
        {"4096.bin", 4096}, {"100k.bin", 102400}, {"3m.bin", 3 * 1024 * 1024 + 7}};
    std::map<std::string, std::string> files;
    std::map<std::string, std::string> references;
};

TEST_F(Soak, MixedRequestsFromSixteenClientsLeaveNothingBehind) {
    const int requests = Requests();
    const int warmUp = requests / 20;
    StartServer();
    const int idleDescriptors = server->OpenDescriptors();
    const std::vector<Kind> kinds = Kinds();
    // A first round lets the server reach its working size before it is measured.
    std::vector<std::string> failures = SendMixed(kinds, 0, warmUp);
    // A client has its whole answer a moment before the server closes its side.
    ASSERT_TRUE(server->WaitForDescriptors(idleDescriptors, 5s));
    const Snapshot before = Take();
    const auto start = std::chrono::steady_clock::now();
    const std::vector<std::string> later = SendMixed(kinds, warmUp, requests - warmUp);
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    failures.insert(failures.end(), later.begin(), later.end());

    EXPECT_TRUE(server->WaitForDescriptors(before.descriptors, 5s));
    const Snapshot after = Take();
    std::cout << "soak: " << requests << " requests (" << requests - warmUp << " measured in " << seconds
              << " s); before: " << before << "; after: " << after << "\n";
    EXPECT_EQ(failures.size(), 0u) << failures.front();
    EXPECT_EQ(after.descriptors, before.descriptors);
    EXPECT_EQ(after.temporaryFiles, 0u);
    EXPECT_EQ(after.children, 0);
    EXPECT_LT(after.residentKilobytes - before.residentKilobytes, kResidentGrowthLimitKilobytes);
}

}  // namespace
