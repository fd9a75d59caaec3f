// Fetching 1,000,000 rows through TIscQuery (Open, Next, every column read with AsInteger or
// AsString) against a raw isc_dsql_fetch loop in C that reads the same columns, on the same
// embedded database, for a two-integer row and for a wide row that adds varchar(40),
// numeric(9,2) and timestamp. Reports rows/s (median of the runs, with min and max), the ratio
// of throughputs, and the heap bytes per row that the query's row cache holds against the
// packed row. Usage: bench_query_fetch [RUNS]
#include <ibase.h>
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "db/isc_database.h"
#include "db/isc_query.h"
#include "db/isc_transaction.h"
#include "summary.h"
#include "support/firebird_fixture.h"

namespace {

using namespace levrano;
using Clock = std::chrono::steady_clock;
constexpr int kRows = 1000000;

// What each loop reads: the integer columns summed, the text bytes counted. Both loops must
// agree on it, or they did not read the same rows.
struct TRead {
    double seconds = 0;
    long long integers = 0;
    long long textBytes = 0;
    long long other = 0;  // the remaining columns, read so that no loop can skip them
    bool operator==(const TRead& other) const { return integers == other.integers && textBytes == other.textBytes; }
};

struct TTable {
    const char* name;
    const char* columns;  // in select order; the first two are the integers
    bool wide;
};

void Check(const ISC_STATUS* status, const char* what) {
    if (status[0] == 1 && status[1] != 0)
        throw std::runtime_error(std::string(what) + ": " + test::FirebirdStatusText(status));
}

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

std::string Select(const TTable& table) { return std::string("select ") + table.columns + " from \"" + table.name + "\""; }

// The raw client loop: one buffer per column, as a C program would lay it out.
struct TRawColumns {
    ISC_LONG tankId = 0;
    ISC_LONG number = 0;
    char name[sizeof(ISC_USHORT) + 40] = {};
    ISC_LONG volume = 0;
    ISC_TIMESTAMP changed = {};
    short indicators[5] = {};

    void Bind(XSQLDA& output) {
        void* data[] = {&tankId, &number, name, &volume, &changed};
        for (int i = 0; i < output.sqld; ++i) {
            output.sqlvar[i].sqldata = static_cast<char*>(data[i]);
            output.sqlvar[i].sqlind = &indicators[i];
        }
    }

