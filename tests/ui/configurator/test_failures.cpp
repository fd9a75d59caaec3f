// What the user sees when something fails, and that nothing is written then; the host's database
// object asked once per Configure and given back at its end.
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>

#include "common/cp1251.h"
#include "configurator_session.h"
#include "platform/system_error.h"

namespace levrano {
namespace {

using namespace levrano::test;

const std::string kFile = ConfigText({"<R>", "<port number=\"1\" mode=\"9600N8\" timeout=\"300\" delay=\"500\"/>",
                                      "<Tanks default=\"false\">", "<item tankid=\"12\" address=\"1\"/>", "</Tanks>",
                                      "</R>"});

std::vector<std::string> FolderContents(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    return names;
}

// While it lives, the process can open no file: every descriptor number from the lowest free one
// up is beyond the limit.
class NoFileCanBeOpened {
public:
    NoFileCanBeOpened() {
        getrlimit(RLIMIT_NOFILE, &saved_);
        const int lowestFree = dup(0);
        close(lowestFree);
        rlimit lowered = saved_;
        lowered.rlim_cur = static_cast<rlim_t>(lowestFree);
        EXPECT_EQ(0, setrlimit(RLIMIT_NOFILE, &lowered));
    }
    ~NoFileCanBeOpened() { setrlimit(RLIMIT_NOFILE, &saved_); }

private:
    rlimit saved_{};
};

// "ОК" while the file cannot be replaced: the user is told why, the dialog stays open, the old
// file stays as it was and no temporary file is left. Then either a second "ОК" that succeeds or
// "Отмена" decides the result.
TEST(SaveFailure, KeepsTheDialogOpenAndTheOldFileAndConfirmsOnlyASave) {
    struct Case {
        const char* name;
        bool retry;
    };
    for (const Case c : {Case{"then OK again", true}, Case{"then Cancel", false}}) {
        ConfiguratorSession s(kFile, {{12, 1}});
        const std::string expectedMessage = std::string("Ошибка записи файла "_cp) + "\"" + s.config.Path() + "\" :" +
                                            SystemErrorText(EMFILE);
        const bool confirmed = s.Configure([&](QDialog& d) {
            ConfigDialogUser user(d);
            user.Retype("edDelay", "900");
            {
                const NoFileCanBeOpened exhausted;
                user.Ok();
            }
            EXPECT_TRUE(d.isVisible());
            EXPECT_EQ(s.Messages(), std::vector<std::string>{expectedMessage});
            EXPECT_EQ(s.File(), kFile);
            c.retry ? user.Ok() : user.Cancel();
        });

        EXPECT_EQ(confirmed, c.retry) << c.name;
        EXPECT_EQ(s.Messages().size(), 1u) << c.name;
        EXPECT_EQ(s.File().find("delay=\"900\"") != std::string::npos, c.retry) << c.name;
        EXPECT_EQ(FolderContents(s.config.Folder()), std::vector<std::string>{"levrano.xml"}) << c.name;
    }
}

// Failures before the dialog opens: a message, no dialog, nothing written, nothing held.
struct OpenFailure {
    const char* name;
    std::function<void(ConfiguratorSession&)> arrange;
    std::string message;  // exact, or the server's words that the message holds
    bool exact;
    int handleCalls;
};

void PrintTo(const OpenFailure& c, std::ostream* out) { *out << c.name; }

class FailureBeforeTheDialog : public ::testing::TestWithParam<OpenFailure> {};

TEST_P(FailureBeforeTheDialog, IsShownAndChangesNothing) {
    const OpenFailure& c = GetParam();
    ConfiguratorSession s(kFile, {{12, 1}});
    c.arrange(s);
    const bool fileThere = std::filesystem::exists(s.config.Path());
    const std::string before = fileThere ? s.File() : std::string();

    EXPECT_FALSE(s.Configure());

    ASSERT_EQ(s.Messages().size(), 1u);
    if (c.exact) {
        EXPECT_EQ(s.Messages()[0], c.message);
    } else {
        EXPECT_NE(s.Messages()[0].find(c.message), std::string::npos) << s.Messages()[0];
    }
    EXPECT_EQ(std::filesystem::exists(s.config.Path()), fileThere);
    EXPECT_EQ(fileThere ? s.File() : std::string(), before);
    EXPECT_EQ(s.app.Database().GetHandleCalls(), c.handleCalls);
    EXPECT_EQ(s.app.Database().Refs(), 0);
    EXPECT_TRUE(s.app.Database().UnexpectedCalls().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Causes, FailureBeforeTheDialog,
    ::testing::Values(
        OpenFailure{"NoDatabaseObject", [](ConfiguratorSession& s) { s.app.HandsOutDatabase = false; },
                    std::string("Приложение не предоставило базу данных станции"_cp), true, 0},
        OpenFailure{"HandleZero", [](ConfiguratorSession& s) { s.app.Database().Handle = 0; },
                    std::string("База данных станции не открыта приложением"_cp), true, 1},
        OpenFailure{"NoTankTable", [](ConfiguratorSession& s) { s.station.Execute(R"(drop table "Tank")"); },
                    "Table unknown", false, 1},
        OpenFailure{"FileGone", [](ConfiguratorSession& s) { std::filesystem::remove(s.config.Path()); },
                    std::string("Ошибка открытия файла "_cp), false, 0},
        OpenFailure{"FileBroken",
                    [](ConfiguratorSession& s) {
                        std::filesystem::resize_file(s.config.Path(), 60);  // cut inside the root
                    },
                    std::string("Ошибка XML в файле "_cp), false, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HostDatabase, AskedForItsHandleOncePerConfigureAndHeldOnlyWhileItRuns) {
    ConfiguratorSession s(kFile, {{12, 1}});
    for (int round = 1; round <= 2; ++round) {
        EXPECT_FALSE(s.Configure([&](QDialog& d) {
            EXPECT_EQ(s.app.GetDatabaseCalls(), round);
            EXPECT_EQ(s.app.Database().GetHandleCalls(), round);
            EXPECT_EQ(s.app.Database().Refs(), 1);
            ConfigDialogUser(d).Cancel();
        }));
        EXPECT_EQ(s.app.Database().Refs(), 0);
    }
    EXPECT_EQ(s.app.Refs(), 1);  // the module's own, until the host releases it
    s.module.Reset();
    EXPECT_EQ(s.app.HeldReferences(), 0);
    EXPECT_TRUE(s.app.UnexpectedCalls().empty());
    EXPECT_TRUE(s.app.Database().UnexpectedCalls().empty());
}

}  // namespace
}  // namespace levrano
