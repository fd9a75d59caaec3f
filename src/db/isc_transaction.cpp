#include "db/isc_transaction.h"

#include <ibase.h>

#include "common/exception.h"
#include "db/isc_api.h"
#include "db/isc_database.h"

namespace levrano {

namespace {

// Parameter names in the order of their published TPB codes (code = position + 1).
constexpr std::string_view kTpbNames[] = {
    "consistency", "concurrency", "shared",       "protected",      "exclusive",        "wait",         "nowait",
    "read",        "write",       "lock_read",    "lock_write",     "verb_time",        "commit_time",  "ignore_limbo",
    "read_committed", "autocommit", "rec_version", "no_rec_version", "restart_requests", "no_auto_undo",
};
static_assert(std::size(kTpbNames) == isc_tpb_no_auto_undo);

// The TPB code of a parameter name, 0 for an unknown one.
int TpbCode(std::string name) {
    for (char& c : name)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    for (std::size_t i = 0; i < std::size(kTpbNames); ++i)
        if (kTpbNames[i] == name) return static_cast<int>(i) + 1;
    return 0;
}

bool TakesTableName(int code) { return code == isc_tpb_lock_read || code == isc_tpb_lock_write; }

// One transaction element block as isc_start_multiple reads it.
struct TransactionBlock {
    isc_db_handle* database;
    int tpbLength;
    const char* tpb;
};

}  // namespace

TIscTransaction::TIscTransaction(TIscDatabase* database) { SetDatabase(database); }

TIscTransaction::~TIscTransaction() {
    try {
        Finish();
    } catch (const Exception&) {
        // A destructor cannot report; a failed commit was already followed by a rollback.
    }
    for (TIscObject* query : std::vector<TIscObject*>(Dependents())) query->OwnerFreed(this);
    LeaveDatabase();
}

void TIscTransaction::SetDatabase(TIscDatabase* database) {
    if (!database || database == database_) return;
    if (Active()) {
        RaiseError(-1, "SetDatabase: Transaction is active!");
        return;
    }
    LeaveDatabase();
    JoinDatabase(database);
}

void TIscTransaction::JoinDatabase(TIscDatabase* database) {
    database_ = database;
    SetLibrary(database->Library());
    database->AddDependent(this);
    paramsChanged_ = true;
}

void TIscTransaction::LeaveDatabase() {
    if (database_) database_->RemoveDependent(this);
    database_ = nullptr;
}

void TIscTransaction::SetParams(std::vector<std::string> lines) {
    params_ = std::move(lines);
    paramsChanged_ = true;
}

void TIscTransaction::BuildTpb() {
    std::string tpb(1, static_cast<char>(isc_tpb_version3));
    for (const std::string& line : params_) {
        if (line.empty() || line[0] == '#') continue;
        const std::size_t equals = line.find('=');
        const std::string value = equals == std::string::npos ? std::string() : line.substr(equals + 1);
        const int code = TpbCode(line.substr(0, equals));
        // A table name longer than its one length byte would corrupt the block.
        if (code == 0 || (TakesTableName(code) && value.size() > 255)) {
            RaiseError(-1, "Unsupported tpb parameter: " + line);
            continue;
        }
        tpb += static_cast<char>(code);
        if (TakesTableName(code)) {
            tpb += static_cast<char>(value.size());
            tpb += value;
        }
    }
    tpb_ = std::move(tpb);
    paramsChanged_ = false;
}

void TIscTransaction::StartTransaction() {
    if (!database_) {
        RaiseError(-1, "StartTransaction: Database = nil!");
        return;
    }
    Finish();
    if (BeforeStart) BeforeStart(this);
    if (paramsChanged_) BuildTpb();
    TransactionBlock block{database_->Handle(), static_cast<int>(tpb_.size()), tpb_.data()};
    {
        std::lock_guard<std::recursive_mutex> guard(Library()->Lock);
        LastResult = bound::isc_start_multiple(*Library(), Status.data(), &handle_, 1, &block);
        CheckStatus();
    }
    if (Active() && AfterStart) AfterStart(this);
}

void TIscTransaction::EndTransaction(TIscAction action, bool force) {
    if (!Active()) return;
    LastResult = 0;
    if (BeforeEnd) BeforeEnd(this);
    {
        std::lock_guard<std::recursive_mutex> guard(Library()->Lock);
        TIscLibrary& library = *Library();
        switch (action) {
            case TIscAction::Rollback:
                LastResult = bound::isc_rollback_transaction(library, Status.data(), &handle_);
                break;
            case TIscAction::Commit:
                LastResult = bound::isc_commit_transaction(library, Status.data(), &handle_);
                if (LastResult > 0 && force) LastResult = bound::isc_rollback_transaction(library, Status.data(), &handle_);
                break;
            case TIscAction::RollbackRetaining:
                LastResult = bound::isc_rollback_retaining(library, Status.data(), &handle_);
                break;
            case TIscAction::CommitRetaining:
                LastResult = bound::isc_commit_retaining(library, Status.data(), &handle_);
                break;
        }
        // A forced end forgets the transaction even when the server could not end it.
        if (force && (action == TIscAction::Rollback || action == TIscAction::Commit)) handle_ = 0;
        CheckStatus();
    }
    if (AfterEnd) AfterEnd(this, action);
}

void TIscTransaction::Finish() {
    if (!Active()) return;
    switch (DefaultAction) {
        case TIscAction::Rollback:
        case TIscAction::RollbackRetaining:
            EndTransaction(TIscAction::Rollback, true);
            break;
        case TIscAction::Commit:
        case TIscAction::CommitRetaining:
            EndTransaction(TIscAction::Commit, true);
            break;
    }
}

void TIscTransaction::CheckStatus() { CheckStatusWithNetworkLoss(*this); }

void TIscTransaction::LibraryChanged(TIscObject* sender) {
    if (sender != database_) return;
    SetLibrary(database_->Library());
    for (TIscObject* query : Dependents()) query->LibraryChanged(this);
}

void TIscTransaction::DatabaseClosing(TIscObject*) {
    Finish();
    for (TIscObject* query : std::vector<TIscObject*>(Dependents())) query->DatabaseClosing(this);
}

void TIscTransaction::OwnerFreed(TIscObject* sender) {
    if (sender == database_) database_ = nullptr;
}

void TIscTransaction::QueryFreed(TIscObject* query) {
    RemoveDependent(query);
    if (Dependents().empty()) Finish();
}

}  // namespace levrano
