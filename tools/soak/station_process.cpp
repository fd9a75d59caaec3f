#include "soak/station_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>
#include <thread>

namespace levrano::soak {

StationProcess::StationProcess(const std::string& program, const std::vector<std::string>& args,
                               const std::string& outputFile) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (std::string& a : argv) pointers.push_back(a.data());
    pointers.push_back(nullptr);

    const int output = ::open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (output < 0) throw std::runtime_error("cannot create " + outputFile);
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(output, STDOUT_FILENO);
        ::dup2(output, STDERR_FILENO);
        ::execv(program.c_str(), pointers.data());
        ::_exit(127);
    }
    ::close(output);
    if (pid_ < 0) throw std::runtime_error("cannot start " + program);
}

StationProcess::~StationProcess() {
    if (!Running()) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
}

bool StationProcess::Running() {
    if (exitStatus_) return false;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) != pid_) return true;
    exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
}

std::optional<long> StationProcess::ResidentKiB() const {
    std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return std::nullopt;
}

std::optional<int> StationProcess::Stop(std::chrono::seconds patience) {
    if (Running()) ::kill(pid_, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (Running() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (Running()) return std::nullopt;  // the destructor kills it
    return exitStatus_;
}

}  // namespace levrano::soak
