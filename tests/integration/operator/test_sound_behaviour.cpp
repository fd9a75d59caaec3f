// What the module does where hosts and timing could catch it out: refreshes after the stop,
// gauges released while polling runs, a failing host calibration, repeated or late host events,
// host code that throws, and a host that lets go without a stop event.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <thread>

#include "common/cp1251.h"
#include "operator_host.h"

namespace levrano {
namespace {

using namespace levrano::test;
using std::chrono::milliseconds;

gauge_sim::Reading Level(double level) {
    gauge_sim::Reading r;
    r.level = level;
    return r;
}

// Answers for `count` polls of probe `address`, each with a level 0.1 m above the one before.
void AnswerRisingLevels(OperatorHost& host, int address, int count) {
    std::vector<std::string> answers;
    for (int i = 0; i < count; ++i)
        answers.push_back(gauge_sim::AnswerFrame(address, gauge_sim::LevelData(Level(1.0 + 0.1 * i))));
    host.port->Script(gauge_sim::RequestFrame('L', address), answers);
    host.port->Script(gauge_sim::RequestFrame('M', address), {gauge_sim::AnswerFrame(address, gauge_sim::DensityData(800))});
}

// Waits without running the event loop, so that no refresh can run meanwhile.
bool WaitForPolls(const OperatorHost& host, int locks) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (host.port->Locks() < locks) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(milliseconds(5));
    }
    return true;
}

const std::string kFastPolls = R"(<port delay="20"/>)";

// One tank (id 7, number 11) on probe 1, which answers with the simulator's default reading.
class OneTank : public testing::Test {
protected:
    OneTank() {
        host.app.AddTank(7, 11);
        host.Answer(1);
        host.Load(Config(kFastPolls));
    }
    // Starts polling and waits for the first valid state.
    void StartAndWaitForReading() {
        host.app.FireStart();
        ASSERT_TRUE(host.WaitUntil([&] { return host.State(0).ok; }));
    }

    TestGaugeListener first, second;  // before the host: the gauges may hold them to its end
    OperatorHost host;
};

TEST_F(OneTank, ARefreshArmedBeforeTheStopLeavesTheFreedProbeAlone) {
    host.Gauge(0)->AddListener(first.AsInterface());

    host.app.FireStart();
    // The first poll has stored its reading and armed the refresh once the second poll begins.
    ASSERT_TRUE(WaitForPolls(host, 2));
    host.app.FireStop();  // the probe is freed while its refresh is still pending
    host.RunEvents(milliseconds(300));

    EXPECT_TRUE(first.Calls().empty());
    EXPECT_EQ(Failure(10, "Инициализация"_cp), host.State(0)) << "the gauge keeps its last state";
}

TEST(SoundBehaviour, AGaugeTheHostReleasesWhilePollingRunsIsNeverSignalledAgain) {
    TestGaugeListener kept;
    OperatorHost host;
    const TestTank& released = host.app.AddTank(7, 11);
    host.app.AddTank(8, 12);
    AnswerRisingLevels(host, 1, 60);
    AnswerRisingLevels(host, 2, 60);
    host.Load(Config(kFastPolls));
    host.Gauge(1)->AddListener(kept.AsInterface());
    host.app.FireStart();
    ASSERT_TRUE(host.WaitUntil([&] { return host.State(0).ok && kept.Calls().size() == 1; }));

    host.app.ReleaseRegistration(0);
    EXPECT_EQ(1, released.Refs()) << "the gauge is gone; only its probe holds the tank";
    // Probe 1 goes on storing changes; the kept gauge goes on publishing.
    const int polls = host.port->Locks();
    ASSERT_TRUE(host.WaitUntil([&] { return host.port->Locks() >= polls + 10 && kept.Calls().size() >= 3; }));
    host.app.FireStop();
    EXPECT_EQ(0, released.Refs());
}

// ---- A host calibration that fails --------------------------------------------------------------

struct CalibrationCase {
    const char* name;
    TestTank::Calibration failure;
};

void PrintTo(const CalibrationCase& c, std::ostream* out) { *out << c.name; }

class FailingCalibration : public testing::TestWithParam<CalibrationCase> {};

