#include "tests/cgi/upload/UploadTestSupport.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "config/RegistryStore.h"
#include "tests/support/Guards.h"

void SaveSettingsIn(const std::string& configHome, const ServerSettings& settings) {
    EnvironmentGuard environment;
    environment.Set("XDG_CONFIG_HOME", configHome);
    SaveSettingsToRegistry(settings);
}

FormPart TextField(const std::string& name, const std::string& value) {
    return {"Content-Disposition: form-data; name=\"" + name + "\"\r\n", value};
}

FormPart FileField(const std::string& fileName, const std::string& data, const std::string& name) {
    return {"Content-Disposition: form-data; name=\"" + name + "\"; filename=\"" + fileName +
                "\"\r\nContent-Type: application/octet-stream\r\n",
            data};
}

std::string MultipartBody(const std::vector<FormPart>& parts, const std::string& boundary) {
    std::string body;
    for (const FormPart& part : parts) body += "--" + boundary + "\r\n" + part.headers + "\r\n" + part.data + "\r\n";
    return body + "--" + boundary + "--\r\n";
}

void WriteLargeFile(const std::string& path, std::size_t size, unsigned seed) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::mt19937_64 generator(seed);
    std::vector<std::uint64_t> piece(1 << 17);  // 1 MiB
    for (std::size_t written = 0; written < size; written += piece.size() * sizeof(std::uint64_t)) {
        for (std::uint64_t& word : piece) word = generator();
        const std::size_t count = std::min(size - written, piece.size() * sizeof(std::uint64_t));
        out.write(reinterpret_cast<const char*>(piece.data()), static_cast<std::streamsize>(count));
    }
}

bool SameFileContents(const std::string& a, const std::string& b) {
    std::ifstream first(a, std::ios::binary), second(b, std::ios::binary);
    using Bytes = std::istreambuf_iterator<char>;
    return first && second && std::equal(Bytes(first), Bytes(), Bytes(second), Bytes());
}

std::vector<std::string> TreeOf(const std::string& directory) {
    std::vector<std::string> paths;
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(directory, error)) {
        paths.push_back(std::filesystem::relative(entry.path(), directory).string() +
                        (entry.is_directory() ? "/" : ""));
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}
