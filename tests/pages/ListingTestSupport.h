#pragma once
// What the page tests share: drive C over a tree the test builds, its own file-type
// registrations, a fixed time zone (UTC+2, no summer time) and the settings put back.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "config/ServerSettings.h"
#include "platform/DriveTable.h"
#include "platform/FileHandle.h"
#include "platform/FileTypeRegistry.h"
#include "tests/support/TestDirectory.h"

class PageTest : public ::testing::Test {
public:
    // A wall-clock time in the test's zone, as seconds since 1970.
    static std::int64_t Local(int year, int month, int day, int hour, int minute) {
        std::tm fields{};
        fields.tm_year = year - 1900;
        fields.tm_mon = month - 1;
        fields.tm_mday = day;
        fields.tm_hour = hour;
        fields.tm_min = minute;
        return static_cast<std::int64_t>(timegm(&fields)) - 2 * 3600;
    }

protected:
    void SetUp() override {
        savedSettings_ = Settings();
        savedTable_ = platform::TheDriveTable();
        platform::SetDriveTable(platform::DriveTable({{'C', drive_.Path(), platform::DriveType::HardDisk}}));
        if (const char* zone = std::getenv("TZ")) savedZone_ = zone;
        setenv("TZ", "XST-2", 1);
        tzset();
        setenv("PELLORA_MIME_TYPES", work_.WriteFile("mime.types", "application/pdf pdf\n").c_str(), 1);
        setenv("PELLORA_MIME_DIRS", (work_ / "no-mime-data").c_str(), 1);
        platform::ResetFileTypeRegistryForTests();
    }

    void TearDown() override {
        unsetenv("PELLORA_MIME_TYPES");
        unsetenv("PELLORA_MIME_DIRS");
        platform::ResetFileTypeRegistryForTests();
        if (savedZone_) {
            setenv("TZ", savedZone_->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
        platform::SetDriveTable(savedTable_);
        Settings() = savedSettings_;
    }

    static void SetModified(const std::string& path, std::int64_t time) {
        const timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(time), 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
    }

    // A file of `size` bytes that takes no room: sizes past 4 GiB cost nothing.
    static void MakeSparseFile(const std::string& path, std::uint64_t size) {
        const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ASSERT_GE(file, 0);
        ASSERT_EQ(ftruncate(file, static_cast<off_t>(size)), 0);
        close(file);
    }

    // Runs `write` on a fresh file and gives back what it wrote.
    template <typename Write>
    std::string PageOf(Write write) {
        const std::string name = work_ / "page.html";
        platform::FileHandle file = platform::CreateFileForWrite(name);
        write(file);
        file.Close();
        return ReadWholeFile(name);
    }

    static std::string Blanks(std::size_t count) { return std::string(count, ' '); }

    TestDirectory drive_;
    TestDirectory work_;

private:
    ServerSettings savedSettings_;
    platform::DriveTable savedTable_;
    std::optional<std::string> savedZone_;
};
