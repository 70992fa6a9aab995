#include "tests/support/Processes.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "tests/support/TestDirectory.h"

namespace {

int OpenStream(const std::string& path, int flags) {
    return open(path.empty() ? "/dev/null" : path.c_str(), flags | O_CLOEXEC, 0600);
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

pid_t StartChild(const ChildSetup& setup) {
    // Everything the child needs is made before fork: after it, only plain system calls.
    std::vector<std::string> entries;
    for (char** entry = environ; !setup.onlyThisEnvironment && *entry != nullptr; ++entry) {
        const std::string text = *entry;
        if (setup.environment.count(text.substr(0, text.find('='))) == 0) entries.push_back(text);
    }
    for (const auto& [name, value] : setup.environment) entries.push_back(name + "=" + value);
    std::vector<std::string> arguments = setup.argv;
    const std::vector<char*> argv = Pointers(arguments);
    const std::vector<char*> envp = Pointers(entries);
    const int streams[3] = {OpenStream(setup.input, O_RDONLY), OpenStream(setup.output, O_WRONLY | O_CREAT | O_TRUNC),
                            OpenStream(setup.errors, O_WRONLY | O_CREAT | O_TRUNC)};
    const pid_t child = fork();
    if (child == 0) {
        for (int stream = 0; stream < 3; ++stream) dup2(streams[stream], stream);
        if (!setup.workingDirectory.empty() && chdir(setup.workingDirectory.c_str()) != 0) _exit(126);
        execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    for (const int stream : streams) close(stream);
    return child;
}

ProgramRun RunProgram(const std::vector<std::string>& argv, const std::map<std::string, std::string>& environment,
                      const std::string& inputFile) {
    const TestDirectory directory;
    const std::string output = directory / "output";
    ProgramRun run;
    const pid_t child = StartChild({argv, environment, true, inputFile, output, "", ""});
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child) run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.output = ReadWholeFile(output);
    return run;
}

bool ProcessGone(pid_t pid) {
    const std::string stat = ReadWholeFile("/proc/" + std::to_string(pid) + "/stat");
    if (stat.empty()) return true;
    const std::size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z';
}

bool Eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}