TEST_P(FailingCalibration, PublishesTheFailureAndPollingGoesOn) {
    bool failing = true;
    OperatorHost host;
    host.app.AddTank(7, 11, [&](double level) { return failing ? GetParam().failure(level) : level * 10; });
    host.Answer(1, Level(1.0));
    host.Load(Config(R"(<tanks default="false"><item tankid="7" address="1" hasV="false"/></tanks>)" + kFastPolls));
    host.app.FireStart();
    ASSERT_TRUE(host.WaitUntil([&] { return host.State(0).code != 10; }));
    EXPECT_EQ(Failure(40, "Ошибка градуировки"_cp), host.State(0));

    // The probe's lock was given back: the next reading is stored and published.
    failing = false;
    host.Answer(1, Level(1.5));
    ASSERT_TRUE(host.WaitUntil([&] { return host.State(0).ok; }));
    EXPECT_EQ(1.5f, host.State(0).level);
    EXPECT_EQ(static_cast<double>(1.5f) * 10, host.State(0).volume);
}

INSTANTIATE_TEST_SUITE_P(
    Calibration, FailingCalibration,
    testing::Values(
        CalibrationCase{"throws an exception", [](double) -> double { throw std::runtime_error("no table"); }},
        CalibrationCase{"throws something else", [](double) -> double { throw 42; }},
        CalibrationCase{"not a number", [](double) { return std::numeric_limits<double>::quiet_NaN(); }},
        CalibrationCase{"infinite", [](double) { return std::numeric_limits<double>::infinity(); }},
        CalibrationCase{"negative infinite", [](double) { return -std::numeric_limits<double>::infinity(); }}),
    [](const testing::TestParamInfo<CalibrationCase>& info) { return "Case" + std::to_string(info.index); });

// ---- The host's events --------------------------------------------------------------------------

TEST_F(OneTank, AStopAfterTheStopAndAStartAfterItDoNothing) {
    host.app.FireStart();
    StartAndWaitForReading();

    host.app.FireStop();
    const int polls = host.port->Locks();
    EXPECT_EQ(1, RefCount(host.port.get())) << "the port is given back";
    EXPECT_EQ(0, host.app.Refs()) << "the host is released";
    host.app.FireStop();
    host.app.FireStart();
    host.RunEvents(milliseconds(200));
    host.app.FireStop();

    EXPECT_EQ(polls, host.port->Locks()) << "no polling after the stop";
    EXPECT_EQ(1, RefCount(host.port.get()));
    EXPECT_TRUE(host.State(0).ok) << "the gauge keeps its last state";
}

TEST_F(OneTank, AModuleReleasedBeforeTheStopEventStillStopsOnIt) {
    StartAndWaitForReading();

    host.module.Reset();
    host.app.FireStop();
    EXPECT_EQ(1, RefCount(host.port.get()));
    host.app.ReleaseModuleObjects();
    EXPECT_EQ(0, host.app.HeldReferences());
}

TEST_F(OneTank, AHostThatLetsGoWithoutAStopEventEndsThePolling) {
    StartAndWaitForReading();

    host.module.Reset();
    host.app.ReleaseModuleObjects();
    const int polls = host.port->Locks();
    host.RunEvents(milliseconds(200));
    EXPECT_EQ(polls, host.port->Locks());
    EXPECT_EQ(1, RefCount(host.port.get()));
    EXPECT_EQ(0, host.app.HeldReferences());
}

// ---- Host code that throws or lets go while it is told ------------------------------------------

TEST_F(OneTank, AListenerThatThrowsKeepsNoOtherFromBeingTold) {
    first.OnStateChanged = [](IInterface*) { throw std::runtime_error("host failure"); };
    host.Gauge(0)->AddListener(first.AsInterface());
    host.Gauge(0)->AddListener(second.AsInterface());
    host.app.FireStart();
    ASSERT_TRUE(host.WaitUntil([&] { return second.Calls().size() == 1; }));
    EXPECT_EQ(1u, first.Calls().size());
}

TEST_F(OneTank, AGaugeReleasedByItsListenerFinishesTellingTheOthers) {
    first.OnStateChanged = [&](IInterface*) { host.app.ReleaseRegistration(0); };
    host.Gauge(0)->AddListener(first.AsInterface());
    host.Gauge(0)->AddListener(second.AsInterface());
    host.app.FireStart();
    ASSERT_TRUE(host.WaitUntil([&] { return second.Calls().size() == 1; }));
    EXPECT_EQ(0, first.Refs()) << "the gauge went after the pass and released its listeners";
    EXPECT_EQ(0, second.Refs());
}

}  // namespace
}  // namespace levrano
