#include "station/station_database.h"

#include <ibase.h>

#include <stdexcept>

namespace levrano::station {

namespace {

constexpr const char* kTankQuery = R"(select "TankId", "Number" from "Tank" order by "Number")";

std::string StatusText(const ISC_STATUS* status) {
    std::string text;
    char line[1024];
    const ISC_STATUS* cursor = status;
    while (fb_interpret(line, sizeof line, &cursor) > 0) {
        if (!text.empty()) text += "; ";
        text += line;
    }
    return text;
}

void Check(const ISC_STATUS* status, const std::string& what) {
    if (status[0] == 1 && status[1] != 0) throw std::runtime_error(what + ": " + StatusText(status));
}

std::string AttachParameters(const std::string& user, const std::string& password) {
    std::string dpb(1, static_cast<char>(isc_dpb_version1));
    const auto add = [&dpb](char tag, const std::string& value) {
        dpb += tag;
        dpb += static_cast<char>(value.size());
        dpb += value;
    };
    add(isc_dpb_user_name, user);
    if (!password.empty()) add(isc_dpb_password, password);
    add(isc_dpb_lc_ctype, "WIN1251");
    return dpb;
}

// The handles of one read, given back however it ends.
class Session {
public:
    Session(const std::string& database, const std::string& user, const std::string& password) {
        ISC_STATUS_ARRAY status;
        const std::string dpb = AttachParameters(user, password);
        isc_attach_database(status, 0, database.c_str(), &db_, static_cast<short>(dpb.size()), dpb.data());
        Check(status, "attaching " + database);
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
        Check(status, "starting a transaction");
        isc_dsql_alloc_statement2(status, &db_, &stmt_);
        Check(status, "allocating a statement");
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
    Check(status, kTankQuery);

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
    Check(status, kTankQuery);

    std::vector<TankRecord> tanks;
    for (;;) {
        const ISC_STATUS fetched = isc_dsql_fetch(status, session.Statement(), SQL_DIALECT_V6, row);
        if (fetched == 100) break;
        Check(status, kTankQuery);
        tanks.push_back({nulls[0] ? 0 : values[0], nulls[1] ? 0 : values[1]});
    }
    return tanks;
}

}  // namespace levrano::station
