#include "support/firebird_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

extern char** environ;

namespace levrano::test {

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kServerBinary = "/usr/sbin/firebird";
constexpr const char* kIsql = "/usr/bin/isql-fb";
// The installed server's root: its messages, character sets and plugins are shared read-only.
constexpr const char* kInstalledRoot = "/usr/lib/x86_64-linux-gnu/firebird/3.0";
constexpr auto kStartLimit = 60s;
constexpr auto kStopLimit = 10s;

std::string MakeFolder() {
    std::string pattern = (fs::temp_directory_path() / "levrano-fbserver-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a folder for the Firebird server");
    return pattern;
}

// A port that nothing listens on now (the kernel's choice of a free one).
int FreeLoopbackPort() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    const bool found = s >= 0 && bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                       getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    if (s >= 0) close(s);
    if (!found) throw std::runtime_error("no free loopback port");
    return ntohs(address.sin_port);
}

bool Accepts(int port) {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    const bool connected = connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(s);
    return connected;
}

// The process's environment with the server's root, lock and temporary folders set to `folder`.
std::vector<std::string> ServerEnvironment(const std::string& folder) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        if (!entry.starts_with("FIREBIRD=") && !entry.starts_with("FIREBIRD_LOCK=") && !entry.starts_with("FIREBIRD_TMP="))
            env.push_back(entry);
    }
    env.push_back("FIREBIRD=" + folder);
    env.push_back("FIREBIRD_LOCK=" + folder + "/lock");
    env.push_back("FIREBIRD_TMP=" + folder + "/tmp");
    return env;
}

// Starts `argv` with the server's environment, standard input empty and both outputs to `log`.
pid_t Spawn(const std::vector<std::string>& argv, const std::string& folder, const std::string& log) {
    std::vector<std::string> env = ServerEnvironment(folder);
    std::vector<char*> args, envp;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    for (std::string& e : env) envp.push_back(e.data());
    args.push_back(nullptr);
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed) throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(failed));
    return pid;
}

std::string ReadText(const std::string& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

bool FirebirdServer::Installed() { return access(kServerBinary, X_OK) == 0; }

FirebirdServer::FirebirdServer() : folder_(MakeFolder()), port_(FreeLoopbackPort()) {
    try {
        WriteConfiguration();
        CreateSecurityDatabase();
        Start();
        WaitUntilListening();
    } catch (...) {
        Stop();
        throw;
    }
}

FirebirdServer::~FirebirdServer() { Stop(); }

std::string FirebirdServer::Address(const std::string& fileName) const {
    return "localhost/" + std::to_string(port_) + ":" + folder_ + "/" + fileName;
}

void FirebirdServer::WriteConfiguration() const {
    const fs::path installed(kInstalledRoot);
    for (const char* shared : {"firebird.msg", "plugins", "plugins.conf"})
        fs::create_symlink(installed / shared, fs::path(folder_) / shared);
    // The character sets' module must lie in this root itself: loaded through a link, it is
    // known by its real path only, and the server then lacks WIN1251 for connections.
    fs::create_directory(folder_ + "/intl");
    fs::create_symlink(installed / "intl/fbintl.conf", folder_ + "/intl/fbintl.conf");
    fs::copy_file(installed / "intl/libfbintl.so", folder_ + "/intl/libfbintl.so");
    fs::create_directory(folder_ + "/lock");
    fs::create_directory(folder_ + "/tmp");
    std::ofstream(folder_ + "/databases.conf");
    std::ofstream(folder_ + "/firebird.conf") << "RemoteServicePort = " << port_ << "\n"
                                              << "RemoteBindAddress = 127.0.0.1\n"
                                              << "SecurityDatabase = " << folder_ << "/security3.fdb\n";
}

// Made by the embedded engine of a separate isql process, which reads this server's root: the
// test process's own client keeps the system's configuration.
void FirebirdServer::CreateSecurityDatabase() const {
    const std::string script = folder_ + "/security.sql";
    std::ofstream(script) << "create database '" << folder_ << "/security3.fdb' user '" << kUser << "';\n"
                          << "create user " << kUser << " password '" << kPassword << "';\n"
                          << "commit;\n";
    const std::string log = folder_ + "/isql.log";
    const pid_t isql = Spawn({kIsql, "-b", "-q", "-i", script}, folder_, log);
    int status = 0;
    waitpid(isql, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("cannot create the server's security database: " + ReadText(log));
}

void FirebirdServer::Start() { pid_ = Spawn({kServerBinary}, folder_, folder_ + "/server.out"); }

void FirebirdServer::WaitUntilListening() {
    const auto limit = std::chrono::steady_clock::now() + kStartLimit;
    while (!Accepts(port_)) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            throw std::runtime_error("the Firebird server ended at start: " + Log());
        }
        if (std::chrono::steady_clock::now() > limit)
            throw std::runtime_error("the Firebird server did not listen on port " + std::to_string(port_) + ": " + Log());
        std::this_thread::sleep_for(20ms);
    }
}

// Asked to end first; killed only when it does not within the limit.
void FirebirdServer::Stop() noexcept {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        const auto limit = std::chrono::steady_clock::now() + kStopLimit;
        int status = 0;
        while (waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > limit) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &status, 0);
                break;
            }
            std::this_thread::sleep_for(20ms);
        }
        pid_ = -1;
    }
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
}

std::string FirebirdServer::Log() const { return ReadText(folder_ + "/server.out") + ReadText(folder_ + "/firebird.log"); }

}  // namespace levrano::test
