#include "tests/support/ServerProcess.h"

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "config/OptionsFile.h"

int FreePort() {
    const int probe = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    close(probe);
    return ntohs(address.sin_port);
}

ServerProcess::ServerProcess(ServerSettings settings, std::string drives, bool keepPort)
    : settings_(std::move(settings)), drives_(std::move(drives)) {
    if (!keepPort) settings_.Port = FreePort();
    optionsFile_ = home_.WriteFile("server.opt", FormatOptionsFile(settings_));
    tempDirectory_ = home_.MakeDirectory("tmp");
    home_.MakeDirectory("config");
}

ServerProcess::~ServerProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

bool ServerProcess::Start() {
    return StartAndWaitFor("Listening on Port: [" + std::to_string(settings_.Port) + "]");
}

bool ServerProcess::StartAndWaitFor(const std::string& text) {
    std::vector<std::string> arguments = arguments_.value_or(std::vector<std::string>{optionsFile_});
    arguments.insert(arguments.begin(), PELLORA_BINARY);
    std::map<std::string, std::string> environment = environment_;
    environment["PELLORA_DRIVES"] = drives_;
    environment["PELLORA_HEADLESS"] = "1";
    environment["TMPDIR"] = tempDirectory_;
    environment["XDG_CONFIG_HOME"] = home_ / "config";
    environment["HOME"] = home_.Path();
    pid_ =
        StartChild({arguments, environment, false, "", home_ / "stdout.txt", home_ / "stderr.txt", workingDirectory_});
    return WaitForOutput(text, std::chrono::seconds(10));
}

bool ServerProcess::Reaped() {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) != pid_) return false;
    pid_ = -1;
    exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return true;
}

bool ServerProcess::WaitForOutput(const std::string& text, std::chrono::milliseconds limit) {
    const auto written = [&] { return Stdout().find(text) != std::string::npos; };
    // A run that ends by itself may have written the text just before.
    return Eventually([&] { return written() || Reaped(); }, limit) && written();
}

int ServerProcess::Stop() {
    if (pid_ <= 0) return exitStatus_;
    kill(pid_, SIGTERM);
    return Eventually([this] { return Reaped(); }, std::chrono::seconds(10)) ? exitStatus_ : -1;
}

std::string ServerProcess::Stdout() const {
    return ReadWholeFile(home_ / "stdout.txt");
}
std::string ServerProcess::Stderr() const {
    return ReadWholeFile(home_ / "stderr.txt");
}

bool ServerProcess::Pause() const {
    return kill(pid_, SIGSTOP) == 0 && Eventually([this] {
               const std::string stat = ReadWholeFile("/proc/" + std::to_string(pid_) + "/stat");
               const std::size_t end = stat.rfind(')');
               return end != std::string::npos && end + 2 < stat.size() &&
                      (stat[end + 2] == 'T' || stat[end + 2] == 't');
           });
}

bool ServerProcess::Resume() const {
    return kill(pid_, SIGCONT) == 0;
}

int ServerProcess::OpenDescriptors() const {
    return static_cast<int>(TestDirectory::List("/proc/" + std::to_string(pid_) + "/fd").size());
}

std::vector<std::string> ServerProcess::TemporaryFiles() const {
    return TestDirectory::List(tempDirectory_);
}

bool ServerProcess::WaitForDescriptors(int count, std::chrono::milliseconds limit) const {
    return Eventually([&] { return OpenDescriptors() <= count; }, limit);
}
