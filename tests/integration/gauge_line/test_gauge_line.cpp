// The probe, the host's termios port and the simulator together over a pseudo-terminal: what a
// station sees of healthy, silent and broken probes, in every frame format.
#include <gtest/gtest.h>

#include "line_fixture.h"

namespace levrano::test {
namespace {

using gauge_sim::Faults;
using gauge_sim::ProbeSettings;
using std::chrono::milliseconds;

constexpr std::int32_t kTimeoutMs = 60;
constexpr milliseconds kPatience{20'000};  // far beyond what any case needs

ProbeSettings Probe(int address, Faults faults = {}) {
    ProbeSettings p;
    p.address = address;
    p.faults = faults;
    return p;
}

Faults Silent() {
    Faults f;
    f.silent = true;
    return f;
}

Faults BadCheck() {
    Faults f;
    f.badCheck = true;
    return f;
}

void ExpectExampleValues(const GaugeLine::Record& r) {
    EXPECT_EQ(kStatusValid, r.status);
    EXPECT_EQ(1.23456f, r.level);
    EXPECT_EQ(0.0152f, r.waterLevel);
    EXPECT_EQ(23.456f, r.volume);
    EXPECT_EQ(0.12f, r.waterVolume);
    EXPECT_EQ(15.3f, r.temperature);
    EXPECT_EQ(835.12f, r.density);
    EXPECT_EQ(19588.574f, r.mass);
}

TEST(GaugeLine, HealthySilentAndBrokenProbesGiveTheirStatuses) {
    gauge_sim::SimulatorOptions options;
    options.probes = {Probe(1), Probe(2, Silent()), Probe(3, BadCheck())};
    GaugeLine line(options, MakeDcb(8, kNoParity), kTimeoutMs);
    line.Start({1, 2, 3}, 50);

    ASSERT_TRUE(line.WaitForStatus(0, kStatusValid, kPatience));
    ASSERT_TRUE(line.WaitForStatus(1, kStatusNoLink, kPatience));
    ASSERT_TRUE(line.WaitForStatus(2, kStatusLineFailure, kPatience));
    ExpectExampleValues(line.Read(0));
    EXPECT_EQ(0.0f, line.Read(2).level) << "a failure stores no values";

    // Each command of a broken probe is tried three times; the silent one never answers.
    const auto silent = line.sim.Counters(2);
    const auto broken = line.sim.Counters(3);
    EXPECT_EQ(0, silent.answers);
    EXPECT_EQ(silent.requests, silent.faults);
    EXPECT_GE(broken.requests, 3);
    EXPECT_EQ(broken.requests, broken.faults);
}

TEST(GaugeLine, EveryFrameFormatDecodesWhenThePortMatchesIt) {
    struct Case {
        const char* mode;
        std::uint8_t byteSize;
        std::uint8_t parity;
        std::int32_t status;
    };
    const Case cases[] = {
        {"9600N8", 8, kNoParity, kStatusValid},
        {"9600E7", 7, kEvenParity, kStatusValid},
        {"9600O7", 7, kOddParity, kStatusValid},
        // The parity bit above the data makes the STX 0x82 for an 8-bit port: never found.
        {"9600E7", 8, kNoParity, kStatusNoLink},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.mode) + " read with " + std::to_string(c.byteSize) + " bits");
        gauge_sim::SimulatorOptions options;
        options.format = gauge_sim::ParseFrameFormat(c.mode);
        options.probes = {Probe(42)};
        GaugeLine line(options, MakeDcb(c.byteSize, c.parity), kTimeoutMs);
        line.Start({42}, 50);
        ASSERT_TRUE(line.WaitForStatus(0, c.status, kPatience));
        if (c.status == kStatusValid) ExpectExampleValues(line.Read(0));
    }
}

TEST(GaugeLine, FaultsChangedWhileRunningAreSeenAtTheNextPoll) {
    gauge_sim::SimulatorOptions options;
    options.probes = {Probe(7)};
    GaugeLine line(options, MakeDcb(8, kNoParity), kTimeoutMs);
    line.Start({7}, 20);
    ASSERT_TRUE(line.WaitForStatus(0, kStatusValid, kPatience));
    line.sim.SetFaults(7, BadCheck());
    ASSERT_TRUE(line.WaitForStatus(0, kStatusLineFailure, kPatience));
    line.sim.SetFaults(7, Silent());
    ASSERT_TRUE(line.WaitForStatus(0, kStatusNoLink, kPatience));
    line.sim.SetFaults(7, {});
    ASSERT_TRUE(line.WaitForStatus(0, kStatusValid, kPatience));
    ExpectExampleValues(line.Read(0));
}

TEST(GaugeLine, ProbeGoesSilentAfterItsTime) {
    Faults later;
    later.silentAfter = 0.5;
    gauge_sim::SimulatorOptions options;
    options.probes = {Probe(3, later)};
    GaugeLine line(options, MakeDcb(8, kNoParity), kTimeoutMs);
    line.Start({3}, 20);
    ASSERT_TRUE(line.WaitForStatus(0, kStatusValid, kPatience));
    ASSERT_TRUE(line.WaitForStatus(0, kStatusNoLink, kPatience));
    EXPECT_GT(line.sim.Counters(3).answers, 0);
}

}  // namespace
}  // namespace levrano::test
