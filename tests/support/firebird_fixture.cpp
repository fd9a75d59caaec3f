#include "support/firebird_fixture.h"

#include <ibase.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "host-kit/firebird_client.h"

namespace levrano::test {

namespace {

std::string MakeTempFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/levrano-fb-XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder");
    return pattern;
}

// A statement in its own transaction; the statement handle stays with the caller.
class Transaction {
public:
    explicit Transaction(isc_db_handle* database) {
        ISC_STATUS_ARRAY status;
        isc_start_transaction(status, &handle_, 1, database, 0, nullptr);
        host_kit::CheckFirebirdStatus(status, "start transaction");
    }
    ~Transaction() {
        if (handle_ == 0) return;
        ISC_STATUS_ARRAY status;
        isc_rollback_transaction(status, &handle_);
    }
    void Commit() {
        ISC_STATUS_ARRAY status;
        isc_commit_transaction(status, &handle_);
        host_kit::CheckFirebirdStatus(status, "commit");
    }
    isc_tr_handle* Handle() { return &handle_; }

private:
    isc_tr_handle handle_ = 0;
};

}  // namespace

FirebirdDatabase::FirebirdDatabase(const std::vector<std::string>& setup)
    : folder_(MakeTempFolder()), path_(folder_ + "/station.fdb") {
    ISC_STATUS_ARRAY status;
    isc_db_handle created = 0;
    isc_tr_handle none = 0;
    const std::string create =
        "create database '" + path_ + "' user 'SYSDBA' page_size 8192 default character set WIN1251";
    isc_dsql_execute_immediate(status, &created, &none, 0, create.c_str(), SQL_DIALECT_V6, nullptr);
    host_kit::CheckFirebirdStatus(status, "create database " + path_);
    isc_detach_database(status, &created);
    host_kit::CheckFirebirdStatus(status, "detach after creation");

    const std::string dpb = host_kit::AttachParameters("SYSDBA", "");
    isc_attach_database(status, 0, path_.c_str(), &handle_, static_cast<short>(dpb.size()), dpb.data());
    host_kit::CheckFirebirdStatus(status, "attach " + path_);
    for (const std::string& sql : setup) Execute(sql);
}

FirebirdDatabase::~FirebirdDatabase() {
    ISC_STATUS_ARRAY status;
    if (handle_ != 0) isc_drop_database(status, &handle_);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

void FirebirdDatabase::Execute(const std::string& sql) {
    Transaction transaction(&handle_);
    ISC_STATUS_ARRAY status;
    isc_dsql_execute_immediate(status, &handle_, transaction.Handle(), 0, sql.c_str(), SQL_DIALECT_V6, nullptr);
    host_kit::CheckFirebirdStatus(status, sql);
    transaction.Commit();
}

std::int64_t FirebirdDatabase::QueryInteger(const std::string& sql) {
    Transaction transaction(&handle_);
    ISC_STATUS_ARRAY status;
    isc_stmt_handle statement = 0;
    isc_dsql_alloc_statement2(status, &handle_, &statement);
    host_kit::CheckFirebirdStatus(status, "allocate statement");

    alignas(XSQLDA) char storage[XSQLDA_LENGTH(1)] = {};
    auto* output = reinterpret_cast<XSQLDA*>(storage);
    output->version = SQLDA_VERSION1;
    output->sqln = 1;
    ISC_INT64 value = 0;
    short indicator = 0;
    isc_dsql_prepare(status, transaction.Handle(), &statement, 0, sql.c_str(), SQL_DIALECT_V6, output);
    host_kit::CheckFirebirdStatus(status, sql);
    output->sqlvar[0].sqltype = SQL_INT64 + 1;
    output->sqlvar[0].sqlscale = 0;
    output->sqlvar[0].sqllen = sizeof value;
    output->sqlvar[0].sqldata = reinterpret_cast<char*>(&value);
    output->sqlvar[0].sqlind = &indicator;
    isc_dsql_execute(status, transaction.Handle(), &statement, SQL_DIALECT_V6, nullptr);
    host_kit::CheckFirebirdStatus(status, sql);
    const ISC_STATUS fetched = isc_dsql_fetch(status, &statement, SQL_DIALECT_V6, output);
    if (fetched != 0) host_kit::CheckFirebirdStatus(status, sql);
    isc_dsql_free_statement(status, &statement, DSQL_drop);
    if (fetched != 0) throw std::runtime_error(sql + ": no row");
    return indicator == -1 ? 0 : value;
}

void FirebirdDatabase::StoreIntegerArray(const std::string& table, const std::string& column, std::vector<int> values) {
    Transaction transaction(&handle_);
    ISC_STATUS_ARRAY status;
    ISC_ARRAY_DESC bounds;
    isc_array_lookup_bounds(status, &handle_, transaction.Handle(), table.c_str(), column.c_str(), &bounds);
    host_kit::CheckFirebirdStatus(status, "array bounds of " + table + "." + column);
    ISC_QUAD id{};
    ISC_LONG length = static_cast<ISC_LONG>(values.size() * sizeof(int));
    isc_array_put_slice(status, &handle_, transaction.Handle(), &id, &bounds, values.data(), &length);
    host_kit::CheckFirebirdStatus(status, "array slice of " + table + "." + column);

    alignas(XSQLDA) char storage[XSQLDA_LENGTH(1)] = {};
    auto* input = reinterpret_cast<XSQLDA*>(storage);
    input->version = SQLDA_VERSION1;
    input->sqln = input->sqld = 1;
    input->sqlvar[0].sqltype = SQL_ARRAY;
    input->sqlvar[0].sqllen = sizeof id;
    input->sqlvar[0].sqldata = reinterpret_cast<char*>(&id);
    const std::string update = "update " + table + " set " + column + " = ?";
    isc_dsql_execute_immediate(status, &handle_, transaction.Handle(), 0, update.c_str(), SQL_DIALECT_V6, input);
    host_kit::CheckFirebirdStatus(status, update);
    transaction.Commit();
}

}  // namespace levrano::test
