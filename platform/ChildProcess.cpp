#include "platform/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <utility>
#include <vector>

#include "platform/FileHandle.h"
#include "platform/HostPath.h"

namespace platform {
namespace {

// Splits an interpreter command like a shell would: blanks separate words, double
// and single quotes group them, a backslash outside single quotes escapes.
std::vector<std::string> SplitCommand(std::string_view command) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    char quote = '\0';
    for (std::size_t i = 0; i < command.size(); ++i) {
        const char c = command[i];
        if (quote != '\0') {
            if (c == quote) {
                quote = '\0';
            } else if (c == '\\' && quote == '"' && i + 1 < command.size()) {
                word += command[++i];
            } else {
                word += c;
            }
        } else if (c == '"' || c == '\'') {
            quote = c;
            inWord = true;
        } else if (c == ' ' || c == '\t') {
            if (inWord) words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else {
            word += (c == '\\' && i + 1 < command.size()) ? command[++i] : c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(std::move(word));
    return words;
}

std::vector<std::string> SplitEnvironment(std::string_view block) {
    std::vector<std::string> entries;
    std::size_t start = 0;
    while (start < block.size()) {
        const std::size_t end = block.find('\0', start);
        const std::string_view entry = block.substr(start, end == std::string_view::npos ? end : end - start);
        if (entry.empty()) break;
        entries.emplace_back(entry);
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return entries;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    pointers.reserve(texts.size() + 1);
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// The spawn's attributes: its own session, a clean signal mask, default handlers.
struct SpawnAttributes {
    posix_spawnattr_t attributes{};
    SpawnAttributes() {
        posix_spawnattr_init(&attributes);
        sigset_t none;
        sigemptyset(&none);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        sigaddset(&defaults, SIGINT);
        sigaddset(&defaults, SIGTERM);
        sigaddset(&defaults, SIGCHLD);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    ~SpawnAttributes() { posix_spawnattr_destroy(&attributes); }
};

struct SpawnActions {
    posix_spawn_file_actions_t actions{};
    SpawnActions(const ChildLaunch& launch, const std::string& directory) {
        posix_spawn_file_actions_init(&actions);
        if (launch.standardInput >= 0) {
            // The server's files may be open non-blocking; a program is given the
            // ordinary blocking input it expects.
            ClearNonBlocking(launch.standardInput);
            posix_spawn_file_actions_adddup2(&actions, launch.standardInput, 0);
        } else {
            posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        }
        posix_spawn_file_actions_adddup2(&actions, launch.standardOutput, 1);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    }
    ~SpawnActions() { posix_spawn_file_actions_destroy(&actions); }
};

}  // namespace

ChildProcess::ChildProcess(ChildProcess&& other) noexcept : pid_(std::exchange(other.pid_, -1)) {}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        Stop();
        pid_ = std::exchange(other.pid_, -1);
    }
    return *this;
}

ChildProcess ChildProcess::Start(const ChildLaunch& launch) {
    // Mapped as every other file is, so the program found is the program started.
    const std::optional<std::string> program = ResolveHostPath(launch.program);
    const std::optional<std::string> directory = ResolveHostPath(launch.workingDirectory);
    if (!program || !directory || launch.standardOutput < 0) return ChildProcess();

    std::vector<std::string> arguments = SplitCommand(launch.interpreter);
    arguments.push_back(*program);
    std::vector<std::string> environment = SplitEnvironment(launch.environment);
    std::vector<char*> argv = Pointers(arguments);
    std::vector<char*> envp = Pointers(environment);

    SpawnAttributes attributes;
    SpawnActions actions(launch, *directory);
    pid_t pid = -1;
    // An interpreter is looked up on the server's PATH; a program is started by its path.
    const int failed =
        arguments.size() > 1
            ? posix_spawnp(&pid, argv[0], &actions.actions, &attributes.attributes, argv.data(), envp.data())
            : posix_spawn(&pid, argv[0], &actions.actions, &attributes.attributes, argv.data(), envp.data());
    if (failed != 0) return ChildProcess();
    return ChildProcess(pid);
}

bool ChildProcess::IsRunning() {
    if (pid_ <= 0) return false;
    int status = 0;
    const pid_t result = waitpid(pid_, &status, WNOHANG);
    if (result == 0) return true;
    // Ended (or cannot be told apart from ended): what it left running goes with it.
    EndProcessGroup();
    pid_ = -1;
    return false;
}

bool ChildProcess::Stop() {
    if (pid_ <= 0) return false;
    EndProcessGroup();
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return true;
}

void ChildProcess::EndProcessGroup() {
    kill(-pid_, SIGKILL);
}

ChildExitSignals::ChildExitSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGCHLD);
    sigprocmask(SIG_BLOCK, &set, nullptr);
    descriptor_ = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
}

ChildExitSignals::~ChildExitSignals() {
    if (descriptor_ >= 0) close(descriptor_);
}

void ChildExitSignals::Drain() {
    signalfd_siginfo info{};
    while (read(descriptor_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
    }
}

}  // namespace platform
