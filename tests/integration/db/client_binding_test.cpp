// The client library bound at run time: the registry of library files, missing libraries and
// functions, and the text of failed calls.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "common/exception.h"
#include "db_session.h"

namespace levrano::test {
namespace {

constexpr const char* kMissingLibrary = "levrano-no-such-client.so";

// Closes every message box as a user would, by its OK button, and keeps what it said.
class MessageBoxCloser {
public:
    MessageBoxCloser() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            shown.push_back(box->windowTitle().toStdString() + "|" + box->text().toStdString());
            box->button(QMessageBox::Ok)->click();
        });
        timer_.start(10);
    }
    std::vector<std::string> shown;

private:
    QTimer timer_;
};

std::string ProgramPath() { return std::filesystem::read_symlink("/proc/self/exe").string(); }

std::string LoadFailureText() {
    return std::string(kMissingLibrary) + ":" + kMissingLibrary + ": cannot open shared object file: No such file or directory";
}

Exception FailureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Exception& e) {
        return e;
    }
    ADD_FAILURE() << "nothing raised";
    return Exception("");
}

TEST(LibraryRegistry, NamesAreMatchedExactly) {
    TIscLibrary* library = FindLibrary("gds32.dll");
    EXPECT_EQ(FindLibrary("gds32.dll"), library);
    EXPECT_NE(FindLibrary("GDS32.DLL"), library);
    EXPECT_NE(FindLibrary("gds32.dll "), library);
    EXPECT_NE(FindLibrary("GDS32.DLL"), FindLibrary("gds32.dll "));
    EXPECT_EQ(FindLibrary("GDS32.DLL")->FileName, "GDS32.DLL");
}

TEST(LibraryRegistry, FindingLoadsNothing) {
    EXPECT_EQ(FindLibrary("levrano-never-loaded.so")->Module, nullptr);
    TIscDatabase database("gds32.dll");
    EXPECT_NE(database.Library()->Module, nullptr);
}

TEST(MissingLibrary, EachDatabaseObjectShowsTheLoadMessageOnce) {
    MessageBoxCloser closer;
    {
        TIscDatabase first(kMissingLibrary);
        TIscDatabase second(kMissingLibrary);
        TIscDatabase loaded("gds32.dll");
    }
    const std::string expected = "Ошибка|" + LoadFailureText();
    EXPECT_EQ(closer.shown, (std::vector<std::string>{expected, expected}));
}

TEST(MissingLibrary, WithoutAWindowingThreadTheMessageGoesToStandardError) {
    ::testing::internal::CaptureStderr();
    std::thread([] { TIscDatabase database(kMissingLibrary); }).join();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Ошибка: " + LoadFailureText() + "\n");
}

TEST(MissingLibrary, FirstCallsRaiseCodeMinusOneNamingTheFunction) {
    MessageBoxCloser closer;
    TIscDatabase database(kMissingLibrary);
    TIscTransaction transaction(&database);
    TIscQuery query(&transaction);
    query.SetSQL("select 1 from rdb$database");
    const struct {
        std::function<void()> call;
        const char* function;
    } cases[] = {
        {[&] { transaction.StartTransaction(); }, "isc_start_multiple"},
        {[&] { transaction.StartTransaction(); }, "isc_start_multiple"},  // looked up again, not remembered
        {[&] { query.Open(); }, "isc_dsql_alloc_statement2"},
    };
    for (const auto& c : cases) {
        const Exception e = FailureOf(c.call);
        EXPECT_EQ(e.Code(), -1);
        EXPECT_EQ(e.Message(), ProgramPath() + ":[" + c.function + "] Can not access a needed shared library\r\n");
    }
    EXPECT_FALSE(transaction.Active());
}

TEST(MissingFunction, LineNamesTheLibraryFileAndTheFunction) {
    TIscDatabase database("libm.so.6");  // loads, but exports no client function
    TIscTransaction transaction(&database);
    const Exception e = FailureOf([&] { transaction.StartTransaction(); });
    EXPECT_EQ(e.Code(), -1);
    EXPECT_TRUE(std::regex_match(e.Message(), std::regex("(/[^:]*/libm\\.so\\.6):\\[isc_start_multiple\\] \\1: "
                                                         "undefined symbol: isc_start_multiple\r\n")))
        << e.Message();
}

TEST(MissingFunction, ReplacedErrorProcedureSkipsTheCall) {
    struct Report {
        std::int32_t code;
        TIscMessageLines lines;
    };
    static std::vector<Report> reports;
    reports.clear();
    const TIscErrorProc saved = IscErrorProc;
    IscErrorProc = [](std::int32_t code, const TIscMessageLines& lines) { reports.push_back({code, lines}); };
    TIscDatabase database("libm.so.6");
    TIscTransaction transaction(&database);
    transaction.StartTransaction();
    IscErrorProc = saved;
    EXPECT_FALSE(transaction.Active());
    EXPECT_EQ(transaction.LastResult, -1);  // what a missing function yields
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].code, -1);
    ASSERT_EQ(reports[0].lines.size(), 1u);
    EXPECT_NE(reports[0].lines[0].find(":[isc_start_multiple] "), std::string::npos);
}

// One entry of a hand-made status vector: the server's free-text error with its argument.
void AddFreeText(std::array<TIscStatus, kIscStatusLength>& status, int& at, const char* text) {
    status[at++] = 1;          // an error code follows
    status[at++] = 335544382;  // the free-text error: its message is its argument
    status[at++] = 2;          // a string argument follows
    status[at++] = reinterpret_cast<TIscStatus>(text);
}

TEST(StatusReport, AdjacentRepeatedLinesAreDropped) {
    TIscDatabase database("gds32.dll");
    int at = 0;
    for (const char* text : {"dup", "dup", "other", "dup"}) AddFreeText(database.Status, at, text);
    database.LastResult = 335544382;
    const Exception e = FailureOf([&] { database.CheckStatus(); });
    EXPECT_EQ(e.Code(), 335544382);
    EXPECT_EQ(e.Message(), "dup\r\nother\r\ndup\r\n");
}

TEST(StatusReport, NoErrorInTheStatusMeansNoReport) {
    TIscDatabase database("gds32.dll");
    int reports = 0;
    database.OnError = [&reports](std::int32_t, TIscMessageLines&, bool&) { ++reports; };
    database.LastResult = 335544382;
    database.Status[0] = 1;
    database.Status[1] = 0;
    database.CheckStatus();
    EXPECT_EQ(reports, 0);
}

TEST(StatusReport, HandlerSeesCodeAndLinesAndMayStopTheReport) {
    TIscDatabase database("gds32.dll");
    std::vector<std::pair<std::int32_t, TIscMessageLines>> seen;
    database.OnError = [&seen](std::int32_t code, TIscMessageLines& lines, bool& raise) {
        seen.emplace_back(code, lines);
        raise = false;
    };
    database.RaiseError(-1, "first line\r\nsecond line");
    EXPECT_EQ(seen, (std::vector<std::pair<std::int32_t, TIscMessageLines>>{{-1, {"first line", "second line"}}}));
}

TEST(StartUp, SharedDatabaseLoadsTheClientAndShutDownUnloadsIt) {
    IscStartUp();
    EXPECT_NE(FindLibrary("gds32.dll")->Module, nullptr);
    IscShutDown();
    EXPECT_EQ(FindLibrary("gds32.dll")->Module, nullptr);  // a fresh, unloaded record
    DbSession session;                                      // and the layer works again afterwards
    EXPECT_EQ(session.Open("select 3 from rdb$database").Field(0).AsInteger(), 3);
}

}  // namespace
}  // namespace levrano::test
