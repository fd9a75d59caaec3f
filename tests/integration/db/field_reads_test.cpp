// Every read of the field accessor against every column type that Firebird hands out.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <unistd.h>

#include "common/exception.h"
#include "db_session.h"
#include "support/locale_scope.h"

namespace levrano::test {
namespace {

// Day number of 5 March 2024 when 1 January of year 1 is day 1.
constexpr double kMarch5th2024 = 738950;
constexpr double k13h45m30s1234 = (13 * 3600 + 45 * 60 + 30.1234) / 86400;

class FieldReads : public ::testing::Test {
protected:
    FieldReads()
        : session({"create table t (id integer not null, v varchar(20), c char(6), vn varchar(20), vd varchar(30),"
                   " vt varchar(20), vx varchar(20), d double precision, d2 double precision, d3 double precision,"
                   " f float, i integer, s smallint, bi bigint, ts timestamp, dt date, d1 date, tm time,"
                   " bl blob sub_type text, ar integer[3])",
                   "insert into t (id, v, c, vn, vd, vt, vx, d, d2, d3, f, i, s, bi, ts, dt, d1, tm, bl) values (1,"
                   " 'ab  ', 'x', '-12.5e1xyz', '05.03.2024 13:45:30', '13:45:30', 'no date', 0.1, 1e20, -2.5e-7,"
                   " 1.1, -7, 300, 9223372036854775807, '2024-03-05 13:45:30.1234', '2024-03-05', '0001-01-01',"
                   " '13:45:30.1234', 'blob text')",
                   "insert into t (id) values (2)"}) {
        session.host.StoreIntegerArray("T", "AR", {1, 2, 3});
        session.host.Execute("update t set ar = null where id = 2");
    }

    // The query standing on row `id`.
    TIscQuery& Row(int id) {
        return session.Open("select id, v, c, vn, vd, vt, vx, d, d2, d3, f, i, s, bi, ts, dt, d1, tm, bl, ar"
                            " from t where id = " + std::to_string(id));
    }

    TIscField& Column(const std::string& name) {
        static const std::vector<std::string> names = {"ID", "V",  "C",  "VN", "VD", "VT", "VX", "D",  "D2", "D3",
                                                       "F",  "I",  "S",  "BI", "TS", "DT", "D1", "TM", "BL", "AR"};
        const auto at = std::find(names.begin(), names.end(), name);
        return session.query.Field(static_cast<int>(at - names.begin()));
    }

