#include "tests/support/Processes.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "tests/support/TestDirectory.h"

ProgramRun RunProgram(const std::vector<std::string>& argv, const std::map<std::string, std::string>& environment,
                      const std::string& inputFile) {
    std::vector<std::string> arguments = argv;
    std::vector<std::string> entries;
    for (const auto& [name, value] : environment) entries.push_back(name + "=" + value);
    std::vector<char*> argp;
    for (std::string& argument : arguments) argp.push_back(argument.data());
    argp.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& entry : entries) envp.push_back(entry.data());
    envp.push_back(nullptr);

    ProgramRun run;
    int output[2];
    if (pipe2(output, O_CLOEXEC) != 0) return run;
    const int input = open(inputFile.c_str(), O_RDONLY | O_CLOEXEC);
    const int nowhere = open("/dev/null", O_WRONLY | O_CLOEXEC);
    const pid_t child = fork();
    if (child == 0) {
        dup2(input, 0);
        dup2(output[1], 1);
        dup2(nowhere, 2);
        execve(argp[0], argp.data(), envp.data());
        _exit(127);
    }
    close(output[1]);
    close(input);
    close(nowhere);
    char buffer[65536];
    ssize_t got;
    while ((got = read(output[0], buffer, sizeof buffer)) > 0) run.output.append(buffer, static_cast<std::size_t>(got));
    close(output[0]);
    int status = 0;
    rusage usage{};
    if (child > 0 && wait4(child, &status, 0, &usage) == child) {
        run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.maxResidentKilobytes = usage.ru_maxrss;
    }
    return run;
}

bool ProcessGone(pid_t pid) {
    const std::string stat = ReadWholeFile("/proc/" + std::to_string(pid) + "/stat");
    if (stat.empty()) return true;
    const std::size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z';
}

bool WaitUntilGone(pid_t pid) {
    for (int i = 0; i < 500; ++i) {
        if (ProcessGone(pid)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}
