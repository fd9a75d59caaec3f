// A Firebird server of the test's own, on loopback: its own root folder with a configuration, a
// security database with one administrator, and a free TCP port. The installed server's programs,
// messages and plugins are used as they are; its configuration and databases are not touched.
// Failures throw std::runtime_error with what went wrong.
//
//     if (!FirebirdServer::Installed()) GTEST_SKIP() << FirebirdServer::kMissing;
//     FirebirdServer server;
//     attach server.Address("station.fdb") with user kUser and password kPassword
#pragma once

#include <string>
#include <sys/types.h>

namespace levrano::test {

class FirebirdServer {
public:
    static constexpr const char* kUser = "SYSDBA";
    static constexpr const char* kPassword = "levrano";
    static constexpr const char* kMissing = "the Firebird server (/usr/sbin/firebird, package firebird3.0-server) is not installed";

    static bool Installed();

    // Starts the server and returns once it accepts connections.
    FirebirdServer();
    // Stops the server and removes its folder with every database in it.
    ~FirebirdServer();
    FirebirdServer(const FirebirdServer&) = delete;
    FirebirdServer& operator=(const FirebirdServer&) = delete;

    int Port() const { return port_; }
    // Where the server keeps its files; the tests' databases go here too.
    const std::string& Folder() const { return folder_; }
    // A database file in Folder() as a client names it on this server: "localhost/PORT:/path".
    std::string Address(const std::string& fileName) const;

private:
    void WriteConfiguration() const;
    void CreateSecurityDatabase() const;
    void Start();
    void WaitUntilListening();
    void Stop() noexcept;
    std::string Log() const;  // the server's own log, for error messages

    std::string folder_;
    int port_ = 0;
    pid_t pid_ = -1;
};

}  // namespace levrano::test
