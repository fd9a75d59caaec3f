// The minimal host of docs/hosts.md, compiled from the guide itself, run against the simulator.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host_programs.h"
#include "support/test_host.h"

namespace levrano {
namespace {

using namespace levrano::test;
using testing::HasSubstr;

TEST(MinimalHost, ServesItsTankAndPrintsEachState) {
    SimulatedLine line({Probe(1)});
    const TempConfigFile config(R"(<station><port timeout="60" delay="50"/></station>)");
    const ProgramRun run =
        RunProgram(LEVRANO_MINIMAL_HOST_PATH, {LEVRANO_MODULE_PATH, QString::fromStdString(config.Path()),
                                        QString::fromStdString(line.Device()), "2"});
    EXPECT_TRUE(run.exitedNormally);
    EXPECT_EQ(0, run.exitCode) << run.out << run.err;
    EXPECT_THAT(run.out, HasSubstr("notice: резервуар 1 -> датчик 1\n"));
    EXPECT_THAT(run.out, HasSubstr("state: 0 \"\" level 1.23456 m, volume 23.456 m3, mass 19588.57 kg\n"));
}

TEST(MinimalHost, ReportsAFailedLoad) {
    SimulatedLine line({Probe(1)});
    const ProgramRun run = RunProgram(LEVRANO_MINIMAL_HOST_PATH, {LEVRANO_MODULE_PATH, "/nonexistent/levrano.xml",
                                                           QString::fromStdString(line.Device()), "1"});
    EXPECT_EQ(1, run.exitCode);
    EXPECT_THAT(run.out, HasSubstr("load failed: Ошибка открытия файла"));
}

}  // namespace
}  // namespace levrano
