#include "tests/cgi/upload/UploadTestSupport.h"

#include <algorithm>
#include <filesystem>

#include "config/RegistryStore.h"
#include "tests/support/Guards.h"
#include "tests/support/TestDirectory.h"

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
