// levrano-station run as a person runs it, against the probe simulator: notices, the live table,
// the host calibration, the station database, the stop signals, and its command-line errors.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <QTest>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "host_programs.h"
#include "support/test_host.h"

namespace levrano {
namespace {

using namespace levrano::test;
using testing::Contains;
using testing::HasSubstr;
using Words = std::vector<std::string>;

const Words kNoValues(7, "-");

Words Row(Words head, const Words& values) {
    head.insert(head.end(), values.begin(), values.end());
    return head;
}

// The simulator's default reading as the station prints it, after tank number and probe.
const Words kDefaultValues{"1.23456", "23.456", "0.01520", "0.120", "835.12", "15.3", "19588.57"};

std::string Config(std::string_view tanks) {
    return "<station><port number=\"1\" timeout=\"60\" delay=\"50\"/>" + std::string(tanks) + "</station>";
}

QStringList Args(std::initializer_list<std::string> args) {
    QStringList list;
    for (const std::string& arg : args) list << QString::fromStdString(arg);
    return list;
}

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

TEST(Station, ShowsTheNoticesAndEachTanksRowsAndStopsByItself) {
    SimulatedLine line({Probe(1), Probe(2, 1.0, true)});
    const TempConfigFile config(Config(""));
    const ProgramRun run = RunProgram(LEVRANO_STATION_PATH, Args({"--config", config.Path(), "--tanks", "2", "--port",
                                                           "1=" + line.Device(), "--duration", "3"}));

    EXPECT_TRUE(run.exitedNormally);
    EXPECT_EQ(0, run.exitCode) << run.err;
    EXPECT_THAT(run.out, HasSubstr("notice: резервуар 1 -> датчик 1\nnotice: резервуар 2 -> датчик 2\n"));
    const auto rows = TableRows(run.out);
    EXPECT_THAT(rows, Contains(Row({"1", "1", "Инициализация"}, kNoValues)));
    EXPECT_THAT(rows, Contains(Row({"1", "1", "OK"}, kDefaultValues)));
    EXPECT_THAT(rows, Contains(Row({"2", "2", "Нет", "связи"}, kNoValues)));
    EXPECT_THAT(run.out, testing::EndsWith("stopped\n"));
}

TEST(Station, TheHostsCalibrationGivesTheVolumesAProbeDoesNotMeasure) {
    SimulatedLine line({Probe(1, 1.0), Probe(2)});
    const TempConfigFile config(Config(R"(<tanks default="false">
        <item tankid="1" address="1" hasV="false"/><item tankid="2" address="2" hasV="false" hasW="false"/></tanks>)"));
    const ProgramRun run =
        RunProgram(LEVRANO_STATION_PATH, Args({"--config", config.Path(), "--tanks", "2", "--port", "1=" + line.Device(),
                                        "--calibration", "1=cylinder:2,5", "--calibration", "linear:7", "--duration",
                                        "2"}));
    ASSERT_EQ(0, run.exitCode) << run.err;

    // Tank 1: a horizontal cylinder of 2 m by 5 m, half full at 1 m, holds 5π/2 m³.
    const double density = 835.12f, level2 = 1.23456f, water = 0.0152f;
    const double cylinderWater = 5 * (std::acos(1 - water) - (1 - water) * std::sqrt(2 * water - water * water));
    EXPECT_THAT(TableRows(run.out),
                Contains(Row({"1", "1", "OK"}, {"1.00000", "7.854", "0.01520", Format("%.3f", cylinderWater), "835.12",
                                                "15.3", Format("%.2f", density * (5 * M_PI / 2))})));
    // Tank 2: 7 litres per millimetre, no water measured.
    EXPECT_THAT(TableRows(run.out), Contains(Row({"2", "2", "OK"}, {"1.23456", Format("%.3f", 7 * level2), "0.00000",
                                                                     "0.000", "835.12", "15.3",
                                                                     Format("%.2f", density * (7 * level2))})));
}

TEST(Station, ServesTheTanksOfTheStationDatabase) {
    const TempConfigFile config(Config(R"(<tanks default="false">
        <item tankid="12" address="1"/><item tankid="15" address="3"/></tanks>)"));
    const std::string database = config.Folder() + "station.fdb";
    std::ofstream(config.Folder() + "station.sql")
        << "create database '" << database << "' user 'SYSDBA' default character set WIN1251;\n"
        << "create table \"Tank\" (\"TankId\" integer not null, \"Number\" smallint not null);\n"
        << "insert into \"Tank\" values (15, 2);\ninsert into \"Tank\" values (12, 1);\ncommit;\n";
    const ProgramRun made = RunProgram("isql-fb", Args({"-q", "-i", config.Folder() + "station.sql"}));
    ASSERT_EQ(0, made.exitCode) << made.out << made.err;

    SimulatedLine line({Probe(1), Probe(3)});
    const ProgramRun run = RunProgram(LEVRANO_STATION_PATH, Args({"--config", config.Path(), "--database", database,
                                                           "--port", "1=" + line.Device(), "--duration", "2"}));
    ASSERT_EQ(0, run.exitCode) << run.err;
    EXPECT_THAT(run.out, HasSubstr("notice: резервуар 1 -> датчик 1\nnotice: резервуар 2 -> датчик 3\n"));
    EXPECT_THAT(TableRows(run.out), Contains(Row({"1", "1", "OK"}, kDefaultValues)));
    EXPECT_THAT(TableRows(run.out), Contains(Row({"2", "3", "OK"}, kDefaultValues)));
}

class StationStopSignal : public testing::TestWithParam<int> {};

TEST_P(StationStopSignal, StopsPollingAndExitsCleanly) {
    SimulatedLine line({Probe(1)});
    const TempConfigFile config(Config(""));
    const auto station = StartProgram(LEVRANO_STATION_PATH, Args({"--config", config.Path(), "--tanks", "1", "--port",
                                                           "1=" + line.Device()}));
    std::string out;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        out += station->readAllStandardOutput().toStdString();
        return out.find(" OK ") != std::string::npos;
    }, 20'000)) << out;

    ::kill(static_cast<pid_t>(station->processId()), GetParam());
    ASSERT_TRUE(station->waitForFinished(20'000));
    out += station->readAllStandardOutput().toStdString();
    EXPECT_EQ(QProcess::NormalExit, station->exitStatus());
    EXPECT_EQ(0, station->exitCode());
    EXPECT_THAT(out, testing::EndsWith("stopped\n"));
}

INSTANTIATE_TEST_SUITE_P(Signals, StationStopSignal, testing::Values(SIGINT, SIGTERM));

// ---- What goes wrong ----------------------------------------------------------------------------

struct MistakeCase {
    const char* name;
    std::vector<std::string> args;  // after --config FILE
    int exitCode;
    const char* message;             // on standard error
};

void PrintTo(const MistakeCase& c, std::ostream* out) { *out << c.name; }

class StationMistakes : public testing::TestWithParam<MistakeCase> {};

TEST_P(StationMistakes, AreReportedWithTheirExitStatus) {
    const MistakeCase& c = GetParam();
    const TempConfigFile config(R"(<station><port number="2"/></station>)");
    QStringList args;
    for (std::string arg : c.args) args << QString::fromStdString(arg == "CONFIG" ? config.Path() : arg);
    const ProgramRun run = RunProgram(LEVRANO_STATION_PATH, args);
    EXPECT_TRUE(run.exitedNormally);
    EXPECT_EQ(c.exitCode, run.exitCode);
    EXPECT_THAT(run.err, HasSubstr(c.message));
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, StationMistakes,
    testing::Values(
        MistakeCase{"no configuration", {"--tanks", "1"}, 2, "no --config FILE"},
        MistakeCase{"no tanks", {"--config", "CONFIG"}, 2, "no tanks: give --tanks N or --database PATH"},
        MistakeCase{"unknown option", {"--config", "CONFIG", "--tanks", "1", "--bogus"}, 2, "--bogus: unknown option"},
        MistakeCase{"tank count", {"--config", "CONFIG", "--tanks", "0"}, 2, "is not a whole number from 1 to 999"},
        MistakeCase{"port mapping", {"--config", "CONFIG", "--tanks", "1", "--port", "1"}, 2, "--port: port mapping"},
        MistakeCase{"calibration", {"--config", "CONFIG", "--tanks", "1", "--calibration", "cone:1"}, 2,
                    "unknown kind \"cone\""},
        MistakeCase{"cylinder", {"--config", "CONFIG", "--tanks", "1", "--calibration", "cylinder:2"}, 2,
                    "a cylinder needs its diameter and its length"},
        MistakeCase{"duration", {"--config", "CONFIG", "--tanks", "1", "--duration", "-1"}, 2,
                    "is not a positive number of seconds"},
        MistakeCase{"missing value", {"--config"}, 2, "--config: needs a value"},
        MistakeCase{"missing configuration file", {"--config", "/nonexistent/levrano.xml", "--tanks", "1"}, 1,
                    "the module did not load: Ошибка открытия файла"},
        MistakeCase{"a port the module asks for is not mapped",
                    {"--config", "CONFIG", "--tanks", "1", "--port", "1=/dev/null"}, 1,
                    "the module asks for port 2, which no --port maps"},
        MistakeCase{"missing database", {"--config", "CONFIG", "--database", "/nonexistent/station.fdb"}, 1,
                    "attaching /nonexistent/station.fdb"}),
    [](const testing::TestParamInfo<MistakeCase>& info) { return "Case" + std::to_string(info.index); });

TEST(Station, HelpDocumentsEveryOption) {
    const ProgramRun run = RunProgram(LEVRANO_STATION_PATH, Args({"--help"}));
    EXPECT_EQ(0, run.exitCode);
    for (const char* option : {"--config", "--tanks", "--database", "--user", "--password", "--port",
                               "--calibration", "--duration", "--module", "--help"})
        EXPECT_THAT(run.out, HasSubstr(option));
}

}  // namespace
}  // namespace levrano
