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

class Soak : public ServerFixture {
protected:
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
        drive.WriteFile("private/secret.txt", "secret");
        drive.WriteFile("web/index.htm", "<p>index</p>");
        drive.MakeDirectory("up");
        chmod(drive.WriteFile("web/cgi-bin/echo.sh", "#!/bin/sh\nprintf 'Content-Type: text/plain\\r\\n\\r\\n'\ncat\n")
                  .c_str(),
              0755);
        // Requests whose answers never change, each with its weight: every size class of
        // file, listings, refusals, a redirect, a program and its body.
        for (const std::size_t size : {0, 1, 4095, 4096, 102400, 3 * 1024 * 1024 + 7}) {
            const std::string name = std::to_string(size) + ".bin";
            drive.WriteFile("files/" + name, PatternBytes(size, size));
            kinds.push_back({size > 1000000 ? 1 : 12, "GET /c/files/" + name + " HTTP/1.0\r\n\r\n"});
        }
        for (const char* url : {"/c/files/", "/c/files/*.bin", "/c/files/missing.txt", "/c/private/secret.txt"}) {
            kinds.push_back({5, "GET " + std::string(url) + " HTTP/1.0\r\n\r\n"});
        }
        kinds.push_back({4, "HEAD /c/files/102400.bin HTTP/1.0\r\n\r\n"});
        kinds.push_back({4, "GET /index.htm HTTP/1.0\r\nHost: soak\r\n\r\n"});
        kinds.push_back({3, "PUT /c/files/1.bin HTTP/1.0\r\n\r\n"});
        kinds.push_back({3, "GET /c/" + std::string(300, 'x') + " HTTP/1.0\r\n\r\n"});
        kinds.push_back({3, PostRequest("/cgi-bin/echo.sh?x", "text/plain", PatternBytes(20000, 3))});
        kinds.push_back({1, ""});  // an upload, each to a name of its own
        // Listings show modification times: old fixed ones keep every listing the same.
        const utimbuf old{1577836800, 1577836800};
        for (const auto& entry : std::filesystem::directory_iterator(drive / "files"))
            utime(entry.path().c_str(), &old);
        utime((drive / "files").c_str(), &old);
    }

    static std::string Upload(int id) {
        return PostRequest("/@upload.exe", "multipart/form-data",
                           MultipartBody({TextField("dest", "c:\\up\\" + std::to_string(id) + ".bin"),
                                          FileField("x.bin", PatternBytes(id % 70000, id))}));
    }
    // An answer is like the first of its kind, the date line aside; an upload stores its file.
    bool Right(const std::string& answer, int id, std::size_t kind) const {
        if (kinds[kind].request.empty()) {
            const std::string name = std::to_string(id) + ".bin";
            return answer.find("<P>Stored <B>c:\\up\\" + name + "</B>") != std::string::npos &&
                   ReadWholeFile(drive / ("up/" + name)) == PatternBytes(id % 70000, id);
        }
        const auto withoutDate = [](std::string text) {
            const std::size_t date = text.find("\r\nDate: ");
            if (date != std::string::npos) text.erase(date, text.find('\n', date + 2) - date);
            return text;
        };
        return withoutDate(answer) == withoutDate(firsts[kind]);
    }

    // Sends requests numbered [from, to) from sixteen threads; returns the wrong answers.
    std::vector<std::string> SendMixed(int from, int to) const {
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
                    const std::string request = kinds[k].request.empty() ? Upload(id) : kinds[k].request;
                    const std::string answer = Exchange(server->Port(), request);
                    if (Right(answer, id, k)) continue;
                    const std::lock_guard<std::mutex> guard(lock);
                    failures.push_back(request.substr(0, 40) + " #" + std::to_string(id) + ": " +
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

    struct Kind {
        int weight;
        std::string request;  // empty: an upload
    };
    std::vector<Kind> kinds;
    std::vector<std::string> firsts;  // the first answer of each kind
};

TEST_F(Soak, MixedRequestsFromSixteenClientsLeaveNothingBehind) {
    const char* count = std::getenv("PELLORA_SOAK_REQUESTS");
    const int requests = count != nullptr ? std::max(200, std::atoi(count)) : 2000;
    const int warmUp = requests / 20;
    StartServer();
    const int idleDescriptors = server->OpenDescriptors();
    for (const Kind& kind : kinds) firsts.push_back(kind.request.empty() ? "" : Request(kind.request));
    // A first round lets the server reach its working size before it is measured.
    std::vector<std::string> failures = SendMixed(0, warmUp);
    // A client has its whole answer a moment before the server closes its side.
    ASSERT_TRUE(server->WaitForDescriptors(idleDescriptors, 5s));
    const Snapshot before = Take();
    const auto start = std::chrono::steady_clock::now();
    const std::vector<std::string> later = SendMixed(warmUp, requests);
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    failures.insert(failures.end(), later.begin(), later.end());

    EXPECT_TRUE(server->WaitForDescriptors(before.descriptors, 5s));
    const Snapshot after = Take();
    std::cout << "soak: " << requests << " requests (" << requests - warmUp << " measured in " << seconds
              << " s); before/after: " << before.descriptors << "/" << after.descriptors << " fds, "
              << before.residentKilobytes << "/" << after.residentKilobytes << " KiB resident\n";
    EXPECT_EQ(failures.size(), 0u) << failures.front();
    EXPECT_TRUE(firsts[5].ends_with("\r\n\r\n" + PatternBytes(3145735, 3145735)) &&
                firsts[14].ends_with(PatternBytes(20000, 3)));
    EXPECT_EQ(after.descriptors, before.descriptors);
    EXPECT_EQ(after.temporaryFiles, 0u);
    EXPECT_EQ(after.children, 0u);
    EXPECT_LT(after.residentKilobytes - before.residentKilobytes, kResidentGrowthLimitKilobytes);
}

}  // namespace
