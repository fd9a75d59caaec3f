// The configurator's road through the database layer on a fresh embedded database: a database
// object on "gds32.dll" that adopts the host's attachment, a transaction and a query.
#pragma once

#include <string>
#include <vector>

#include "db/isc_database.h"
#include "db/isc_query.h"
#include "db/isc_transaction.h"
#include "support/firebird_fixture.h"

namespace levrano::test {

struct DbSession {
    explicit DbSession(const std::vector<std::string>& setup = {}) : host(setup) {
        database.SetHandle(host.Handle());
    }

    // Runs `sql` in a freshly started transaction and stands on its first row.
    TIscQuery& Open(const std::string& sql) {
        query.SetSQL(sql);
        if (!transaction.Active()) transaction.StartTransaction();
        query.Open();
        return query;
    }

    FirebirdDatabase host;
    TIscDatabase database{"gds32.dll"};
    TIscTransaction transaction{&database};
    TIscQuery query{&transaction};
};

}  // namespace levrano::test