    void Read(TRead& read, bool wide) const {
        read.integers += tankId + number;
        if (!wide) return;
        ISC_USHORT length = 0;
        std::memcpy(&length, name, sizeof length);
        if (indicators[2] == 0 && length > 0) {
            read.textBytes += length;
            read.other += static_cast<unsigned char>(name[sizeof length + length - 1]);
        }
        read.other += indicators[3] == 0 ? volume : 0;
        read.other += indicators[4] == 0 ? changed.timestamp_date + changed.timestamp_time : 0;
    }
};

TRead RawFetch(isc_db_handle database, const TTable& table) {
    ISC_STATUS_ARRAY status;
    isc_tr_handle transaction = 0;
    isc_stmt_handle statement = 0;
    isc_start_transaction(status, &transaction, 1, &database, 0, nullptr);
    Check(status, "start");
    alignas(XSQLDA) char storage[XSQLDA_LENGTH(5)] = {};
    auto* output = reinterpret_cast<XSQLDA*>(storage);
    output->version = SQLDA_VERSION1;
    output->sqln = 5;
    TRawColumns columns;
    TRead read;

    const auto start = Clock::now();
    isc_dsql_alloc_statement2(status, &database, &statement);
    Check(status, "allocate");
    isc_dsql_prepare(status, &transaction, &statement, 0, Select(table).c_str(), SQL_DIALECT_V6, output);
    Check(status, "prepare");
    columns.Bind(*output);
    isc_dsql_execute(status, &transaction, &statement, SQL_DIALECT_V6, nullptr);
    Check(status, "execute");
    while (isc_dsql_fetch(status, &statement, SQL_DIALECT_V6, output) == 0) columns.Read(read, table.wide);
    Check(status, "fetch");
    read.seconds = Since(start);

    isc_dsql_free_statement(status, &statement, DSQL_drop);
    isc_commit_transaction(status, &transaction);
    return read;
}

// The query keeps every row; its cache is what the heap grew by while it held them.
TRead QueryFetch(TIscDatabase& database, const TTable& table, std::size_t& cacheBytes) {
    TIscTransaction transaction(&database);
    TIscQuery query(&transaction);
    transaction.StartTransaction();
    const std::size_t heapBefore = mallinfo2().uordblks;
    TRead read;

    const auto start = Clock::now();
    query.SetSQL(Select(table));
    query.Open();
    while (!query.Eof()) {
        read.integers += query.Field(0).AsInteger() + query.Field(1).AsInteger();
        if (table.wide) {
            read.textBytes += static_cast<long long>(query.Field(2).AsString().size());
            read.other += static_cast<long long>(query.Field(3).AsString().size() + query.Field(4).AsString().size());
        }
        query.Next();
    }
    read.seconds = Since(start);

    cacheBytes = mallinfo2().uordblks - heapBefore;
    if (query.RowCount() != kRows) throw std::runtime_error("rows missing");
    return read;
}

struct TRuns {
    std::vector<double> rawRowsPerSecond;
    std::vector<double> queryRowsPerSecond;
    std::vector<double> ratios;  // query's throughput / the raw loop's, run by run
    std::size_t cacheBytes = 0;
};

TRuns Measure(test::FirebirdDatabase& host, TIscDatabase& database, const TTable& table, int runs) {
    TRuns result;
    for (int run = 0; run < runs; ++run) {
        const TRead raw = RawFetch(host.Handle(), table);
        const TRead query = QueryFetch(database, table, result.cacheBytes);
        if (!(raw == query)) throw std::runtime_error("the two loops read different values");
        result.rawRowsPerSecond.push_back(kRows / raw.seconds);
        result.queryRowsPerSecond.push_back(kRows / query.seconds);
        result.ratios.push_back(raw.seconds / query.seconds);
        std::fprintf(stderr, "%s run %d: raw %.3f s, query %.3f s\n", table.name, run + 1, raw.seconds, query.seconds);
    }
    return result;
}

// The bytes of one row without padding: integers, an indicator for each nullable column, the
// varying text's length word and its bytes.
double PackedRowSize(test::FirebirdDatabase& host, const TTable& table) {
    if (!table.wide) return 2 * sizeof(ISC_LONG);
    const double nameBytes = static_cast<double>(host.QueryInteger("select sum(char_length(\"Name\")) from \"TankWide\"")) / kRows;
    return 2 * sizeof(ISC_LONG) + 3 * sizeof(short) + sizeof(ISC_USHORT) + nameBytes + sizeof(ISC_LONG) + sizeof(ISC_TIMESTAMP);
}

std::string Thousands(double rowsPerSecond) { return bench::Fixed(rowsPerSecond / 1000, 0) + "k"; }

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    try {
        const std::string fill = " as declare i integer = 0; begin while (i < " + std::to_string(kRows) + ") do begin insert into ";
        test::FirebirdDatabase host({
            "create table \"Tank\" (\"TankId\" integer not null, \"Number\" integer not null)",
            "create table \"TankWide\" (\"TankId\" integer not null, \"Number\" integer not null, \"Name\" varchar(40), "
            "\"Volume\" numeric(9,2), \"Changed\" timestamp)",
            "execute block" + fill + "\"Tank\" values (:i, -:i); i = i + 1; end end",
            "execute block" + fill +
                "\"TankWide\" values (:i, -:i, 'Tank ' || :i || ' of the north yard', :i / 100.0, "
                "dateadd(:i second to timestamp '2024-01-01 00:00:00')); i = i + 1; end end",
        });
        TIscDatabase database("gds32.dll");
        database.SetHandle(host.Handle());
        const TTable tables[] = {
            {"Tank", "\"TankId\", \"Number\"", false},
            {"TankWide", "\"TankId\", \"Number\", \"Name\", \"Volume\", \"Changed\"", true},
        };

        bench::Section("Query: TIscQuery against the raw isc_dsql_fetch loop",
                       std::to_string(kRows) + " rows from an embedded database, fetched by a raw loop in C and by TIscQuery "
                       "(Open, Next, integers with AsInteger, the other columns with AsString), alternately, " +
                           std::to_string(runs) + " runs each: median (min to max). Ratio = the query's throughput / the raw "
                           "loop's, run by run. Goal: ratio at least 0.9; cache at most the packed row + 16 bytes.");
        bench::TTable table({"rows", "raw loop, rows/s", "TIscQuery, rows/s", "ratio", "cache bytes per row", "packed row bytes"});
        for (const TTable& t : tables) {
            const TRuns r = Measure(host, database, t, runs);
            const bench::TSummary raw = bench::Summarize(r.rawRowsPerSecond);
            const bench::TSummary query = bench::Summarize(r.queryRowsPerSecond);
            table.Row({t.wide ? "wide: 2 integers, varchar(40), numeric(9,2), timestamp" : "\"TankId\", \"Number\" (integers)",
                       Thousands(raw.median) + " (" + Thousands(raw.min) + " to " + Thousands(raw.max) + ")",
                       Thousands(query.median) + " (" + Thousands(query.min) + " to " + Thousands(query.max) + ")",
                       bench::MedianText(bench::Summarize(r.ratios), 3), bench::Fixed(static_cast<double>(r.cacheBytes) / kRows, 1),
                       bench::Fixed(PackedRowSize(host, t), 1)});
        }
        table.Print();
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "query_fetch: %s\n", e.what());
        return 1;
    }
}
