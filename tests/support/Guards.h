#pragma once
// What a test changes in its own process and must give back: environment variables and
// the process-wide drive table.
#include <stdlib.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/DriveTable.h"

// Sets or unsets variables; the old values come back when the guard goes.
class EnvironmentGuard {
public:
    EnvironmentGuard() = default;
    EnvironmentGuard(const EnvironmentGuard&) = delete;
    EnvironmentGuard& operator=(const EnvironmentGuard&) = delete;
    ~EnvironmentGuard() {
        for (const auto& [name, value] : saved_) {
            if (value) {
                setenv(name.c_str(), value->c_str(), 1);
            } else {
                unsetenv(name.c_str());
            }
        }
    }
    void Set(const std::string& name, const std::string& value) {
        Keep(name);
        setenv(name.c_str(), value.c_str(), 1);
    }
    void Unset(const std::string& name) {
        Keep(name);
        unsetenv(name.c_str());
    }

private:
    void Keep(const std::string& name) {
        if (saved_.count(name) != 0) return;
        const char* value = getenv(name.c_str());
        saved_[name] = value != nullptr ? std::optional<std::string>(value) : std::nullopt;
    }
    std::map<std::string, std::optional<std::string>> saved_;
};

// Makes the process-wide drive table the given drives for as long as it lives.
class DriveTableGuard {
public:
    explicit DriveTableGuard(std::vector<platform::Drive> drives) : saved_(platform::TheDriveTable()) {
        platform::SetDriveTable(platform::DriveTable(std::move(drives)));
    }
    DriveTableGuard(const DriveTableGuard&) = delete;
    DriveTableGuard& operator=(const DriveTableGuard&) = delete;
    ~DriveTableGuard() { platform::SetDriveTable(saved_); }

private:
    platform::DriveTable saved_;
};
