// levrano-configurator: its main window opening the module's dialog on the demo station, and the
// program's command line.
#include <QProcess>
#include <fstream>
#include <gtest/gtest.h>

#include "configurator/demo_station.h"
#include "configurator_session.h"
#include "reference_host.h"

namespace levrano {
namespace {

using namespace levrano::test;
using configurator::TConnection;
using configurator::TDemoStation;

TConnection Local(const std::string& database) {
    TConnection connection;
    connection.database = database;
    return connection;
}

// An empty folder that goes with the object.
class TempFolder {
public:
    TempFolder() : config_("") {}
    std::string Path(const std::string& name) const { return config_.Folder() + name; }

private:
    TempConfigFile config_;
};

TEST(ReferenceHost, MainWindowOwnsTheModulesDialogAndTellsTheResult) {
    TempFolder folder;
    const TDemoStation demo = configurator::CreateDemoStation(folder.Path("demo"));
    ReferenceHost h(Local(demo.database), demo.configFile);

    h.ClickConfigure([&h](QDialog& d) {
        EXPECT_EQ(d.parentWidget(), &h.window);
        ConfigDialogUser user(d);
        EXPECT_EQ(user.Caption(), QString::fromUtf8("Уровнемеры Levrano"));
        EXPECT_EQ(user.BoxText("edTimeout"), "300");
        user.ShowPage(1);
        EXPECT_TRUE(user.DefaultTicked());
        EXPECT_EQ(user.Column(0), QStringList({"1", "2", "3", "4"}));
        user.ClickDefault();
        user.EditRow(1, [](QDialog& edit) {
            RetypeAddress(edit, "5");
            SetParameters(edit, {true, true, true, true, false});
            ClickOk(edit);
        });
        user.Ok();
    });
    EXPECT_TRUE(h.window.LastConfirmed());
    EXPECT_EQ(h.Result(), QString::fromUtf8("Настройки сохранены."));
    const std::string saved = ConfigText({
        "<levrano>", "  <boot", "    name=\"Уровнемеры Levrano\"", "  />", "  <port", "    number=\"1\"",
        "    mode=\"9600N8\"", "    timeout=\"300\"", "    delay=\"500\"", "    interval=\"20\"",
        "    rtscontrol=\"0\"", "  />", "  <Tanks", "    default=\"false\"", "  >", "    <item",
        "      tankid=\"15\"", "      address=\"5\"", "      hasH=\"true\"", "      hasV=\"true\"",
        "      hasD=\"true\"", "      hasT=\"true\"", "      hasW=\"false\"", "    />", "  </Tanks>", "</levrano>",
    });
    EXPECT_EQ(FileBytes(demo.configFile), saved);

    h.ClickConfigure([](QDialog& d) { ConfigDialogUser(d).Cancel(); });
    EXPECT_FALSE(h.window.LastConfirmed());
    EXPECT_EQ(h.Result(), QString::fromUtf8("Настройки не изменены."));
    EXPECT_EQ(FileBytes(demo.configFile), saved);
}

// ---- The program ----------------------------------------------------------------------------------

struct ProgramRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

ProgramRun RunProgram(const QStringList& args) {
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(LEVRANO_CONFIGURATOR_PATH), args);
    EXPECT_TRUE(program.waitForFinished(120'000)) << args.join(' ').toStdString();
    return {program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1,
            program.readAllStandardOutput().toStdString(), program.readAllStandardError().toStdString()};
}

TEST(ConfiguratorProgram, HelpNamesEveryOption) {
    const ProgramRun run = RunProgram({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    for (const char* option : {"--database", "--user", "--password", "--module", "--configure", "--init-demo"})
        EXPECT_NE(run.out.find(option), std::string::npos) << option;
}

TEST(ConfiguratorProgram, InitDemoMakesAStationOnceAndNeverOverwrites) {
    TempFolder folder;
    const QString demo = QString::fromStdString(folder.Path("station"));
    const ProgramRun first = RunProgram({"--init-demo", demo});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    const std::string database = folder.Path("station/station.fdb");
    const std::string config = folder.Path("station/levrano.xml");
    EXPECT_NE(first.out.find("--database " + database + " " + config), std::string::npos) << first.out;
    EXPECT_EQ(FileBytes(config), configurator::StarterConfiguration());

    // The user's own changes to both files survive a second run.
    const std::string edited = ConfigText({"<mine/>"});
    std::ofstream(config, std::ios::binary | std::ios::trunc) << edited;
    configurator::TStationDatabase::Attach(Local(database)).Execute(R"(insert into "Tank" values (99, 9))");
    const ProgramRun second = RunProgram({"--init-demo", demo});
    EXPECT_EQ(second.exitCode, 2);
    EXPECT_NE(second.err.find("exists already"), std::string::npos) << second.err;
    EXPECT_EQ(FileBytes(config), edited);

    // The tanks are in the table that the module reads, the station host's as well.
    ReferenceHost h(Local(database), config);
    h.ClickConfigure([](QDialog& d) {
        ConfigDialogUser user(d);
        user.ShowPage(1);
        EXPECT_EQ(user.Column(0), QStringList({"1", "2", "3", "4", "9"}));
        user.Cancel();
    });
}

TEST(ConfiguratorProgram, FailuresBeforeTheWindowEndWithStatus2AndTheReason) {
    TempFolder folder;
    const TDemoStation demo = configurator::CreateDemoStation(folder.Path("demo"));
    const QString database = QString::fromStdString(demo.database);
    const QString config = QString::fromStdString(demo.configFile);
    struct Case {
        QStringList args;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {{}, "no configuration file given"},
        {{config}, "no station database given"},
        {{"--database"}, "--database needs a value"},
        {{"--database", database, "--colour", config}, "unknown option --colour"},
        {{"--database", database, config, config}, "more than one configuration file"},
        {{"--database", QString::fromStdString(folder.Path("none.fdb")), config}, "cannot attach"},
        {{"--database", database, "--module", QString::fromStdString(folder.Path("none.so")), config},
         "cannot load the module"},
        {{"--database", database, "--configure", QString::fromStdString(folder.Path("none.xml"))},
         "the module refused to load: Ошибка открытия файла"},
    };
    for (const Case& c : cases) {
        const ProgramRun run = RunProgram(c.args);
        EXPECT_EQ(run.exitCode, 2) << c.reason;
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
    EXPECT_EQ(FileBytes(demo.configFile), configurator::StarterConfiguration());
}

}  // namespace
}  // namespace levrano
