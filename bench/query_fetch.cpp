// Fetches 1,000,000 two-integer rows through TIscQuery (Open, Next, AsInteger of both columns)
// and through a raw isc_dsql_fetch loop on the same embedded database, and reports the time of
// each (best of several runs) and the heap bytes that the query's row cache holds per row.
#include <ibase.h>
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "db/isc_database.h"
#include "db/isc_query.h"
#include "db/isc_transaction.h"
#include "support/firebird_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRows = 1000000;
constexpr int kRuns = 3;

struct Run {
    double milliseconds;
    long long checksum;
};

void Check(const ISC_STATUS* status, const char* what) {
    if (status[0] == 1 && status[1] != 0)
        throw std::runtime_error(std::string(what) + ": " + levrano::test::FirebirdStatusText(status));
}

double Since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

Run RawFetch(isc_db_handle database, const std::string& sql) {
    ISC_STATUS_ARRAY status;
    isc_tr_handle transaction = 0;
    isc_stmt_handle statement = 0;
    isc_start_transaction(status, &transaction, 1, &database, 0, nullptr);
    Check(status, "start");
    alignas(XSQLDA) char storage[XSQLDA_LENGTH(2)] = {};
    auto* output = reinterpret_cast<XSQLDA*>(storage);
    output->version = SQLDA_VERSION1;
    output->sqln = 2;
    ISC_LONG values[2] = {};
    short indicators[2] = {};

    const auto start = Clock::now();
    isc_dsql_alloc_statement2(status, &database, &statement);
    Check(status, "allocate");
    isc_dsql_prepare(status, &transaction, &statement, 0, sql.c_str(), SQL_DIALECT_V6, output);
    Check(status, "prepare");
    for (int i = 0; i < 2; ++i) {
        output->sqlvar[i].sqldata = reinterpret_cast<char*>(&values[i]);
        output->sqlvar[i].sqlind = &indicators[i];
    }
    isc_dsql_execute(status, &transaction, &statement, SQL_DIALECT_V6, nullptr);
    Check(status, "execute");
    long long checksum = 0;
    while (isc_dsql_fetch(status, &statement, SQL_DIALECT_V6, output) == 0) checksum += values[0] + values[1];
    Check(status, "fetch");
    const double elapsed = Since(start);

    isc_dsql_free_statement(status, &statement, DSQL_drop);
    isc_commit_transaction(status, &transaction);
    return {elapsed, checksum};
}

Run QueryFetch(levrano::TIscDatabase& database, const std::string& sql, std::size_t& cacheBytes) {
    levrano::TIscTransaction transaction(&database);
    levrano::TIscQuery query(&transaction);
    transaction.StartTransaction();
    const std::size_t heapBefore = mallinfo2().uordblks;

    const auto start = Clock::now();
    query.SetSQL(sql);
    query.Open();
    long long checksum = 0;
    while (!query.Eof()) {
        checksum += query.Field(0).AsInteger();
        checksum += query.Field(1).AsInteger();
        query.Next();
    }
    const double elapsed = Since(start);

    cacheBytes = mallinfo2().uordblks - heapBefore;
    if (query.RowCount() != kRows) throw std::runtime_error("rows missing");
    return {elapsed, checksum};
}

void Measure(levrano::test::FirebirdDatabase& host, const char* table, std::size_t packedRowSize) {
    const std::string sql = std::string("select a, b from ") + table;
    levrano::TIscDatabase database("gds32.dll");
    database.SetHandle(host.Handle());
    Run raw{1e300, 0};
    Run query{1e300, 0};
    std::size_t cacheBytes = 0;
    for (int run = 0; run < kRuns; ++run) {
        const Run r = RawFetch(host.Handle(), sql);
        const Run q = QueryFetch(database, sql, cacheBytes);
        if (r.checksum != q.checksum) throw std::runtime_error("the two loops read different values");
        raw = r.milliseconds < raw.milliseconds ? r : raw;
        query = q.milliseconds < query.milliseconds ? q : query;
    }
    std::printf("%s (%d rows, best of %d)\n", table, kRows, kRuns);
    std::printf("  raw isc_dsql_fetch loop : %8.1f ms  (%.0f rows/s)\n", raw.milliseconds, kRows / raw.milliseconds * 1000);
    std::printf("  TIscQuery Open/Next/AsInteger x2: %8.1f ms  (%.0f rows/s, %.2f x raw)\n", query.milliseconds,
                kRows / query.milliseconds * 1000, query.milliseconds / raw.milliseconds);
    std::printf("  row cache: %.2f heap bytes per row, packed row %zu bytes\n",
                static_cast<double>(cacheBytes) / kRows, packedRowSize);
}

}  // namespace

int main() {
    try {
        const std::string fill = " as declare i integer = 0; begin while (i < " + std::to_string(kRows) +
                                 ") do begin insert into ";
        levrano::test::FirebirdDatabase host({
            "create table pairs (a integer not null, b integer not null)",
            "create table nullable_pairs (a integer, b integer)",
            "execute block" + fill + "pairs values (:i, -:i); i = i + 1; end end",
            "execute block" + fill + "nullable_pairs values (:i, -:i); i = i + 1; end end",
        });
        Measure(host, "pairs", 2 * sizeof(ISC_LONG));
        Measure(host, "nullable_pairs", 2 * (sizeof(short) + sizeof(ISC_LONG)));
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "query_fetch: %s\n", e.what());
        return 1;
    }
}
