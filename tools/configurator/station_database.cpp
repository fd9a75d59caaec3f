#include "configurator/station_database.h"

#include <ibase.h>

#include <stdexcept>
#include <utility>

#include "common/cp1251.h"
#include "host-kit/firebird_client.h"

namespace levrano::configurator {

namespace {

// A text inside single quotes in SQL.
std::string Literal(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("''") : std::string(1, c);
    return quoted + "'";
}

// The file itself; the attachment that creation leaves uses no connection character set, so it
// is closed and the caller attaches anew.
void CreateDatabaseFile(const TConnection& connection) {
    std::string sql = "create database " + Literal(connection.database) + " user " + Literal(connection.user);
    if (!connection.password.empty()) sql += " password " + Literal(connection.password);
    sql += " page_size 8192 default character set WIN1251";
    ISC_STATUS_ARRAY status;
    isc_db_handle created = 0;
    isc_tr_handle none = 0;
    isc_dsql_execute_immediate(status, &created, &none, 0, sql.c_str(), SQL_DIALECT_V6, nullptr);
    host_kit::CheckFirebirdStatus(status, "cannot create " + connection.database);
    isc_detach_database(status, &created);
    host_kit::CheckFirebirdStatus(status, "cannot close " + connection.database + " after creating it");
}

std::vector<std::string> StationSchema() {
    return {
        R"(create table "Tank" ("TankId" integer not null, "Number" integer not null,)"
        R"( constraint "PK_TANK" primary key ("TankId"), constraint "UQ_TANK_NUMBER" unique ("Number")))",
        R"(create table "ErrorMsg" ("ConstraintName" varchar(63) not null, "Msg" varchar(255),)"
        R"( constraint "PK_ERRORMSG" primary key ("ConstraintName")))",
        R"(insert into "ErrorMsg" values ('PK_TANK', )" + Literal(std::string("Резервуар с таким идентификатором уже есть"_cp)) + ")",
        R"(insert into "ErrorMsg" values ('UQ_TANK_NUMBER', )" + Literal(std::string("Резервуар с таким номером уже есть"_cp)) + ")",
    };
}

}  // namespace

TStationDatabase TStationDatabase::Attach(const TConnection& connection) {
    const std::string dpb = host_kit::AttachParameters(connection.user, connection.password);
    ISC_STATUS_ARRAY status;
    isc_db_handle handle = 0;
    isc_attach_database(status, 0, connection.database.c_str(), &handle, static_cast<short>(dpb.size()), dpb.data());
    host_kit::CheckFirebirdStatus(status, "cannot attach " + connection.database);
    return TStationDatabase(handle);
}

TStationDatabase TStationDatabase::Create(const TConnection& connection, const std::vector<TStationTank>& tanks) {
    CreateDatabaseFile(connection);
    TStationDatabase station = Attach(connection);
    for (const std::string& sql : StationSchema()) station.Execute(sql);
    for (const TStationTank& tank : tanks)
        station.Execute(R"(insert into "Tank" ("TankId", "Number") values ()" + std::to_string(tank.id) + ", " +
                        std::to_string(tank.number) + ")");
    return station;
}

TStationDatabase::TStationDatabase(TStationDatabase&& other) noexcept : handle_(std::exchange(other.handle_, 0)) {}

TStationDatabase::~TStationDatabase() {
    if (handle_ == 0) return;
    ISC_STATUS_ARRAY status;
    isc_db_handle handle = handle_;
    isc_detach_database(status, &handle);
}

void TStationDatabase::Execute(const std::string& sql) {
    ISC_STATUS_ARRAY status;
    isc_db_handle database = handle_;
    isc_tr_handle transaction = 0;
    isc_start_transaction(status, &transaction, 1, &database, 0, nullptr);
    host_kit::CheckFirebirdStatus(status, "cannot start a transaction");
    isc_dsql_execute_immediate(status, &database, &transaction, 0, sql.c_str(), SQL_DIALECT_V6, nullptr);
    if (status[0] == 1 && status[1] != 0) {
        const std::string failure = host_kit::FirebirdStatusText(status);
        isc_rollback_transaction(status, &transaction);
        throw std::runtime_error(sql + ": " + failure);
    }
    isc_commit_transaction(status, &transaction);
    host_kit::CheckFirebirdStatus(status, "cannot commit " + sql);
}

}  // namespace levrano::configurator
