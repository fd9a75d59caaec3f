// Transaction parameter blocks, starting and ending transactions, and the automatic end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/exception.h"
#include "db_session.h"

namespace levrano::test {
namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (int v : values) bytes += static_cast<char>(v);
    return bytes;
}

TEST(TransactionParameters, LinesBecomeTheParameterBlock) {
    const struct {
        std::vector<std::string> lines;
        std::string tpb;
    } cases[] = {
        {{}, Bytes({3})},
        {{"wait"}, Bytes({3, 6})},
        {{"WaIt"}, Bytes({3, 6})},
        {{"WAIT=forever"}, Bytes({3, 6})},
        {{"lock_read=TANK"}, Bytes({3, 10, 4}) + "TANK"},
        {{"LOCK_WRITE=TANK"}, Bytes({3, 11, 4}) + "TANK"},
        {{"", "# any comment", "#wait", "read"}, Bytes({3, 8})},
        {{"read_committed", "rec_version", "nowait", "write"}, Bytes({3, 15, 17, 7, 9})},
        {{"concurrency", "no_auto_undo"}, Bytes({3, 2, 20})},
    };
    DbSession session({"create table tank (id integer)"});
    for (const auto& c : cases) {
        session.transaction.SetParams(c.lines);
        session.transaction.StartTransaction();
        EXPECT_EQ(session.transaction.Tpb(), c.tpb) << ::testing::PrintToString(c.lines);
        EXPECT_TRUE(session.transaction.Active());
    }
}

TEST(TransactionParameters, LockWriteWithoutTableNameIsLeftToTheServer) {
    DbSession session;
    session.transaction.SetParams({"lock_write"});
    try {
        session.transaction.StartTransaction();
        FAIL() << "the server took an empty table name";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Code(), 335544330);  // invalid parameter in transaction parameter block
    }
    EXPECT_EQ(session.transaction.Tpb(), Bytes({3, 11, 0}));
    EXPECT_FALSE(session.transaction.Active());
}

TEST(TransactionParameters, UnknownNamesAreRefusedAndNothingStarts) {
    const struct {
        std::string line;
    } cases[] = {
        {" wait"},  // no blank is removed
        {"wait "},
        {"waiting"},
        {"lock_read=" + std::string(256, 'T')},  // longer than its one length byte can tell
    };
    DbSession session;
    for (const auto& c : cases) {
        session.transaction.SetParams({"read", c.line});
        try {
            session.transaction.StartTransaction();
            ADD_FAILURE() << "'" << c.line << "' accepted";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Code(), -1);
            EXPECT_EQ(e.Message(), "Unsupported tpb parameter: " + c.line + "\r\n");
        }
        EXPECT_FALSE(session.transaction.Active());
    }
    session.transaction.SetParams({"read"});
    session.transaction.StartTransaction();
    EXPECT_EQ(session.transaction.Tpb(), Bytes({3, 8}));
}

TEST(TransactionParameters, RefusedLineIsSkippedWhenTheHandlerClearsTheReport) {
    DbSession session;
    session.transaction.OnError = [](std::int32_t, TIscMessageLines&, bool& raise) { raise = false; };
    session.transaction.SetParams({"bogus", "wait"});
    session.transaction.StartTransaction();
    EXPECT_EQ(session.transaction.Tpb(), Bytes({3, 6}));
    EXPECT_TRUE(session.transaction.Active());
}

// A table, and a module transaction that has inserted one uncommitted row into it.
class TransactionEnds : public ::testing::Test {
protected:
    TransactionEnds() : session({"create table t (a integer)"}) {}

    void InsertRow() {
        if (!session.transaction.Active()) session.transaction.StartTransaction();
        session.query.SetSQL("insert into t values (1)");
        ASSERT_TRUE(session.query.Execute());
    }

    std::int64_t CommittedRows() { return session.host.QueryInteger("select count(*) from t"); }

    DbSession session;
};

TEST_F(TransactionEnds, FinishEndsByTheDefaultActionWithoutRetaining) {
    const struct {
        TIscAction defaultAction;
        bool activeAfter;
        std::int64_t committed;
    } cases[] = {
        {TIscAction::Rollback, false, 0},
        {TIscAction::Commit, false, 1},
        {TIscAction::RollbackRetaining, false, 0},  // rolls back for good
        {TIscAction::CommitRetaining, false, 1},    // commits for good
        {static_cast<TIscAction>(4), true, 0},       // no action at all
    };
    for (const auto& c : cases) {
        session.host.Execute("delete from t");
        session.transaction.DefaultAction = c.defaultAction;
        InsertRow();
        session.transaction.Finish();
        const int action = static_cast<int>(c.defaultAction);
        EXPECT_EQ(session.transaction.Active(), c.activeAfter) << action;
        if (session.transaction.Active()) session.transaction.EndTransaction(TIscAction::Rollback, false);
        EXPECT_EQ(CommittedRows(), c.committed) << action;
    }
}

