#pragma once
// A CGI program run as a child process: detached in its own session, standard input
// from a file or /dev/null, standard output to a file, standard error to /dev/null,
// its own environment and working directory. Exit is polled without blocking; ending
// a run ends the child's whole process group; every child is reaped.
#include <string>
#include <string_view>

namespace platform {

struct ChildLaunch {
    // The part of a registered command in front of the script: an interpreter and its
    // arguments, split with shell-like quoting. Empty: the program is started itself.
    std::string interpreter;
    std::string program;           // drive-form or host path; one argument whatever it holds
    std::string workingDirectory;  // drive-form or host path
    std::string environment;       // NAME=value entries, each ended by a NUL
    int standardInput = -1;        // -1: /dev/null
    int standardOutput = -1;
};

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess() { Stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;

    // Not running when it could not be started.
    static ChildProcess Start(const ChildLaunch& launch);

    // False once the child has ended (it is then reaped, and whatever it left behind
    // in its process group is ended too).
    bool IsRunning();
    // Ends the child and its process group at once; true when there was one to end.
    bool Stop();
    [[nodiscard]] bool Started() const { return pid_ > 0; }
    [[nodiscard]] int Pid() const { return pid_; }

private:
    explicit ChildProcess(int pid) : pid_(pid) {}
    void EndProcessGroup();

    int pid_ = -1;  // a pid_t, which is an int on Linux; kept so that no system header leaks
};

// SIGCHLD as a readable descriptor, so a child's end wakes the loop at once.
class ChildExitSignals {
public:
    ChildExitSignals();
    ~ChildExitSignals();
    ChildExitSignals(const ChildExitSignals&) = delete;
    ChildExitSignals& operator=(const ChildExitSignals&) = delete;

    [[nodiscard]] int Descriptor() const { return descriptor_; }
    // Takes the pending signals, so the descriptor is quiet until the next exit.
    void Drain();

private:
    int descriptor_ = -1;
};

}  // namespace platform
