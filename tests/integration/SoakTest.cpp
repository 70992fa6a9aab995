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

// A leak of even a hundred bytes a request would pass this over the measured requests;
// under the sanitizer freed memory waits in its quarantine (capped below) before reuse.
#if defined(PELLORA_SANITIZED)
constexpr long kResidentGrowthLimitKilobytes = 24 * 1024;
#else
constexpr long kResidentGrowthLimitKilobytes = 1024;
#endif

struct Snapshot {
    int descriptors = 0;
    std::size_t temporaryFiles = 0;
    std::size_t children = 0;  // zombies included
    long residentKilobytes = 0;
};

std::ostream& operator<<(std::ostream& out, const Snapshot& s) {
    return out << s.descriptors << " fds, " << s.temporaryFiles << " temp files, " << s.children << " children, "
               << s.residentKilobytes << " KiB resident";
}

// Figures and their padding left out, for pages that show free space.
std::string WithoutFigures(const std::string& page) {
    std::string kept;
    for (const char c : page) {
        const bool figure = (c >= '0' && c <= '9') || c == ' ';
        if (!figure || kept.empty() || kept.back() != '#') kept += figure ? '#' : c;
    }
    return kept;
}

std::string Post(const std::string& url, const std::string& type, const std::string& body) {
    return "POST " + url + " HTTP/1.0\r\nContent-Type: " + type + "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\n\r\n" + body;
}

class Soak : public ServerFixture {
protected:
    // One kind of request: how request number `id` is made and what its answer must be
    // (empty: the first answer of the kind, date line aside, or figures aside).
    struct Kind {
        int weight;
        std::function<std::string(int id)> request;
        std::function<std::string(int id)> expected;
        bool figuresAside = false;
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
        for (const std::size_t size : {0, 1, 4095, 4096, 102400, 3 * 1024 * 1024 + 7}) {
            drive.WriteFile("files/" + std::to_string(size) + ".bin", PatternBytes(size, size));
        }
        drive.WriteFile("private/secret.txt", "secret");
        drive.WriteFile("web/index.htm", "<p>index</p>");
        drive.MakeDirectory("up");
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
        for (const auto& entry : std::filesystem::directory_iterator(drive / "files"))
            utime(entry.path().c_str(), &old);
        utime((drive / "files").c_str(), &old);
    }

    static Kind Fixed(int weight, const std::string& request, bool figuresAside = false) {
        return {weight, [request](int) { return request; }, nullptr, figuresAside};
    }

    std::vector<Kind> Kinds() const {
        std::vector<Kind> kinds;
        for (const std::size_t size : {0, 1, 4095, 4096, 102400, 3 * 1024 * 1024 + 7}) {
            kinds.push_back(
                Fixed(size > 1000000 ? 1 : 12, "GET /c/files/" + std::to_string(size) + ".bin HTTP/1.0\r\n\r\n"));
        }
        for (const char* url : {"/c/files/", "/c/files/*.bin", "/c/files/missing.txt", "/c/private/secret.txt"}) {
            kinds.push_back(Fixed(5, "GET " + std::string(url) + " HTTP/1.0\r\n\r\n"));
        }
        kinds.push_back(Fixed(4, "HEAD /c/files/102400.bin HTTP/1.0\r\n\r\n"));
        kinds.push_back(Fixed(4, "GET /index.htm HTTP/1.0\r\nHost: soak\r\n\r\n"));
        kinds.push_back(Fixed(3, "PUT /c/files/1.bin HTTP/1.0\r\n\r\n"));
        kinds.push_back(Fixed(3, "GET /c/" + std::string(300, 'x') + " HTTP/1.0\r\n\r\n"));
        kinds.push_back(Fixed(4, "GET / HTTP/1.0\r\n\r\n", true));  // free space changes with the uploads
        const auto body = [](int id) { return "\r\n\r\n" + std::to_string(id); };
        kinds.push_back(
            {3, [](int id) { return "GET /cgi-bin/query.sh?" + std::to_string(id) + " HTTP/1.0\r\n\r\n"; }, body});
        kinds.push_back({3, [](int id) { return Post("/cgi-bin/echo.sh", "text/plain", PatternBytes(id % 20000, id)); },
                         [](int id) { return "\r\n\r\n" + PatternBytes(id % 20000, id); }});
        kinds.push_back({1,
                         [](int id) {
                             return Post("/@upload.exe", "multipart/form-data",
                                         MultipartBody({TextField("dest", "c:\\up\\" + std::to_string(id) + ".bin"),
                                                        FileField("x.bin", PatternBytes(id % 70000, id))}));
                         },
                         [](int id) { return "<P>Stored <B>c:\\up\\" + std::to_string(id) + ".bin</B>"; }});
        return kinds;
    }

