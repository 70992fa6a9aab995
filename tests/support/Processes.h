#pragma once
// Child processes a test starts and watches.
#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

struct ProgramRun {
    int exitStatus = -1;  // -1 when it did not exit normally
    std::string output;
    long maxResidentKilobytes = 0;
};
// Runs `argv` with exactly `environment`, standard input from `inputFile`, and waits.
ProgramRun RunProgram(const std::vector<std::string>& argv, const std::map<std::string, std::string>& environment,
                      const std::string& inputFile);

// Whether a process has ended: gone, or a zombie its parent has not reaped yet.
bool ProcessGone(pid_t pid);
// Waits up to five seconds for that.
bool WaitUntilGone(pid_t pid);
