// The station's Firebird database as the configurator host attaches it, through the published
// client API: a local file opened by the embedded engine, or a server's database named
// "host:path" or "host/port:path". Texts are exchanged in WIN1251.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace levrano::configurator {

struct TConnection {
    std::string database;  // file or "host[/port]:path"
    std::string user = "SYSDBA";
    std::string password;  // none: the client's own default (ISC_PASSWORD)
};

struct TStationTank {
    std::int32_t id;      // "TankId"
    std::int32_t number;  // "Number"
};

// One attachment, detached on destruction. Failures throw std::runtime_error with the server's
// text.
class TStationDatabase {
public:
    static TStationDatabase Attach(const TConnection& connection);
    // A new station database: the table "Tank" holding `tanks`, and the table "ErrorMsg" with the
    // texts of the tank table's key violations. Fails when the database exists.
    static TStationDatabase Create(const TConnection& connection, const std::vector<TStationTank>& tanks);

    TStationDatabase(TStationDatabase&& other) noexcept;
    TStationDatabase& operator=(TStationDatabase&&) = delete;
    ~TStationDatabase();

    // The client's handle of the attachment, as a configurator host hands it to the module.
    std::uint32_t Handle() const { return handle_; }

    // Runs one statement (Windows-1251 text) in its own transaction and commits it.
    void Execute(const std::string& sql);

private:
    explicit TStationDatabase(std::uint32_t handle) : handle_(handle) {}

    std::uint32_t handle_;
};

}  // namespace levrano::configurator
