#pragma once
// A fresh directory under the system's temporary directory, removed with its contents.
#include <string>
#include <string_view>
#include <vector>

class TestDirectory {
public:
    TestDirectory();
    ~TestDirectory();
    TestDirectory(const TestDirectory&) = delete;
    TestDirectory& operator=(const TestDirectory&) = delete;

    [[nodiscard]] const std::string& Path() const { return path_; }
    // Path of a name inside the directory.
    [[nodiscard]] std::string operator/(std::string_view name) const { return path_ + "/" + std::string(name); }

    // Writes a file (creating parent directories) and returns its full path.
    std::string WriteFile(std::string_view name, std::string_view bytes) const;
    std::string MakeDirectory(std::string_view name) const;
    // Names of the entries directly inside `directory`.
    static std::vector<std::string> List(const std::string& directory);

private:
    std::string path_;
};

std::string ReadWholeFile(const std::string& path);
// `count` pseudo-random bytes, the same for the same seed.
std::string PatternBytes(std::size_t count, unsigned seed = 1);