TEST_F(TransactionEnds, RetainingActionsKeepTheTransaction) {
    InsertRow();
    session.transaction.EndTransaction(TIscAction::CommitRetaining, false);
    EXPECT_TRUE(session.transaction.Active());
    EXPECT_EQ(CommittedRows(), 1);
    InsertRow();
    session.transaction.EndTransaction(TIscAction::RollbackRetaining, false);
    EXPECT_TRUE(session.transaction.Active());
    session.transaction.EndTransaction(TIscAction::Commit, false);
    EXPECT_FALSE(session.transaction.Active());
    EXPECT_EQ(CommittedRows(), 1);
}

TEST_F(TransactionEnds, StartingAnActiveTransactionCommitsItFirst) {
    InsertRow();
    session.transaction.StartTransaction();
    EXPECT_TRUE(session.transaction.Active());
    EXPECT_EQ(CommittedRows(), 1);
}

TEST_F(TransactionEnds, FreeingAQueryWhileOthersRemainKeepsTheTransaction) {
    InsertRow();
    {
        TIscQuery other(&session.transaction);
    }
    EXPECT_TRUE(session.transaction.Active());
    EXPECT_EQ(CommittedRows(), 0);
}

TEST(TransactionEnd, FreeingTheOnlyQueryCommits) {
    FirebirdDatabase host({"create table t (a integer)"});
    TIscDatabase database("gds32.dll");
    database.SetHandle(host.Handle());
    TIscTransaction transaction(&database);
    {
        TIscQuery query(&transaction);
        query.SetSQL("insert into t values (5)");
        transaction.StartTransaction();
        ASSERT_TRUE(query.Execute());
    }
    EXPECT_FALSE(transaction.Active());
    EXPECT_EQ(host.QueryInteger("select a from t"), 5);
}

TEST_F(TransactionEnds, HandlersFollowStartAndEnd) {
    std::vector<std::string> events;
    session.transaction.BeforeStart = [&events](TIscTransaction* t) { events.push_back(t->Active() ? "before start, active" : "before start"); };
    session.transaction.AfterStart = [&events](TIscTransaction* t) { events.push_back(t->Active() ? "after start, active" : "after start"); };
    session.transaction.BeforeEnd = [&events](TIscTransaction*) { events.push_back("before end"); };
    session.transaction.AfterEnd = [&events](TIscTransaction*, TIscAction action) {
        events.push_back("after end " + std::to_string(static_cast<int>(action)));
    };
    session.transaction.StartTransaction();
    session.transaction.StartTransaction();
    session.transaction.EndTransaction(TIscAction::Rollback, false);
    EXPECT_EQ(events, (std::vector<std::string>{"before start", "after start, active", "before end", "after end 1",
                                                "before start", "after start, active", "before end", "after end 0"}));
}

// An "on transaction commit" trigger that refuses the commit when the transaction asks for it.
class RefusedCommit : public TransactionEnds {
protected:
    RefusedCommit() {
        session.host.Execute("create exception e_commit 'commit refused'");
        session.host.Execute(
            "create trigger refuse on transaction commit as begin"
            " if (rdb$get_context('USER_TRANSACTION', 'REFUSE') = '1') then exception e_commit; end");
    }

    void AskForRefusal() {
        InsertRow();
        session.query.SetSQL("select rdb$set_context('USER_TRANSACTION', 'REFUSE', '1') from rdb$database");
        session.query.Open();
    }
};

TEST_F(RefusedCommit, PlainCommitReportsAndKeepsTheTransaction) {
    AskForRefusal();
    try {
        session.transaction.EndTransaction(TIscAction::Commit, false);
        FAIL() << "commit did not fail";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Code(), 335544517);
        EXPECT_NE(e.Message().find("commit refused"), std::string::npos) << e.Message();
    }
    EXPECT_TRUE(session.transaction.Active());
    session.transaction.EndTransaction(TIscAction::Rollback, false);
}

TEST_F(RefusedCommit, FinishRollsBackAndEndsQuietly) {
    AskForRefusal();
    session.transaction.Finish();
    EXPECT_FALSE(session.transaction.Active());
    EXPECT_EQ(session.transaction.LastResult, 0);  // the rollback's result replaced the commit's
    EXPECT_EQ(CommittedRows(), 0);
}

TEST(TransactionUsage, StartWithoutDatabaseIsRefused) {
    TIscTransaction transaction(nullptr);
    try {
        transaction.StartTransaction();
        FAIL() << "started";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Code(), -1);
        EXPECT_EQ(e.Message(), "StartTransaction: Database = nil!\r\n");
    }
    EXPECT_FALSE(transaction.Active());
}

TEST(TransactionUsage, DatabaseAssignedLaterIsJoined) {
    FirebirdDatabase host;
    TIscDatabase database("gds32.dll");
    database.SetHandle(host.Handle());
    TIscTransaction transaction(nullptr);
    transaction.SetDatabase(&database);
    EXPECT_EQ(transaction.Library(), database.Library());
    EXPECT_EQ(database.Dependents(), std::vector<TIscObject*>{&transaction});
    transaction.StartTransaction();
    EXPECT_TRUE(transaction.Active());
    TIscDatabase other("gds32.dll");
    EXPECT_THROW(transaction.SetDatabase(&other), Exception);  // not while active
    EXPECT_EQ(transaction.Database(), &database);
}

}  // namespace
}  // namespace levrano::test