    // What must match: a given text found at the end (CGI) or inside (upload), or the
    // whole answer like the first of its kind.
    bool Right(const Kind& kind, const std::string& answer, int id, const std::string& first) const {
        if (kind.expected) {
            const std::string expected = kind.expected(id);
            const bool stored = expected.starts_with("<P>");
            return answer.starts_with("HTTP/1.0 200 OK\r\n") &&
                   (stored ? answer.find(expected) != std::string::npos &&
                                 ReadWholeFile(drive / ("up/" + std::to_string(id) + ".bin")) ==
                                     PatternBytes(id % 70000, id)
                           : answer.ends_with(expected));
        }
        const auto comparable = [&kind](std::string text) {
            const std::size_t date = text.find("\r\nDate: ");
            if (date != std::string::npos) text.erase(date, text.find('\n', date + 2) - date);
            return kind.figuresAside ? WithoutFigures(text) : text;
        };
        return comparable(answer) == comparable(first);
    }

    // Sends requests numbered [from, to) from sixteen threads; returns the wrong answers.
    std::vector<std::string> SendMixed(const std::vector<Kind>& kinds, const std::vector<std::string>& firsts, int from,
                                       int to) const {
        int total = 0;
        for (const Kind& kind : kinds) total += kind.weight;
        std::atomic<int> next{from};
        std::mutex lock;
        std::vector<std::string> failures;
        std::vector<std::thread> threads;
        for (unsigned t = 0; t < 16; ++t) {
            threads.emplace_back([&, t] {
                std::mt19937 random(t + 1);
                for (int id = next++; id < to; id = next++) {
                    int pick = static_cast<int>(random() % static_cast<unsigned>(total));
                    std::size_t k = 0;
                    while (pick >= kinds[k].weight) pick -= kinds[k++].weight;
                    const std::string answer = Exchange(server->Port(), kinds[k].request(id));
                    if (Right(kinds[k], answer, id, firsts[k])) continue;
                    const std::lock_guard<std::mutex> guard(lock);
                    failures.push_back("kind " + std::to_string(k) + " #" + std::to_string(id) + ": " +
                                       answer.substr(0, 200));
                }
            });
        }
        for (std::thread& thread : threads) thread.join();
        return failures;
    }

    Snapshot Take() const {
        const std::string pid = std::to_string(server->Pid());
        std::istringstream children(ReadWholeFile("/proc/" + pid + "/task/" + pid + "/children"));
        std::istringstream status(ReadWholeFile("/proc/" + pid + "/status"));
        Snapshot snapshot{server->OpenDescriptors(), server->TemporaryFiles().size(), 0, -1};
        for (std::string word; children >> word;) ++snapshot.children;
        for (std::string line; std::getline(status, line);) {
            if (line.starts_with("VmRSS:")) snapshot.residentKilobytes = std::stol(line.substr(6));
        }
        return snapshot;
    }
};

TEST_F(Soak, MixedRequestsFromSixteenClientsLeaveNothingBehind) {
    const char* count = std::getenv("PELLORA_SOAK_REQUESTS");
    const int requests = count != nullptr ? std::max(200, std::atoi(count)) : 2000;
    const int warmUp = requests / 20;
    StartServer();
    const int idleDescriptors = server->OpenDescriptors();
    const std::vector<Kind> kinds = Kinds();
    std::vector<std::string> firsts;
    for (const Kind& kind : kinds) firsts.push_back(kind.expected ? "" : Request(kind.request(0)));
    // A first round lets the server reach its working size before it is measured.
    std::vector<std::string> failures = SendMixed(kinds, firsts, 0, warmUp);
    // A client has its whole answer a moment before the server closes its side.
    ASSERT_TRUE(server->WaitForDescriptors(idleDescriptors, 5s));
    const Snapshot before = Take();
    const auto start = std::chrono::steady_clock::now();
    const std::vector<std::string> later = SendMixed(kinds, firsts, warmUp, requests);
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    failures.insert(failures.end(), later.begin(), later.end());

    EXPECT_TRUE(server->WaitForDescriptors(before.descriptors, 5s));
    const Snapshot after = Take();
    std::cout << "soak: " << requests << " requests (" << requests - warmUp << " measured in " << seconds
              << " s); before: " << before << "; after: " << after << "\n";
    EXPECT_EQ(failures.size(), 0u) << failures.front();
    EXPECT_TRUE(firsts[0].starts_with("HTTP/1.0 200 OK\r\n") && firsts[5].ends_with(PatternBytes(3145735, 3145735)));
    EXPECT_EQ(after.descriptors, before.descriptors);
    EXPECT_EQ(after.temporaryFiles, 0u);
    EXPECT_EQ(after.children, 0u);
    EXPECT_LT(after.residentKilobytes - before.residentKilobytes, kResidentGrowthLimitKilobytes);
}

}  // namespace
