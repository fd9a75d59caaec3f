#include "simulator_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace levrano::bench {

namespace {

// Reads up to the first newline: the program prints the slave's path as its first line.
std::string ReadLine(int fd) {
    std::string line;
    char c = 0;
    for (;;) {
        const ssize_t n = read(fd, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0 || c == '\n') return line;
        line += c;
    }
}

}  // namespace

SimulatorProcess::SimulatorProcess(const std::vector<std::string>& arguments) {
    int out[2];
    if (pipe(out) != 0) throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, out[1]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

    std::vector<std::string> args{LEVRANO_GAUGE_SIM_PROGRAM};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int failed = posix_spawn(&pid_, args[0].c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (failed != 0) {
        close(out[0]);
        pid_ = -1;
        throw std::runtime_error("cannot start " + args[0] + ": " + std::strerror(failed));
    }
    slave_ = ReadLine(out[0]);
    close(out[0]);
    if (slave_.empty()) {
        Terminate();
        throw std::runtime_error(args[0] + " named no line");
    }
}

SimulatorProcess::~SimulatorProcess() { Terminate(); }

void SimulatorProcess::Terminate() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
}

}  // namespace levrano::bench
