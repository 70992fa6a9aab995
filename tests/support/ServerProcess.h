#pragma once
// The real server binary, started headless on a loopback port with its own drive
// table, options file, store directory and temporary directory.
#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "config/ServerSettings.h"
#include "tests/support/Processes.h"
#include "tests/support/TestDirectory.h"

// A port that was free a moment ago.
int FreePort();

class ServerProcess {
public:
    // `drives` is the PELLORA_DRIVES text; settings.Port is replaced by a free port
    // unless `keepPort`.
    ServerProcess(ServerSettings settings, std::string drives, bool keepPort = false);
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    void SetEnvironment(const std::string& name, const std::string& value) { environment_[name] = value; }
    // Replaces the options-file argument (nullopt: no argument at all).
    void SetArguments(std::vector<std::string> arguments) { arguments_ = std::move(arguments); }
    // Where the server starts; the test's own directory when not set.
    void SetWorkingDirectory(std::string directory) { workingDirectory_ = std::move(directory); }

    // Starts the binary and waits until it listens; false when it did not.
    bool Start();
    // Starts the binary and waits until its standard output holds `text`.
    bool StartAndWaitFor(const std::string& text);
    // SIGTERM, then the exit status (-1 when it did not end by itself in time); for a run
    // that has already ended and been reaped, its status.
    int Stop();
    [[nodiscard]] bool Running() const { return pid_ > 0; }

    [[nodiscard]] int Port() const { return settings_.Port; }
    [[nodiscard]] pid_t Pid() const { return pid_; }
    [[nodiscard]] std::string Stdout() const;
    [[nodiscard]] std::string Stderr() const;
    [[nodiscard]] const std::string& TempDirectory() const { return tempDirectory_; }
    [[nodiscard]] const std::string& OptionsFile() const { return optionsFile_; }
    // The server's XDG_CONFIG_HOME: its settings store lives in "pellora" below it.
    [[nodiscard]] std::string ConfigDirectory() const { return home_ / "config"; }
    // Open descriptors of the running server.
    [[nodiscard]] int OpenDescriptors() const;
    // Stops the process (SIGSTOP) and returns once it is stopped, so that what clients
    // send meanwhile all waits for it; Resume lets it go on.
    bool Pause() const;
    bool Resume() const;
    // Temporary files the server has left in its temporary directory.
    [[nodiscard]] std::vector<std::string> TemporaryFiles() const;
    // Waits until the server has no more than `count` open descriptors.
    bool WaitForDescriptors(int count, std::chrono::milliseconds limit) const;

private:
    bool WaitForOutput(const std::string& text, std::chrono::milliseconds limit);
    // Whether the run has ended; its status is then kept.
    bool Reaped();

    TestDirectory home_;
    ServerSettings settings_;
    std::string drives_;
    std::string optionsFile_;
    std::string tempDirectory_;
    std::map<std::string, std::string> environment_;
    std::optional<std::vector<std::string>> arguments_;
    std::string workingDirectory_;
    pid_t pid_ = -1;
    int exitStatus_ = -1;  // of a run reaped while waiting for its output
};
