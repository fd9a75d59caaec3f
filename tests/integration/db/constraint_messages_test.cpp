// Key violations reported with the database's own texts from "ErrorMsg", and exceptions raised
// by the database's triggers reported with their own message line.
#include <gtest/gtest.h>

#include <string>

#include "common/cp1251.h"
#include "common/exception.h"
#include "db_session.h"

namespace levrano::test {
namespace {

constexpr std::int32_t kUniqueKeyViolation = 335544665;
constexpr std::int32_t kForeignKeyViolation = 335544466;
constexpr std::int32_t kProcedureException = 335544517;

std::vector<std::string> StationSchema() {
    return {
        "create table \"ErrorMsg\" (\"ConstraintName\" varchar(63), \"Msg\" varchar(200))",
        "create table \"Tank\" (\"TankId\" integer not null, \"Number\" integer not null,"
        " constraint pk_tank primary key (\"TankId\"), constraint uq_tank_number unique (\"Number\"))",
        "create table probe (id integer not null, tank integer,"
        " constraint fk_probe_tank foreign key (tank) references \"Tank\" (\"TankId\"))",
        "create table odd (a integer not null, b integer not null, c integer not null,"
        " constraint \"UQ'QUOTE\" unique (a), constraint \"X' OR '1'='1\" unique (b), constraint uq_no_row unique (c))",
        "insert into \"Tank\" values (1, 10)",
        "insert into odd values (1, 1, 1)",
        std::string("insert into \"ErrorMsg\" values ('UQ_TANK_NUMBER', '") + std::string("Резервуар с таким номером уже есть"_cp) + "')",
        std::string("insert into \"ErrorMsg\" values ('FK_PROBE_TANK', '") + std::string("Нет такого резервуара"_cp) + "')",
        "insert into \"ErrorMsg\" values ('UQ''QUOTE', 'quoted name found')",
        "insert into \"ErrorMsg\" values ('PK_TANK', 'any row at all')",
        "create exception e_level 'level out of range'",
        "create trigger probe_check for probe before insert as begin if (new.id < 0) then exception e_level; end",
    };
}

class ConstraintMessages : public ::testing::Test {
protected:
    // The exception raised by running `sql` in the session's transaction.
    Exception Failure(const std::string& sql) {
        try {
            session.Open(sql);
        } catch (const Exception& e) {
            return e;
        }
        ADD_FAILURE() << sql << " raised nothing";
        return Exception("");
    }

    DbSession session{StationSchema()};
};

TEST_F(ConstraintMessages, KeyViolationsTakeTheTextOfErrorMsg) {
    const struct {
        const char* sql;
        std::int32_t code;
        std::string message;
    } cases[] = {
        {"insert into \"Tank\" values (2, 10)", kUniqueKeyViolation, std::string("Резервуар с таким номером уже есть"_cp)},
        {"insert into probe values (1, 99)", kForeignKeyViolation, std::string("Нет такого резервуара"_cp)},
        {"insert into odd values (1, 2, 2)", kUniqueKeyViolation, "quoted name found"},  // name with an apostrophe
    };
    for (const auto& c : cases) {
        const Exception e = Failure(c.sql);
        EXPECT_EQ(e.Code(), c.code) << c.sql;
        EXPECT_EQ(e.Message(), c.message) << c.sql;
    }
}

TEST_F(ConstraintMessages, ServerTextStaysWhenNoRowMatches) {
    const struct {
        const char* sql;
        const char* constraint;
    } cases[] = {
        {"insert into odd values (2, 2, 1)", "UQ_NO_ROW"},
        // Pasted unquoted, this name would turn the lookup into one that finds every row.
        {"insert into odd values (2, 1, 2)", "X' OR '1'='1"},
    };
    for (const auto& c : cases) {
        const Exception e = Failure(c.sql);
        EXPECT_EQ(e.Code(), kUniqueKeyViolation);
        EXPECT_EQ(e.Message().rfind("violation of PRIMARY or UNIQUE KEY constraint \"" + std::string(c.constraint) +
                                        "\" on table \"ODD\"\r\n",
                                    0),
                  0u)
            << e.Message();
    }
}

TEST_F(ConstraintMessages, ServerTextStaysWithoutErrorMsgTable) {
    session.host.Execute("drop table \"ErrorMsg\"");
    const Exception e = Failure("insert into \"Tank\" values (2, 10)");
    EXPECT_EQ(e.Code(), kUniqueKeyViolation);
    EXPECT_EQ(e.Message().rfind("violation of PRIMARY or UNIQUE KEY constraint \"UQ_TANK_NUMBER\"", 0), 0u)
        << e.Message();
}

TEST_F(ConstraintMessages, MessageWithFewerThanTwoQuotesStays) {
    session.query.OnError = [](std::int32_t, TIscMessageLines& lines, bool&) { lines = {"no \"name here"}; };
    const Exception e = Failure("insert into \"Tank\" values (2, 10)");
    EXPECT_EQ(e.Code(), kUniqueKeyViolation);
    EXPECT_EQ(e.Message(), "no \"name here\r\n");
}

// An error procedure that joins the lines without a final line break.
void RaiseWithoutFinalBreak(std::int32_t code, const TIscMessageLines& lines) {
    std::string message;
    for (const std::string& line : lines) message += (message.empty() ? "" : "\r\n") + line;
    throw Exception(message, code);
}

TEST_F(ConstraintMessages, MessageEndingAtTheSecondQuoteStays) {
    const TIscErrorProc saved = IscErrorProc;
    IscErrorProc = RaiseWithoutFinalBreak;
    session.query.OnError = [](std::int32_t, TIscMessageLines& lines, bool&) {
        lines = {"violation of constraint \"UQ_TANK_NUMBER\""};
    };
    const Exception e = Failure("insert into \"Tank\" values (2, 10)");
    IscErrorProc = saved;
    EXPECT_EQ(e.Code(), kUniqueKeyViolation);
    EXPECT_EQ(e.Message(), "violation of constraint \"UQ_TANK_NUMBER\"");
}

TEST_F(ConstraintMessages, TriggerExceptionGivesItsOwnLine) {
    const Exception e = Failure("insert into probe values (-1, null)");
    EXPECT_EQ(e.Code(), kProcedureException);
    EXPECT_EQ(e.Message(), "level out of range\r");
}

TEST_F(ConstraintMessages, TriggerExceptionWithTwoLinesKeepsTheWholeMessage) {
    session.query.OnError = [](std::int32_t, TIscMessageLines& lines, bool&) { lines.resize(2); };
    const Exception e = Failure("insert into probe values (-1, null)");
    EXPECT_EQ(e.Code(), kProcedureException);
    EXPECT_EQ(e.Message(), "exception 1\r\nE_LEVEL\r\n");
}

TEST_F(ConstraintMessages, TranslationLeavesTheTransactionUsable) {
    Failure("insert into \"Tank\" values (2, 10)");
    session.query.SetSQL("insert into \"Tank\" values (2, 20)");
    EXPECT_TRUE(session.query.Execute());
    session.transaction.EndTransaction(TIscAction::Commit, false);
    EXPECT_EQ(session.host.QueryInteger("select count(*) from \"Tank\""), 2);
}

}  // namespace
}  // namespace levrano::test
