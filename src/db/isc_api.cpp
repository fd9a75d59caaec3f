#include "db/isc_api.h"

#include <type_traits>

#include "platform/dynlib.h"

namespace levrano::bound {

static_assert(std::is_same_v<TIscStatus, ISC_STATUS>);
static_assert(std::is_same_v<TIscHandle, FB_API_HANDLE>);

namespace {

// Slot order of TIscLibrary::Entries.
enum Function : int {
    kInterprete,
    kSqlCode,
    kStartMultiple,
    kCommitTransaction,
    kRollbackRetaining,
    kRollbackTransaction,
    kDetachDatabase,
    kDsqlExecute,
    kDsqlAllocStatement2,
    kDsqlPrepare,
    kDsqlDescribe,
    kDsqlDescribeBind,
    kDsqlFetch,
    kDsqlSqlInfo,
    kDsqlFreeStatement,
    kCommitRetaining,
    kVaxInteger,
};

constexpr const char* kNames[kIscFunctionCount] = {
    "isc_interprete",           "isc_sqlcode",           "isc_start_multiple",    "isc_commit_transaction",
    "isc_rollback_retaining",   "isc_rollback_transaction", "isc_detach_database", "isc_dsql_execute",
    "isc_dsql_alloc_statement2", "isc_dsql_prepare",     "isc_dsql_describe",     "isc_dsql_describe_bind",
    "isc_dsql_fetch",           "isc_dsql_sql_info",     "isc_dsql_free_statement", "isc_commit_retaining",
    "isc_vax_integer",
};

constexpr std::size_t kMaxPathLength = 255;

void ReportMissingEntry(const TIscLibrary& library, const char* name, const std::string& systemText) {
    const std::string file = DynamicLibraryPath(library.Module).substr(0, kMaxPathLength);
    IscErrorProc(-1, {file + ":[" + name + "] " + systemText});
}

// The entry of that function, looked up on first use; none after the failure was reported.
void* Entry(TIscLibrary& library, Function function) {
    std::atomic<void*>& slot = library.Entries[function];
    if (void* entry = slot.load(std::memory_order_acquire)) return entry;
    std::string error;
    void* entry = FindDynamicSymbol(library.Module, kNames[function], error);
    if (!entry) {
        ReportMissingEntry(library, kNames[function], error);
        return nullptr;
    }
    slot.store(entry, std::memory_order_release);
    return entry;
}

// Calls the entry as a function of the published type Signature, or yields `missing`.
template <typename Signature, typename Result, typename... Args>
Result Call(TIscLibrary& library, Function function, Result missing, Args... args) {
    void* entry = Entry(library, function);
    if (!entry) return missing;
    return reinterpret_cast<Signature*>(entry)(args...);
}

// isc_interprete is declared deprecated; its signature is spelled out to keep the build quiet.
using InterpreteSignature = ISC_LONG(ISC_SCHAR*, ISC_STATUS**);

}  // namespace

ISC_LONG isc_interprete(TIscLibrary& library, ISC_SCHAR* buffer, ISC_STATUS** cursor) {
    return Call<InterpreteSignature>(library, kInterprete, ISC_LONG{0}, buffer, cursor);
}

ISC_LONG isc_sqlcode(TIscLibrary& library, const ISC_STATUS* status) {
    return Call<decltype(::isc_sqlcode)>(library, kSqlCode, ISC_LONG{-1}, status);
}

ISC_LONG isc_vax_integer(TIscLibrary& library, const ISC_SCHAR* bytes, short length) {
    return Call<decltype(::isc_vax_integer)>(library, kVaxInteger, ISC_LONG{0}, bytes, length);
}

ISC_STATUS isc_start_multiple(TIscLibrary& library, ISC_STATUS* status, isc_tr_handle* transaction, short count,
                              void* blocks) {
    return Call<decltype(::isc_start_multiple)>(library, kStartMultiple, ISC_STATUS{-1}, status, transaction, count,
                                                blocks);
}

ISC_STATUS isc_commit_transaction(TIscLibrary& library, ISC_STATUS* status, isc_tr_handle* transaction) {
    return Call<decltype(::isc_commit_transaction)>(library, kCommitTransaction, ISC_STATUS{-1}, status, transaction);
}

ISC_STATUS isc_commit_retaining(TIscLibrary& library, ISC_STATUS* status, isc_tr_handle* transaction) {
    return Call<decltype(::isc_commit_retaining)>(library, kCommitRetaining, ISC_STATUS{-1}, status, transaction);
}

ISC_STATUS isc_rollback_transaction(TIscLibrary& library, ISC_STATUS* status, isc_tr_handle* transaction) {
    return Call<decltype(::isc_rollback_transaction)>(library, kRollbackTransaction, ISC_STATUS{-1}, status,
                                                      transaction);
}

ISC_STATUS isc_rollback_retaining(TIscLibrary& library, ISC_STATUS* status, isc_tr_handle* transaction) {
    return Call<decltype(::isc_rollback_retaining)>(library, kRollbackRetaining, ISC_STATUS{-1}, status, transaction);
}

ISC_STATUS isc_detach_database(TIscLibrary& library, ISC_STATUS* status, isc_db_handle* database) {
    return Call<decltype(::isc_detach_database)>(library, kDetachDatabase, ISC_STATUS{-1}, status, database);
}

ISC_STATUS isc_dsql_alloc_statement2(TIscLibrary& library, ISC_STATUS* status, isc_db_handle* database,
                                     isc_stmt_handle* statement) {
    return Call<decltype(::isc_dsql_alloc_statement2)>(library, kDsqlAllocStatement2, ISC_STATUS{-1}, status,
                                                       database, statement);
}

ISC_STATUS isc_dsql_prepare(TIscLibrary& library, ISC_STATUS* status, isc_tr_handle* transaction,
                            isc_stmt_handle* statement, unsigned short length, const ISC_SCHAR* sql,
                            unsigned short dialect, XSQLDA* output) {
    return Call<decltype(::isc_dsql_prepare)>(library, kDsqlPrepare, ISC_STATUS{-1}, status, transaction, statement,
                                              length, sql, dialect, output);
}

ISC_STATUS isc_dsql_describe(TIscLibrary& library, ISC_STATUS* status, isc_stmt_handle* statement,
                             unsigned short dialect, XSQLDA* output) {
    return Call<decltype(::isc_dsql_describe)>(library, kDsqlDescribe, ISC_STATUS{-1}, status, statement, dialect,
                                               output);
}

ISC_STATUS isc_dsql_describe_bind(TIscLibrary& library, ISC_STATUS* status, isc_stmt_handle* statement,
                                  unsigned short dialect, XSQLDA* input) {
    return Call<decltype(::isc_dsql_describe_bind)>(library, kDsqlDescribeBind, ISC_STATUS{-1}, status, statement,
                                                    dialect, input);
}

ISC_STATUS isc_dsql_execute(TIscLibrary& library, ISC_STATUS* status, isc_tr_handle* transaction,
                            isc_stmt_handle* statement, unsigned short dialect, const XSQLDA* input) {
    return Call<decltype(::isc_dsql_execute)>(library, kDsqlExecute, ISC_STATUS{-1}, status, transaction, statement,
                                              dialect, input);
}

ISC_STATUS isc_dsql_fetch(TIscLibrary& library, ISC_STATUS* status, isc_stmt_handle* statement,
                          unsigned short dialect, const XSQLDA* output) {
    return Call<decltype(::isc_dsql_fetch)>(library, kDsqlFetch, ISC_STATUS{-1}, status, statement, dialect, output);
}

ISC_STATUS isc_dsql_sql_info(TIscLibrary& library, ISC_STATUS* status, isc_stmt_handle* statement, short itemLength,
                             const ISC_SCHAR* items, short bufferLength, ISC_SCHAR* buffer) {
    return Call<decltype(::isc_dsql_sql_info)>(library, kDsqlSqlInfo, ISC_STATUS{-1}, status, statement, itemLength,
                                               items, bufferLength, buffer);
}

ISC_STATUS isc_dsql_free_statement(TIscLibrary& library, ISC_STATUS* status, isc_stmt_handle* statement,
                                   unsigned short option) {
    return Call<decltype(::isc_dsql_free_statement)>(library, kDsqlFreeStatement, ISC_STATUS{-1}, status, statement,
                                                     option);
}

}  // namespace levrano::bound