    DbSession session;
    LocaleScope russian{QLocale(QLocale::Russian, QLocale::Russia)};
};

TEST_F(FieldReads, AsStringGivesEachTypesTextForm) {
    const struct {
        const char* column;
        std::string text;
    } cases[] = {
        {"V", "ab  "},                      // varying text keeps its own trailing blanks
        {"C", "x     "},                    // fixed text keeps the padding
        {"D", "0.1"},                       // shortest text that reads back as the same double
        {"D2", "100000000000000000000"},    // no exponent
        {"D3", "-0.00000025"},
        {"F", "1.1"},                       // a float's own shortest text, not its double widening
        {"I", "-7"},
        {"S", "300"},
        {"BI", "9223372036854775807"},      // every digit of a 64-bit integer
        {"TS", "05.03.2024 13:45:30"},      // locale short date, blank, locale time
        {"DT", "05.03.2024"},
        {"D1", "01.01.0001"},
        {"TM", "13:45:30"},
        {"AR", "(Array)"},
    };
    Row(1);
    for (const auto& c : cases) EXPECT_EQ(Column(c.column).AsString(), c.text) << c.column;
}

TEST_F(FieldReads, TimestampTextFollowsTheUsersLocale) {
    LocaleScope american{QLocale(QLocale::English, QLocale::UnitedStates)};
    Row(1);
    EXPECT_EQ(Column("TS").AsString(), "3/5/24 1:45:30 PM");
    EXPECT_EQ(Column("DT").AsString(), "05.03.2024");  // dates and times have fixed forms
    EXPECT_EQ(Column("TM").AsString(), "13:45:30");
}

// A German numeric locale (decimal comma) compiled into a temporary folder for this process.
class DecimalCommaLocale {
public:
    DecimalCommaLocale() {
        folder_ = std::filesystem::temp_directory_path() / ("levrano-locale-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder_);
        const std::string command = "localedef -i de_DE -f UTF-8 " + (folder_ / "de_DE.UTF-8").string() + " 2>/dev/null";
        if (std::system(command.c_str()) != 0) return;
        setenv("LOCPATH", folder_.c_str(), 1);
        const char* previous = std::setlocale(LC_NUMERIC, nullptr);
        saved_ = previous ? previous : "C";
        active_ = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    }
    ~DecimalCommaLocale() {
        std::setlocale(LC_NUMERIC, saved_.c_str());
        unsetenv("LOCPATH");
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    bool Active() const { return active_; }

private:
    std::filesystem::path folder_;
    std::string saved_ = "C";
    bool active_ = false;
};

TEST_F(FieldReads, DecimalTextIgnoresTheProcessLocale) {
    DecimalCommaLocale german;
    if (!german.Active()) GTEST_SKIP() << "localedef cannot build de_DE here";
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 0.5);
    ASSERT_STREQ(probe, "0,5");  // the process now writes decimal commas
    Row(1);
    EXPECT_EQ(Column("D").AsString(), "0.1");
    EXPECT_EQ(Column("D3").AsString(), "-0.00000025");
    EXPECT_EQ(Column("F").AsString(), "1.1");
    EXPECT_DOUBLE_EQ(Column("VN").AsDouble(), -125.0);
}

TEST_F(FieldReads, BlobAndArrayIdentifiers) {
    Row(1);
    const TIscQuad blob = Column("BL").AsQuad();
    const TIscQuad array = Column("AR").AsQuad();
    EXPECT_TRUE(blob.High != 0 || blob.Low != 0);
    EXPECT_TRUE(array.High != 0 || array.Low != 0);
    char expected[64];
    std::snprintf(expected, sizeof expected, "(Blob ID: 0x%x%08x )", static_cast<unsigned>(blob.High), blob.Low);
    EXPECT_EQ(Column("BL").AsString(), expected);
}

TEST_F(FieldReads, NumbersFromEveryNumericType) {
    const struct {
        const char* column;
        double asDouble;
    } floating[] = {{"D", 0.1}, {"D2", 1e20}, {"F", static_cast<double>(1.1f)}};
    const struct {
        const char* column;
        double asDouble;
        std::int32_t asInteger;
    } integral[] = {
        {"I", -7, -7},
        {"S", 300, 300},
        {"BI", 9223372036854775807.0, -1},  // the low 32 bits of 0x7FFFFFFFFFFFFFFF
    };
    Row(1);
    for (const auto& c : floating) EXPECT_DOUBLE_EQ(Column(c.column).AsDouble(), c.asDouble) << c.column;
    for (const auto& c : integral) {
        EXPECT_DOUBLE_EQ(Column(c.column).AsDouble(), c.asDouble) << c.column;
        EXPECT_EQ(Column(c.column).AsInteger(), c.asInteger) << c.column;
    }
}

TEST_F(FieldReads, TextColumnsConvertToNumbersAndDates) {
    Row(1);
    EXPECT_EQ(Column("VN").AsInteger(), -12);            // leading digits only
    EXPECT_DOUBLE_EQ(Column("VN").AsDouble(), -125.0);   // "-12.5e1", the rest ignored
    EXPECT_EQ(Column("V").AsInteger(), 0);
    EXPECT_DOUBLE_EQ(Column("VD").AsDateTime(), kMarch5th2024 + (13 * 3600 + 45 * 60 + 30) / 86400.0);
    // No date separator: a time of day alone.
    EXPECT_DOUBLE_EQ(Column("VT").AsDateTime(), (13 * 3600 + 45 * 60 + 30) / 86400.0);
}

TEST_F(FieldReads, DayNumbersCountFromFirstJanuaryOfYearOne) {
    Row(1);
    EXPECT_DOUBLE_EQ(Column("DT").AsDateTime(), kMarch5th2024);
    EXPECT_DOUBLE_EQ(Column("D1").AsDateTime(), 1.0);
    EXPECT_DOUBLE_EQ(Column("TM").AsDateTime(), k13h45m30s1234);
    EXPECT_DOUBLE_EQ(Column("TS").AsDateTime(), kMarch5th2024 + k13h45m30s1234);
}

TEST_F(FieldReads, NullColumnsReadAsEmptyValuesWithoutConversionErrors) {
    Row(2);
    for (const char* column : {"V", "C", "D", "F", "I", "S", "BI", "TS", "DT", "TM", "BL", "AR"}) {
        TIscField& field = Column(column);
        EXPECT_TRUE(field.IsNull()) << column;
        EXPECT_EQ(field.AsInteger(), 0) << column;
        EXPECT_EQ(field.AsDouble(), 0.0) << column;
        EXPECT_EQ(field.AsDateTime(), 0.0) << column;
        EXPECT_EQ(field.AsString(), "") << column;
        EXPECT_EQ(field.AsQuad().High, 0) << column;
        EXPECT_EQ(field.AsQuad().Low, 0u) << column;
    }
    EXPECT_FALSE(Column("ID").IsNull());
}

TEST_F(FieldReads, AccessorAimedAtNoColumnReadsEmpty) {
    TIscQuery& query = Row(1);
    for (int index : {-1, query.ColumnCount()}) {
        TIscField& field = query.Field(index);
        EXPECT_TRUE(field.IsNull());
        EXPECT_EQ(field.AsInteger(), 0);
        EXPECT_EQ(field.AsString(), "");
        EXPECT_EQ(field.AsDateTime(), 0.0);
    }
}

TEST_F(FieldReads, ReadsThatATypeRefusesRaiseConversionErrors) {
    using Read = std::function<void(TIscField&)>;
    const Read asInteger = [](TIscField& f) { f.AsInteger(); };
    const Read asDouble = [](TIscField& f) { f.AsDouble(); };
    const Read asDateTime = [](TIscField& f) { f.AsDateTime(); };
    const Read asQuad = [](TIscField& f) { f.AsQuad(); };
    const struct {
        const char* column;
        Read read;
        const char* what;
    } cases[] = {
        {"D", asInteger, "AsInteger of double"},     {"F", asInteger, "AsInteger of float"},
        {"TS", asDouble, "AsDouble of timestamp"},   {"DT", asInteger, "AsInteger of date"},
        {"TM", asDouble, "AsDouble of time"},        {"I", asDateTime, "AsDateTime of integer"},
        {"BL", asInteger, "AsInteger of blob"},      {"AR", asDouble, "AsDouble of array"},
        {"I", asQuad, "AsQuad of integer"},          {"V", asQuad, "AsQuad of text"},
        {"VX", asDateTime, "AsDateTime of text that is no date"},
    };
    Row(1);
    for (const auto& c : cases) {
        try {
            c.read(Column(c.column));
            ADD_FAILURE() << c.what << " raised nothing";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Code(), -2) << c.what;
            EXPECT_EQ(e.Message(), "Error conversion field [" + std::string(c.column) + "]\r\n") << c.what;
        }
    }
}

TEST_F(FieldReads, ConversionErrorHandledByOnErrorYieldsEmptyValue) {
    Row(1);
    int reports = 0;
    session.query.OnError = [&reports](std::int32_t code, TIscMessageLines& lines, bool& raise) {
        ++reports;
        EXPECT_EQ(code, -2);
        EXPECT_EQ(lines, TIscMessageLines{"Error conversion field [D]"});
        raise = false;
    };
    EXPECT_EQ(Column("D").AsInteger(), 0);
    EXPECT_EQ(reports, 1);
}

class RecordKeys : public ::testing::Test {
protected:
    DbSession session{{"create table keys (k char(8) character set octets not null)",
                       "insert into keys values (x'0100000002000000')",
                       "create view key_forms (\"RDB$DB_KEY\", \"DB_KEY\", \"OTHER\") as select k, k, k from keys",
                       "create view varying_key (\"DB_KEY\") as select cast(k as varchar(8) character set octets)"
                       " from keys"}};
};

TEST_F(RecordKeys, KeyColumnsReadAsTwoHexadecimalWords) {
    TIscQuery& query = session.Open("select \"RDB$DB_KEY\", \"DB_KEY\", \"OTHER\" from key_forms");
    EXPECT_EQ(query.Field(0).AsString(), "0x200000001");
    EXPECT_EQ(query.Field(1).AsString(), "0x200000001");
    EXPECT_EQ(query.Field(2).AsString(), std::string("\x01\0\0\0\x02\0\0\0", 8));  // any other name: raw bytes
}

TEST_F(RecordKeys, RealRecordKeyMatchesItsOwnBytes) {
    TIscQuery& query =
        session.Open("select rdb$db_key, cast(rdb$db_key as varchar(8) character set octets) from keys");
    const std::string bytes = query.Field(1).AsString();
    ASSERT_EQ(bytes.size(), 8u);
    auto word = [&bytes](int at) {
        std::uint32_t w = 0;
        for (int i = 3; i >= 0; --i) w = (w << 8) | static_cast<unsigned char>(bytes[at + i]);
        return w;
    };
    char expected[32];
    std::snprintf(expected, sizeof expected, "0x%x%08x", word(4), word(0));
    EXPECT_EQ(query.Field(0).AsString(), expected);
}

TEST_F(RecordKeys, VaryingKeyColumnIsAConversionError) {
    TIscQuery& query = session.Open("select \"DB_KEY\" from varying_key");
    try {
        query.Field(0).AsString();
        FAIL() << "no conversion error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Code(), -2);
        EXPECT_EQ(e.Message(), "Error conversion field [DB_KEY]\r\n");
    }
}

}  // namespace
}  // namespace levrano::test
