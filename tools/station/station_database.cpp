#include "station/station_database.h"

#include <stdexcept>

#include "host-kit/firebird_client.h"

namespace levrano::station {

namespace {

constexpr const char* kTankQuery = R"(select "TankId", "Number" from "Tank" order by "Number")";

// The handles of one read, given back however it ends.
class Session {
public:
    Session(const std::string& database, const std::string& user, const std::string& password) {
        ISC_STATUS_ARRAY status;
        const std::string dpb = host_kit::AttachParameters(user, password);
        isc_attach_database(status, 0, database.c_str(), &db_, static_cast<short>(dpb.size()), dpb.data());
        host_kit::CheckFirebirdStatus(status, "attaching " + database);
    }
    ~Session() {
        ISC_STATUS_ARRAY status;
        if (stmt_) isc_dsql_free_statement(status, &stmt_, DSQL_drop);
        if (tr_) isc_rollback_transaction(status, &tr_);  // read only: nothing to keep
        if (db_) isc_detach_database(status, &db_);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // A transaction and a statement on the attachment; the destructor gives them back.
    void Begin() {
        ISC_STATUS_ARRAY status;
        isc_start_transaction(status, &tr_, 1, &db_, 0, nullptr);
        host_kit::CheckFirebirdStatus(status, "starting a transaction");
        isc_dsql_alloc_statement2(status, &db_, &stmt_);
        host_kit::CheckFirebirdStatus(status, "allocating a statement");
    }

    isc_tr_handle* Transaction() { return &tr_; }
    isc_stmt_handle* Statement() { return &stmt_; }

private:
    isc_db_handle db_ = 0;
    isc_tr_handle tr_ = 0;
    isc_stmt_handle stmt_ = 0;
};

}  // namespace

std::vector<TankRecord> ReadStationTanks(const std::string& database, const std::string& user,
                                         const std::string& password) {
    Session session(database, user, password);
    session.Begin();
    ISC_STATUS_ARRAY status;

    alignas(XSQLDA) char storage[XSQLDA_LENGTH(2)] = {};
    auto* row = reinterpret_cast<XSQLDA*>(storage);
    row->version = SQLDA_VERSION1;
    row->sqln = 2;
    isc_dsql_prepare(status, session.Transaction(), session.Statement(), 0, kTankQuery, SQL_DIALECT_V6, row);
    host_kit::CheckFirebirdStatus(status, kTankQuery);

    // Both columns are read as 32-bit integers, whatever integer type the table gives them.
    ISC_LONG values[2] = {};
    short nulls[2] = {};
    for (int i = 0; i < 2; ++i) {
        XSQLVAR& column = row->sqlvar[i];
        column.sqltype = SQL_LONG + 1;
        column.sqlscale = 0;
        column.sqllen = sizeof(ISC_LONG);
        column.sqldata = reinterpret_cast<char*>(&values[i]);
        column.sqlind = &nulls[i];
    }
    isc_dsql_execute(status, session.Transaction(), session.Statement(), SQL_DIALECT_V6, nullptr);
    host_kit::CheckFirebirdStatus(status, kTankQuery);

    std::vector<TankRecord> tanks;
    for (;;) {
        const ISC_STATUS fetched = isc_dsql_fetch(status, session.Statement(), SQL_DIALECT_V6, row);
        if (fetched == 100) break;
        host_kit::CheckFirebirdStatus(status, kTankQuery);
        tanks.push_back({nulls[0] ? 0 : values[0], nulls[1] ? 0 : values[1]});
    }
    return tanks;
}

}  // namespace levrano::station
