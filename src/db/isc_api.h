// The client API functions that the database layer calls, each bound by its exact name on its
// first call through the given library. A function that cannot be found is reported through
// IscErrorProc with code -1 and the line "<library file>:[<function>] <system text>"; the call
// then does not happen and yields the value noted.
#pragma once

#include <ibase.h>

#include "db/isc_client.h"

namespace levrano::bound {

ISC_LONG isc_interprete(TIscLibrary& library, ISC_SCHAR* buffer, ISC_STATUS** cursor);  // missing: 0
ISC_LONG isc_sqlcode(TIscLibrary& library, const ISC_STATUS* status);                    // missing: -1
ISC_LONG isc_vax_integer(TIscLibrary& library, const ISC_SCHAR* bytes, short length);    // missing: 0

// Every one below yields -1 when missing.
ISC_STATUS isc_start_multiple(TIscLibrary& library, ISC_STATUS* status, isc_tr_handle* transaction, short count,
                              void* blocks);
ISC_STATUS isc_commit_transaction(TIscLibrary& library, ISC_STATUS* status, isc_tr_handle* transaction);
ISC_STATUS isc_commit_retaining(TIscLibrary& library, ISC_STATUS* status, isc_tr_handle* transaction);
ISC_STATUS isc_rollback_transaction(TIscLibrary& library, ISC_STATUS* status, isc_tr_handle* transaction);
ISC_STATUS isc_rollback_retaining(TIscLibrary& library, ISC_STATUS* status, isc_tr_handle* transaction);
ISC_STATUS isc_detach_database(TIscLibrary& library, ISC_STATUS* status, isc_db_handle* database);
ISC_STATUS isc_dsql_alloc_statement2(TIscLibrary& library, ISC_STATUS* status, isc_db_handle* database,
                                     isc_stmt_handle* statement);
ISC_STATUS isc_dsql_prepare(TIscLibrary& library, ISC_STATUS* status, isc_tr_handle* transaction,
                            isc_stmt_handle* statement, unsigned short length, const ISC_SCHAR* sql,
                            unsigned short dialect, XSQLDA* output);
ISC_STATUS isc_dsql_describe(TIscLibrary& library, ISC_STATUS* status, isc_stmt_handle* statement,
                             unsigned short dialect, XSQLDA* output);
ISC_STATUS isc_dsql_describe_bind(TIscLibrary& library, ISC_STATUS* status, isc_stmt_handle* statement,
                                  unsigned short dialect, XSQLDA* input);
ISC_STATUS isc_dsql_execute(TIscLibrary& library, ISC_STATUS* status, isc_tr_handle* transaction,
                            isc_stmt_handle* statement, unsigned short dialect, const XSQLDA* input);
ISC_STATUS isc_dsql_fetch(TIscLibrary& library, ISC_STATUS* status, isc_stmt_handle* statement,
                          unsigned short dialect, const XSQLDA* output);
ISC_STATUS isc_dsql_sql_info(TIscLibrary& library, ISC_STATUS* status, isc_stmt_handle* statement, short itemLength,
                             const ISC_SCHAR* items, short bufferLength, ISC_SCHAR* buffer);
ISC_STATUS isc_dsql_free_statement(TIscLibrary& library, ISC_STATUS* status, isc_stmt_handle* statement,
                                   unsigned short option);

}  // namespace levrano::bound
