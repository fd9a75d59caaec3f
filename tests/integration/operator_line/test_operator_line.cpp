// The operator side end to end, as a station runs it: LoadModule through dlopen, the host's
// termios port on a pseudo-terminal with the probe simulator at the other end, the host's
// start and stop events, and the host's gauge listeners.
#include <gtest/gtest.h>

#include <QTest>

#include "common/cp1251.h"
#include "gauge-sim/simulator.h"
#include "serial/termios_port.h"
#include "support/tank_snapshot.h"
#include "support/test_host.h"

namespace levrano {
namespace {

using namespace levrano::test;

constexpr int kPatienceMs = 20'000;  // far beyond what the line needs

gauge_sim::ProbeSettings Probe(int address, gauge_sim::Reading reading = {}, bool silent = false) {
    gauge_sim::ProbeSettings p;
    p.address = address;
    p.values = gauge_sim::ValueSource::Constant(reading);
    p.faults.silent = silent;
    return p;
}

TEST(OperatorLine, TheHostsListenersGetTheDecodedReadingsAndEverythingComesBack) {
    gauge_sim::Reading cold;
    cold.level = 2.5;
    cold.waterLevel = 0.1;
    cold.volume = 40;
    cold.waterVolume = 0.5;
    cold.temperature = -5.4;
    cold.density = 750.5;
    gauge_sim::SimulatorOptions options;
    options.probes = {Probe(1), Probe(2, cold), Probe(3, {}, true)};
    gauge_sim::Simulator sim(options);
    const std::string line = sim.OpenPseudoTerminal();
    sim.Start();
    IntfPtr<ICPort> port = IntfPtr<ICPort>::Adopt(serial::OpenPortProvider(line)->GetPort());

    LoadedModule library;
    TestOperatorApplication app;
    app.AddTank(7, 1);
    app.AddTank(8, 2);
    app.AddTank(9, 3);
    app.SetPort(1, port.get());
    TestHost host(&app);
    IntfPtr<IInterface> module;
    {
        const TempConfigFile config(R"(<?xml version="1.0" encoding="windows-1251"?>
<station>
  <port number="1" mode="9600N8" timeout="60" delay="50"/>
  <tanks default="false">
    <item tankid="7" address="1"/>
    <item tankid="8" address="2" hasV="false"/>
    <item tankid="9" address="3"/>
  </tanks>
</station>)");
        module = library.LoadOrFail(config.Path(), host.AsInterface());
    }
    ASSERT_EQ(3u, app.Registrations().size());
    TestGaugeListener listeners[3];
    std::vector<IntfPtr<ITankGauge>> gauges;
    for (std::size_t i = 0; i < 3; ++i) {
        gauges.push_back(app.Registrations()[i].Service.Query<ITankGauge>());
        gauges[i]->AddListener(listeners[i].AsInterface());
    }
    const auto state = [&](std::size_t i) { return Read(IntfPtr<ITankState>::Adopt(gauges[i]->GetState()).get()); };

    app.FireStart();
    ASSERT_TRUE(QTest::qWaitFor([&] { return state(0).ok && state(1).ok && state(2).code == 20; }, kPatienceMs))
        << testing::PrintToString(state(0)) << testing::PrintToString(state(1)) << testing::PrintToString(state(2));

    EXPECT_EQ(Valid(1.23456f, 23.456f, 0.0152f, 0.12f, 835.12f, 15.3f, 19588.574f), state(0));
    // Probe 2 measures no volume: the host's calibration (×10) gives both, and the mass follows.
    const double level = 2.5f, water = 0.1f, density = 750.5f;
    EXPECT_EQ(Valid(level, level * 10, water, water * 10, density, -5.4f, density * (level * 10)), state(1));
    EXPECT_EQ(Failure(20, "Нет связи"_cp), state(2));
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_FALSE(listeners[i].Calls().empty()) << "listener " << i;
        for (IInterface* told : listeners[i].Calls()) EXPECT_EQ(app.Registrations()[i].Service.get(), told);
    }

    app.FireStop();
    EXPECT_EQ(1, RefCount(port.get())) << "the module gave the port back";
    const auto polls = sim.Counters(1).requests;
    QTest::qWait(300);
    EXPECT_EQ(polls, sim.Counters(1).requests) << "polling ended with the stop event";

    gauges.clear();
    module.Reset();
    app.ReleaseModuleObjects();
    EXPECT_EQ(0, app.HeldReferences());
    EXPECT_EQ(0, host.Refs());
    for (const TestGaugeListener& listener : listeners) EXPECT_EQ(0, listener.Refs());
    EXPECT_TRUE(app.AllUnexpectedCalls().empty());
}

}  // namespace
}  // namespace levrano
