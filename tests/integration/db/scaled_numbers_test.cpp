// NUMERIC and DECIMAL columns, stored by the server as 16-, 32- or 64-bit integers with a scale.
#include <gtest/gtest.h>

#include <cstdint>

#include "db_session.h"

namespace levrano::test {
namespace {

TEST(ScaledNumbers, ReadAsDoubleTruncatedIntegerAndExactText) {
    const struct {
        const char* value;
        const char* type;
        double asDouble;
        std::int32_t asInteger;
        const char* asString;
    } cases[] = {
        {"12.99", "numeric(9,2)", 12.99, 12, "12.99"},  // 32-bit storage
        {"-12.99", "numeric(9,2)", -12.99, -12, "-12.99"},
        {"12.99", "numeric(4,2)", 12.99, 12, "12.99"},  // 16-bit storage
        {"-0.05", "numeric(4,2)", -0.05, 0, "-0.05"},
        {"-0.05", "decimal(18,2)", -0.05, 0, "-0.05"},  // 64-bit storage
        {"100", "numeric(9,2)", 100, 100, "100"},       // no trailing zeros
        {"0", "numeric(9,3)", 0, 0, "0"},
        {"0.000001", "numeric(18,6)", 0.000001, 0, "0.000001"},
        {"12345678901234.5678", "numeric(18,4)", 12345678901234.5678, 1942892530, "12345678901234.5678"},
        {"-12345678901234.5678", "numeric(18,4)", -12345678901234.5678, -1942892530, "-12345678901234.5678"},
        {"922337203685477.5807", "numeric(18,4)", 922337203685477.5807, 1566804069, "922337203685477.5807"},
        {"-922337203685477.5808", "numeric(18,4)", -922337203685477.5808, -1566804069, "-922337203685477.5808"},
        {"0.123456789012345678", "numeric(18,18)", 0.123456789012345678, 0, "0.123456789012345678"},
    };
    DbSession session;
    for (const auto& c : cases) {
        const std::string what = std::string(c.value) + " as " + c.type;
        TIscQuery& query = session.Open("select cast(" + std::string(c.value) + " as " + c.type + ") from rdb$database");
        EXPECT_DOUBLE_EQ(query.Field(0).AsDouble(), c.asDouble) << what;
        EXPECT_EQ(query.Field(0).AsInteger(), c.asInteger) << what;
        EXPECT_EQ(query.Field(0).AsString(), c.asString) << what;
    }
}

TEST(ScaledNumbers, StoredColumnsOfEachWidth) {
    DbSession session({"create table prices (p16 numeric(4,2), p32 numeric(9,2), p64 numeric(18,2))",
                       "insert into prices values (12.99, 12.99, 12.99)",
                       "insert into prices values (-12.99, -12.99, -12.99)"});
    TIscQuery& query = session.Open("select p16, p32, p64 from prices order by p16 desc");
    for (const double expected : {12.99, -12.99}) {
        ASSERT_FALSE(query.Eof());
        for (int column = 0; column < 3; ++column) {
            EXPECT_DOUBLE_EQ(query.Field(column).AsDouble(), expected) << column;
            EXPECT_EQ(query.Field(column).AsInteger(), expected > 0 ? 12 : -12) << column;
        }
        query.Next();
    }
    EXPECT_TRUE(query.Eof());
}

}  // namespace
}  // namespace levrano::test
