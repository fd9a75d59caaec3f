// Executing statements, fetching into the row cache and moving over the rows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/exception.h"
#include "db_session.h"

namespace levrano::test {
namespace {

// A table of `rows` rows with id 0.. and a varying text of varying length, and a counter of
// the rows that the query fetched from the server.
class QueryRows : public ::testing::Test {
protected:
    explicit QueryRows(int rows = 5) : session({"create table r (id integer not null, txt varchar(60))"}) {
        if (rows > 0)
            session.host.Execute("execute block as declare i integer = 0; begin while (i < " + std::to_string(rows) +
                                 ") do begin insert into r values (:i, substring(rpad('', 60, 'abcdefghij') from 1 for"
                                 " mod(:i, 61))); i = i + 1; end end");
        session.query.OnFetch = [this](TIscQuery*, int, bool&) { ++fetches; };
    }

    static std::string TextOf(int id) { return std::string("abcdefghijabcdefghijabcdefghijabcdefghijabcdefghijabcdefghij").substr(0, id % 61); }

    TIscQuery& OpenAll() { return session.Open("select id, txt from r order by id"); }

    DbSession session;
    int fetches = 0;
};

TEST_F(QueryRows, LoopReadsEveryRowOnceThenEof) {
    TIscQuery& query = OpenAll();
    std::vector<int> ids;
    while (!query.Eof()) {
        ids.push_back(query.Field(0).AsInteger());
        EXPECT_EQ(query.Field(1).AsString(), TextOf(ids.back()));
        query.Next();
    }
    EXPECT_EQ(ids, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(fetches, 5);
    EXPECT_EQ(query.CurrentRow(), 5);  // one past the last stored row
}

TEST_F(QueryRows, FirstAfterSeveralRowsComesFromTheCache) {
    TIscQuery& query = OpenAll();
    query.Next();
    query.Next();
    ASSERT_EQ(query.Field(0).AsInteger(), 2);
    ASSERT_EQ(fetches, 3);
    query.First();
    EXPECT_EQ(query.CurrentRow(), 0);
    EXPECT_EQ(query.Field(0).AsInteger(), 0);
    EXPECT_EQ(query.Field(1).AsString(), "");
    EXPECT_EQ(fetches, 3);
    query.Next();
    EXPECT_EQ(query.Field(0).AsInteger(), 1);
    EXPECT_EQ(query.Field(1).AsString(), "a");
    EXPECT_EQ(fetches, 3);
}

TEST_F(QueryRows, NextAfterEofChangesNothing) {
    TIscQuery& query = OpenAll();
    while (!query.Eof()) query.Next();
    const int current = query.CurrentRow();
    const int rows = query.RowCount();
    query.Next();
    query.Next();
    EXPECT_TRUE(query.Eof());
    EXPECT_EQ(query.CurrentRow(), current);
    EXPECT_EQ(query.RowCount(), rows);
    EXPECT_EQ(fetches, 5);
}

TEST_F(QueryRows, WalkingTheCacheAgainEndsOnTheLastRow) {
    TIscQuery& query = OpenAll();
    while (!query.Eof()) query.Next();
    query.First();
    int seen = 0;
    while (!query.Eof()) {
        ++seen;
        query.Next();
    }
    EXPECT_EQ(seen, 5);
    EXPECT_EQ(query.CurrentRow(), 4);
    EXPECT_EQ(query.Field(0).AsInteger(), 4);  // the last row is loaded again
    EXPECT_EQ(fetches, 5);
}

TEST_F(QueryRows, SameSqlTextKeepsStatementAndRows) {
    TIscQuery& query = OpenAll();
    query.Next();
    query.SetSQL("select id, txt from r order by id");
    EXPECT_TRUE(query.Prepared());
    EXPECT_EQ(query.RowCount(), 2);
    EXPECT_EQ(query.CurrentRow(), 1);
    EXPECT_EQ(query.Field(0).AsInteger(), 1);
    query.SetSQL("select id from r");
    EXPECT_FALSE(query.Prepared());
}

TEST_F(QueryRows, MoveToFetchesForwardAndReturnsFromTheCache) {
    TIscQuery& query = OpenAll();
    int moves = 0;
    query.OnMove = [&moves](TIscQuery*) { ++moves; };
    query.MoveTo(3);
    EXPECT_EQ(query.CurrentRow(), 3);
    EXPECT_EQ(query.Field(0).AsInteger(), 3);
    EXPECT_EQ(fetches, 4);
    EXPECT_EQ(moves, 1);  // once for the move, not per fetched row
    query.MoveTo(1);
    EXPECT_EQ(query.Field(1).AsString(), "a");
    EXPECT_EQ(fetches, 4);
    query.MoveTo(99);
    EXPECT_TRUE(query.Eof());
    EXPECT_EQ(fetches, 5);
    query.MoveTo(-1);
    EXPECT_EQ(query.CurrentRow(), 5);
}

TEST_F(QueryRows, FetchHandlerCanStopFetching) {
    session.query.OnFetch = [this](TIscQuery*, int rowCount, bool& abort) {
        ++fetches;
        abort = rowCount == 2;
    };
    TIscQuery& query = OpenAll();
    query.MoveTo(4);
    EXPECT_EQ(query.RowCount(), 2);
    EXPECT_EQ(query.CurrentRow(), 1);
    EXPECT_FALSE(query.Eof());
}

class EmptyResult : public QueryRows {
protected:
    EmptyResult() : QueryRows(0) {}
};

TEST_F(EmptyResult, EofAtOnceAndTheLoopNeverRuns) {
    TIscQuery& query = OpenAll();
    EXPECT_TRUE(query.Eof());
    int iterations = 0;
    while (!query.Eof()) {
        ++iterations;
        query.Next();
    }
    EXPECT_EQ(iterations, 0);
    EXPECT_EQ(query.RowCount(), 0);
    query.First();  // stays on the empty result
    EXPECT_TRUE(query.Eof());
}

class ManyRows : public QueryRows {
protected:
    ManyRows() : QueryRows(10000) {}
};

// More rows than one block of row slots, with texts of every length: each row comes back intact.
TEST_F(ManyRows, RowsAcrossSlotBlocksComeBackIntact) {
    TIscQuery& query = OpenAll();
    while (!query.Eof()) query.Next();
    ASSERT_EQ(query.RowCount(), 10000);
    for (int id : {0, 1, 60, 61, 4095, 4096, 4097, 8191, 8192, 9999, 17}) {
        query.MoveTo(id);
        EXPECT_EQ(query.Field(0).AsInteger(), id);
        EXPECT_EQ(query.Field(1).AsString(), TextOf(id)) << id;
    }
    EXPECT_EQ(fetches, 10000);
}

TEST(QueryState, NextOnANeverExecutedQueryDoesNothing) {
    DbSession session;
    session.query.SetSQL("select 1 from rdb$database");
    session.query.Next();
    EXPECT_TRUE(session.query.Eof());
    EXPECT_TRUE(session.query.Field(0).IsNull());
    EXPECT_EQ(session.query.Field(0).AsInteger(), 0);
    session.query.First();
    session.query.MoveTo(3);
    EXPECT_EQ(session.query.RowCount(), 0);
}

TEST(QueryState, ReadsAfterUnprepareAreEmpty) {
    DbSession session;
    TIscQuery& query = session.Open("select 42, 'text' from rdb$database");
    ASSERT_EQ(query.Field(0).AsInteger(), 42);
    query.Unprepare();
    EXPECT_FALSE(query.Prepared());
    EXPECT_TRUE(query.Field(0).IsNull());
    EXPECT_EQ(query.Field(0).AsInteger(), 0);
    EXPECT_EQ(query.Field(1).AsString(), "");
    query.Next();
    query.First();
    EXPECT_EQ(query.Field(0).AsInteger(), 0);
}

TEST(QueryState, ReadsAfterAFailedPreparationAreEmpty) {
    DbSession session;
    TIscQuery& query = session.Open("select 1, 2, 3 from rdb$database");
    query.SetSQL("select a, b, c, d, e from no_such_table");
    EXPECT_THROW(query.Open(), Exception);
    EXPECT_TRUE(query.Field(4).IsNull());
    EXPECT_EQ(query.Field(2).AsInteger(), 0);
    query.Next();
    EXPECT_TRUE(query.Eof());
}

TEST(QueryState, ParameterMarkersAreCountedAndNamed) {
    const struct {
        const char* sql;
        const char* processed;
        std::vector<std::string> names;
    } cases[] = {
        {"where A = ?val and B = ?", "where A = ? and B = ?", {"val", ""}},
        {"select ?a?b from t", "select ?? from t", {"a", "b"}},
        {"x = ?$p_1) and y = ?Z9", "x = ?) and y = ?", {"$p_1", "Z9"}},
        {"select 1 from rdb$database", "select 1 from rdb$database", {}},
    };
    DbSession session;
    for (const auto& c : cases) {
        session.query.SetSQL(c.sql);
        EXPECT_EQ(session.query.ProcessedSQL(), c.processed) << c.sql;
        EXPECT_EQ(session.query.ParamNames(), c.names) << c.sql;
    }
}

TEST(QueryState, UnsetParametersAreSentAsNull) {
    DbSession session({"create table p (a integer)", "insert into p values (null)", "insert into p values (1)"});
    TIscQuery& query = session.Open("select count(*) from p where a is distinct from ?v");
    EXPECT_EQ(query.ParamNames(), std::vector<std::string>{"v"});
    EXPECT_EQ(query.Field(0).AsInteger(), 1);  // only the row that is not null differs from NULL
}

TEST(QueryState, ExecuteRunsStatementsWithoutColumns) {
    DbSession session({"create table w (a integer)"});
    session.transaction.StartTransaction();
    session.query.SetSQL("insert into w values (7)");
    EXPECT_TRUE(session.query.Execute());
    EXPECT_EQ(session.query.ColumnCount(), 0);
    EXPECT_EQ(session.query.StatementType(), 2);  // insert
    session.query.Open();                         // no columns: no fetch
    EXPECT_EQ(session.query.RowCount(), 0);
    session.transaction.EndTransaction(TIscAction::Commit, false);
    EXPECT_EQ(session.host.QueryInteger("select a from w"), 7);
    session.transaction.StartTransaction();
    session.query.SetSQL("select a from w");
    session.query.Prepare();
    EXPECT_EQ(session.query.StatementType(), 1);  // select
}

TEST(QueryState, SelectRunsAgainOnTheSamePreparedStatement) {
    DbSession session({"create table a (n integer)", "insert into a values (1)", "insert into a values (2)"});
    int executions = 0;
    session.query.AfterExecute = [&executions](TIscQuery*) { ++executions; };
    TIscQuery& query = session.Open("select n from a order by n");  // cursor left open after one row
    session.host.Execute("insert into a values (0)");
    session.transaction.StartTransaction();  // commits, then sees the new row
    query.Open();
    EXPECT_EQ(executions, 2);
    EXPECT_EQ(query.Field(0).AsInteger(), 0);
    while (!query.Eof()) query.Next();  // cursor at its end
    query.Open();
    EXPECT_EQ(executions, 3);
    EXPECT_EQ(query.RowCount(), 1);
    EXPECT_EQ(query.Field(0).AsInteger(), 0);
}

TEST(QueryErrors, UsageErrorsNameTheMissingPart) {
    DbSession session;
    TIscTransaction detached(nullptr);
    TIscQuery withoutTransaction(nullptr);
    TIscQuery withoutDatabase(&detached);
    withoutTransaction.SetSQL("select 1 from rdb$database");
    withoutDatabase.SetSQL("select 1 from rdb$database");
    const struct {
        TIscQuery* query;
        const char* message;
    } cases[] = {
        {&session.query, "Prepare: SQL-text not assigned!\r\n"},
        {&withoutTransaction, "Prepare: Transaction = nil!\r\n"},
        {&withoutDatabase, "Prepare: Transaction.Database = nil!\r\n"},
    };
    for (const auto& c : cases) {
        try {
            c.query->Open();
            ADD_FAILURE() << c.message << " not raised";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Code(), -1);
            EXPECT_EQ(e.Message(), c.message);
        }
    }
}

TEST(QueryErrors, ServerErrorsCarryTheServersCodeAndLines) {
    DbSession session;
    try {
        session.Open("select * from no_such_table");
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Code(), 335544569);  // dynamic SQL error
        EXPECT_EQ(e.Message(),
                  "Dynamic SQL Error\r\nSQL error code = -204\r\nTable unknown\r\nNO_SUCH_TABLE\r\n"
                  "At line 1, column 15\r\n");
    }
    EXPECT_EQ(session.query.LastSqlCode, -204);
    EXPECT_FALSE(session.query.Prepared());
}

TEST(QueryErrors, ErrorHandlerCanSilenceAFailedPreparation) {
    DbSession session;
    std::vector<std::int32_t> codes;
    session.query.OnError = [&codes](std::int32_t code, TIscMessageLines&, bool& raise) {
        codes.push_back(code);
        raise = false;
    };
    session.query.SetSQL("select * from no_such_table");
    session.transaction.StartTransaction();
    EXPECT_FALSE(session.query.Execute());
    EXPECT_FALSE(session.query.Prepared());
    EXPECT_EQ(codes, std::vector<std::int32_t>{335544569});
}

}  // namespace
}  // namespace levrano::test
