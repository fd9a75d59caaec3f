// A transaction on an adopted attachment, started with parameters given as named text lines
// that become the client's transaction parameter block (TPB).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "db/isc_client.h"

namespace levrano {

class TIscDatabase;

// How a transaction ends; one byte, any other value ends nothing.
enum class TIscAction : std::uint8_t { Rollback = 0, Commit = 1, RollbackRetaining = 2, CommitRetaining = 3 };

class TIscTransaction : public TIscObject {
public:
    using TNotify = std::function<void(TIscTransaction* sender)>;
    using TEndNotify = std::function<void(TIscTransaction* sender, TIscAction action)>;

    explicit TIscTransaction(TIscDatabase* database);
    ~TIscTransaction() override;

    // Moves an inactive transaction to another database (none: nothing happens).
    void SetDatabase(TIscDatabase* database);
    TIscDatabase* Database() const { return database_; }

    // Lines "name" or "name=value"; empty lines and lines starting with "#" are skipped.
    void SetParams(std::vector<std::string> lines);
    const std::vector<std::string>& Params() const { return params_; }
    // The block of the last start; rebuilt when the lines or the database changed.
    const std::string& Tpb() const { return tpb_; }

    // Ends an active transaction by its default action first.
    void StartTransaction();
    void EndTransaction(TIscAction action, bool force);
    // Ends by the default action: Rollback or RollbackRetaining roll back, Commit or
    // CommitRetaining commit (with a rollback if the commit fails); the retaining forms are never
    // used for this automatic end.
    void Finish();
    bool Active() const { return handle_ != 0; }
    TIscHandle* Handle() { return &handle_; }

    void CheckStatus() override;
    void LibraryChanged(TIscObject* sender) override;
    void DatabaseClosing(TIscObject* sender) override;
    void OwnerFreed(TIscObject* sender) override;

    // One of its queries is freed; the last one leaving ends the transaction.
    void QueryFreed(TIscObject* query);

    TIscAction DefaultAction = TIscAction::Commit;
    TNotify BeforeStart;
    TNotify AfterStart;
    TNotify BeforeEnd;
    TEndNotify AfterEnd;

private:
    void BuildTpb();
    void JoinDatabase(TIscDatabase* database);
    void LeaveDatabase();

    bool paramsChanged_ = true;
    std::vector<std::string> params_;
    TIscDatabase* database_ = nullptr;  // not owned
    std::string tpb_;
    TIscHandle handle_ = 0;
};

}  // namespace levrano
