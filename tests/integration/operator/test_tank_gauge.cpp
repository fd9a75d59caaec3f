// The tank gauges as the host sees them: the initial state, the snapshots made from the probe's
// readings with the host's calibration, the 100 ms coalescing of signals, and the listeners.
#include <gtest/gtest.h>

#include <thread>

#include "common/cp1251.h"
#include "operator_host.h"

namespace levrano {
namespace {

using namespace levrano::test;
using std::chrono::milliseconds;

const Snapshot kInitial = Failure(10, "Инициализация"_cp);

gauge_sim::Reading Level(double level) {
    gauge_sim::Reading r;
    r.level = level;
    return r;
}

// One tank (id 7, number 11, calibration 10 volume units per level unit) on probe 1.
std::string OneProbe(std::string_view flags = {}, std::string_view port = {}) {
    return Config(std::string(R"(<tanks default="false"><item tankid="7" address="1" )") + std::string(flags) +
                  "/></tanks>" + std::string(port));
}

void ExpectReservedOperations(ITankState* state) {
    EXPECT_EQ(0, state->GetReserved());
    EXPECT_EQ(0, state->GetReservedFlags());
    EXPECT_EQ(7, state->PassValue(7));
    EXPECT_EQ(-123456, state->PassValue(-123456));
}

TEST(TankGauge, StartsInitialisingWithNoValues) {
    OperatorHost host;
    host.app.AddTank(7, 11);
    host.Load(OneProbe());
    EXPECT_EQ(kInitial, host.State(0));
    ExpectReservedOperations(IntfPtr<ITankState>::Adopt(host.Gauge(0)->GetState()).get());
}

TEST(TankGauge, SendCommandSucceedsWhateverItIsGiven) {
    TestGaugeListener anything;
    OperatorHost host;
    host.app.AddTank(7, 11);
    host.Load(OneProbe());
    for (IInterface* argument : {static_cast<IInterface*>(nullptr), anything.AsInterface()}) {
        const auto status = IntfPtr<IStatus>::Adopt(host.Gauge(0)->SendCommand(argument));
        ASSERT_TRUE(status);
        char text[35] = "garbage";
        EXPECT_EQ(0, status->GetCode());
        EXPECT_STREQ("", status->GetText(text));
        EXPECT_TRUE(status->IsOk());
    }
    EXPECT_EQ(0, anything.Refs());
}

// ---- What a valid reading publishes, by the quantities the probe measures ------------------------

struct FlagsCase {
    const char* name;
    const char* flags;  // attributes of the tank entry
    Snapshot expected;
    std::int32_t calibrations;  // LevelToVolume calls for the snapshot
};

void PrintTo(const FlagsCase& c, std::ostream* out) { *out << c.name << " (" << c.flags << ")"; }

// The probe's values widened as the gauge widens them; the host's calibration is ×10.
constexpr double L = kLevel, V = kVolume, WL = kWaterLevel, WV = kWaterVolume, D = kDensity, T = kTemperature,
                 M = kMass;

class MeasuredQuantities : public testing::TestWithParam<FlagsCase> {};

TEST_P(MeasuredQuantities, FillTheSnapshot) {
    const FlagsCase& c = GetParam();
    OperatorHost host;
    const TestTank& tank = host.app.AddTank(7, 11);
    host.Answer(1);
    host.Load(OneProbe(c.flags));
    host.app.FireStart();
    ASSERT_TRUE(host.WaitUntil([&] { return host.State(0).ok; }));
    EXPECT_EQ(c.expected, host.State(0));
    EXPECT_EQ(c.calibrations, tank.LevelToVolumeCalls());
    ExpectReservedOperations(IntfPtr<ITankState>::Adopt(host.Gauge(0)->GetState()).get());
}

INSTANTIATE_TEST_SUITE_P(
    Flags, MeasuredQuantities,
    testing::Values(
        FlagsCase{"everything measured", "", Valid(L, V, WL, WV, D, T, M), 0},
        FlagsCase{"level without volume: the host's volumes, mass from them", R"(hasV="false")",
                  Valid(L, L * 10, WL, WL * 10, D, T, D * (L * 10)), 2},
        FlagsCase{"neither level nor volume: water volume still the host's", R"(hasH="false" hasV="FALSE")",
                  Valid(0, 0, WL, WL * 10, D, T, 0), 1},
        FlagsCase{"volume without level", R"(hasH="false")", Valid(0, V, WL, WV, D, T, M), 0},
        FlagsCase{"volume without density: no mass", R"(hasD="false")", Valid(L, V, WL, WV, 0, T, 0), 0},
        FlagsCase{"no water", R"(hasW="false")", Valid(L, V, 0, 0, D, T, M), 0},
        FlagsCase{"no temperature", R"(hasT="false")", Valid(L, V, WL, WV, D, 0, M), 0},
        FlagsCase{"water only", R"(hasH="false" hasV="false" hasD="false" hasT="false")",
                  Valid(0, 0, WL, WL * 10, 0, 0, 0), 1},
        FlagsCase{"level only", R"(hasV="false" hasD="false" hasW="false" hasT="no")",
                  Valid(L, L * 10, 0, 0, 0, 0, 0), 1}),
    [](const testing::TestParamInfo<FlagsCase>& info) { return "Case" + std::to_string(info.index); });

// ---- Failures and later readings ----------------------------------------------------------------

TEST(TankGauge, AProbeThatFallsSilentShowsNoLinkAndNoValues) {
    OperatorHost host;
    host.app.AddTank(7, 11);
    host.Answer(1);
    host.Load(OneProbe({}, R"(<port delay="20"/>)"));
    host.app.FireStart();
    ASSERT_TRUE(host.WaitUntil([&] { return host.State(0).ok; }));
    const auto earlier = IntfPtr<ITankState>::Adopt(host.Gauge(0)->GetState());

    host.Silence(1);
    ASSERT_TRUE(host.WaitUntil([&] { return host.State(0).code == 20; }));
    EXPECT_EQ(Failure(20, "Нет связи"_cp), host.State(0)) << "earlier values are not carried over";
    // A snapshot never changes once handed out.
    EXPECT_EQ(Valid(L, V, WL, WV, D, T, M), Read(earlier.get()));
}

TEST(TankGauge, SignalsBeforeTheRefreshGiveOneSnapshotOfTheLastReading) {
    TestGaugeListener first, second;
    OperatorHost host;
    host.app.AddTank(7, 11);
    host.port->Script(gauge_sim::RequestFrame('L', 1), {gauge_sim::AnswerFrame(1, gauge_sim::LevelData(Level(1.0))),
                                                        gauge_sim::AnswerFrame(1, gauge_sim::LevelData(Level(1.1))),
                                                        gauge_sim::AnswerFrame(1, gauge_sim::LevelData(Level(1.2)))});
    host.port->Script(gauge_sim::RequestFrame('M', 1), {gauge_sim::AnswerFrame(1, gauge_sim::DensityData(800))});
    host.Load(OneProbe({}, R"(<port delay="20"/>)"));
    host.Gauge(0)->AddListener(first.AsInterface());
    host.Gauge(0)->AddListener(second.AsInterface());

    host.app.FireStart();
    // The refresh runs on this thread's event loop, which does not run while three polls store
    // three changes and signal each; the fourth poll has begun once the third has signalled.
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (host.port->Locks() < 4 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(milliseconds(5));
    ASSERT_GE(host.port->Locks(), 4);

    ASSERT_TRUE(host.WaitUntil([&] { return first.Calls().size() == 1; }));
    host.RunEvents(milliseconds(300));
    EXPECT_EQ(1u, first.Calls().size());
    EXPECT_EQ(1u, second.Calls().size());
    EXPECT_EQ(1.2f, host.State(0).level);
}

TEST(TankGauge, ChangesComingFasterThanTheRefreshAreStillPublishedEvery100ms) {
    TestGaugeListener listener;
    OperatorHost host;
    host.app.AddTank(7, 11);
    std::vector<std::string> rising;
    for (int i = 0; i < 100; ++i) rising.push_back(gauge_sim::AnswerFrame(1, gauge_sim::LevelData(Level(1.0 + 0.01 * i))));
    host.port->Script(gauge_sim::RequestFrame('L', 1), rising);
    host.port->Script(gauge_sim::RequestFrame('M', 1), {gauge_sim::AnswerFrame(1, gauge_sim::DensityData(800))});
    host.Load(OneProbe({}, R"(<port delay="20"/>)"));
    int pollsAtFirstCall = 0;
    listener.OnStateChanged = [&](IInterface*) {
        if (listener.Calls().size() == 1) pollsAtFirstCall = host.port->Locks();
    };
    host.Gauge(0)->AddListener(listener.AsInterface());
    host.app.FireStart();
    // The refresh follows the first of a run of signals: a change every 20 ms or so does not
    // keep putting it off until the changes stop.
    ASSERT_TRUE(host.WaitUntil([&] { return listener.Calls().size() >= 1; }));
    EXPECT_LT(pollsAtFirstCall, 50);
}

// ---- Listeners ----------------------------------------------------------------------------------

TEST(TankGauge, ListenersAreToldOnceEachWithTheGaugeUntilRemoved) {
    TestGaugeListener twice, removed, neverAdded;
    TestTank notAListener(1, 1);
    OperatorHost host;
    host.app.AddTank(7, 11);
    host.Answer(1, Level(1.0));
    host.Load(OneProbe({}, R"(<port delay="20"/>)"));
    IntfPtr<ITankGauge> gauge = host.Gauge(0);
    gauge->AddListener(twice.AsInterface());
    gauge->AddListener(twice.AsInterface());
    gauge->AddListener(removed.AsInterface());
    gauge->AddListener(notAListener.AsInterface());
    gauge->AddListener(nullptr);
    gauge->RemoveListener(neverAdded.AsInterface());
    EXPECT_TRUE(notAListener.WasAskedFor(IID_ITankGaugeListener));
    EXPECT_EQ(0, notAListener.Refs()) << "a listener without the interface is not kept";
    EXPECT_EQ(1, twice.Refs());

    host.app.FireStart();
    ASSERT_TRUE(host.WaitUntil([&] { return twice.Calls().size() == 1 && removed.Calls().size() == 1; }));
    // The gauge passes itself, as the IInterface the host was given.
    EXPECT_EQ(host.app.Registrations()[0].Service.get(), twice.Calls()[0]);

    gauge->RemoveListener(removed.AsInterface());
    EXPECT_EQ(0, removed.Refs());
    host.Answer(1, Level(1.5));
    ASSERT_TRUE(host.WaitUntil([&] { return twice.Calls().size() == 2; }));
    host.RunEvents(milliseconds(150));
    EXPECT_EQ(2u, twice.Calls().size());
    EXPECT_EQ(1u, removed.Calls().size());
    EXPECT_TRUE(neverAdded.Calls().empty());
    EXPECT_EQ(1.5f, host.State(0).level);

    host.app.FireStop();
    host.app.ReleaseModuleObjects();
    EXPECT_EQ(1, RefCount(gauge.get())) << "only the test holds the gauge now";
    gauge.Reset();
    EXPECT_EQ(0, twice.Refs()) << "the gauge released its listeners";
}

TEST(TankGauge, AListenerMayReadTheNewStateAndCallTheGaugeWhileBeingTold) {
    TestGaugeListener listener;
    OperatorHost host;
    host.app.AddTank(7, 11);
    host.Answer(1);
    host.Load(OneProbe());
    Snapshot seen;
    listener.OnStateChanged = [&](IInterface* gauge) {
        const auto g = IntfPtr<IInterface>::Borrow(gauge).Query<ITankGauge>();
        seen = Read(IntfPtr<ITankState>::Adopt(g->GetState()).get());
        g->RemoveListener(listener.AsInterface());
    };
    host.Gauge(0)->AddListener(listener.AsInterface());
    host.app.FireStart();
    ASSERT_TRUE(host.WaitUntil([&] { return listener.Calls().size() == 1; }));
    EXPECT_EQ(Valid(L, V, WL, WV, D, T, M), seen);
    EXPECT_EQ(0, listener.Refs());
}

}  // namespace
}  // namespace levrano
