#pragma once
// Child processes a test starts and watches.
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

// How a child starts: its standard streams are files (/dev/null when empty).
struct ChildSetup {
    std::vector<std::string> argv;                   // argv[0] is looked up on PATH
    std::map<std::string, std::string> environment;  // over the test's own, or alone
    bool onlyThisEnvironment = false;
    std::string input, output, errors;
    std::string workingDirectory;  // the test's own when empty
};
// Starts the child; its pid, or -1.
pid_t StartChild(const ChildSetup& setup);

struct ProgramRun {
    int exitStatus = -1;  // -1 when it did not exit normally
    std::string output;
};
// Runs `argv` with exactly `environment`, standard input from `inputFile`, and waits.
ProgramRun RunProgram(const std::vector<std::string>& argv, const std::map<std::string, std::string>& environment,
                      const std::string& inputFile);

// Whether `condition` holds, asked every few milliseconds until `limit` has passed.
bool Eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit = std::chrono::seconds(5));

// Whether a process has ended: gone, or a zombie its parent has not reaped yet.
bool ProcessGone(pid_t pid);
// Waits up to five seconds for that.
inline bool WaitUntilGone(pid_t pid) {
    return Eventually([pid] { return ProcessGone(pid); });
}
