// The probe's side of the gauge protocol against a scripted port: request bytes, answer framing
// and its limits, retries, decoding and the change test that decides what the host is told.
#include <gtest/gtest.h>

#include <future>

#include "common/cp1251.h"
#include "gauge-sim/gauge_frames.h"
#include "gauge/tank_sensor.h"
#include "support/scripted_port.h"

namespace levrano {
namespace {

using gauge_sim::AnswerFrame;
using gauge_sim::DensityData;
using gauge_sim::LevelData;
using gauge_sim::Reading;
using gauge_sim::RequestFrame;
using test::ScriptedPort;

std::string Bytes(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes) s.push_back(static_cast<char>(b));
    return s;
}

// The "L" answer of probe 5 with the positions the probe does not examine filled with '0'.
const std::string kLevelAnswer5 = Bytes({0x02, 0x30, 0x30, 0x30, 0x35, 0x30, 0x30, 0x30, 0x30, 0x31, 0x32,
                                         0x33, 0x34, 0x35, 0x36, 0x30, 0x30, 0x30, 0x31, 0x35, 0x32, 0x30,
                                         0x32, 0x33, 0x34, 0x35, 0x36, 0x30, 0x31, 0x32, 0x30, 0x30, 0x30,
                                         0x30, 0x30, 0x30, 0x2B, 0x31, 0x35, 0x33, 0x30, 0x03, 0x1C});
const std::string kDensityAnswer5 =
    Bytes({0x02, 0x30, 0x30, 0x30, 0x35, 0x30, 0x30, 0x30, 0x38, 0x33, 0x35, 0x31, 0x32, 0x30, 0x03, 0x39});

// Records what the probe tells its adapter and what the record held at that moment.
class RecordingAdapter : public TSensorAdapter {
public:
    explicit RecordingAdapter(TTankSensor& probe) : probe_(probe) {}
    void Signal() override {
        ++signals;
        statusAtSignal = probe_.Status;
        levelAtSignal = probe_.Level;
    }
    void SensorGone() override { ++gone; }

    int signals = 0, gone = 0;
    std::int32_t statusAtSignal = -1;
    float levelAtSignal = -1;

private:
    TTankSensor& probe_;
};

// A probe at address 5 on a scripted line. The controller holds the port but polls nothing
// itself (it has no sensors), so the test calls Poll and Exchange as the polling thread would.
class ProbeTest : public ::testing::Test {
protected:
    ProbeTest() {
        line.Start(port.get());
        probe.Address = 5;
        probe.SetAdapter(&adapter);
    }
    ~ProbeTest() override {
        line.Stop();
        EXPECT_EQ(port->Locks(), port->Unlocks());
        EXPECT_EQ(0, port->UnheldCalls()) << "the line was used without being held";
    }

    void Answer(char command, std::vector<std::string> answers) {
        port->Script(RequestFrame(command, probe.Address), std::move(answers));
    }
    void AnswerReading(const Reading& r) {
        Answer('L', {AnswerFrame(probe.Address, LevelData(r))});
        Answer('M', {AnswerFrame(probe.Address, DensityData(r.density))});
    }
    // One exchange with the line held, as Poll runs it.
    std::int32_t Exchange(char command, int minDataLength) {
        port->Lock();
        const std::int32_t status = probe.Exchange(command, minDataLength);
        port->Unlock();
        return status;
    }

    IntfPtr<ScriptedPort> port = IntfPtr<ScriptedPort>::Adopt(NewCounted<ScriptedPort>());
    TController line{TTankSensor::Class()};
    TTankSensor probe{&line};
    RecordingAdapter adapter{probe};
};

TEST_F(ProbeTest, RequestFramesAreByteExact) {
    struct Case {
        std::uint8_t address;
        char command;
        std::string bytes;
    };
    for (const Case& c : {Case{5, 'L', Bytes({0x02, 0x4C, 0x30, 0x35, 0x03, 0x48})},
                          Case{12, 'M', Bytes({0x02, 0x4D, 0x31, 0x32, 0x03, 0x4F})}}) {
        probe.Address = c.address;
        const std::size_t before = port->Writes().size();
        Exchange(c.command, 1);
        ASSERT_GT(port->Writes().size(), before);
        EXPECT_EQ(c.bytes, port->Writes()[before]) << "address " << int(c.address) << " " << c.command;
    }
}

TEST_F(ProbeTest, PollDecodesBothAnswersToTheExactFloats) {
    Answer('L', {kLevelAnswer5});
    Answer('M', {kDensityAnswer5});
    probe.Poll();

    EXPECT_EQ(kStatusValid, probe.Status);
    EXPECT_EQ(1.23456f, probe.Level);
    EXPECT_EQ(0.0152f, probe.WaterLevel);
    EXPECT_EQ(23.456f, probe.Volume);
    EXPECT_EQ(0.12f, probe.WaterVolume);
    EXPECT_EQ(15.3f, probe.Temperature);
    EXPECT_EQ(835.12f, probe.Density);
    EXPECT_EQ(23.456f * 835.12f, probe.Mass);
    EXPECT_EQ(19588.574f, probe.Mass);
    EXPECT_EQ((std::vector<std::string>{RequestFrame('L', 5), RequestFrame('M', 5)}), port->Writes());
    EXPECT_EQ(2, port->Purges()) << "each request follows a purge";
    EXPECT_EQ(1, port->Locks());
    EXPECT_EQ(1, adapter.signals);
    EXPECT_EQ(1.23456f, adapter.levelAtSignal) << "the adapter is told after the values are stored";
}

TEST_F(ProbeTest, AnswerOfTheExampleIsWhatTheSimulatorSends) {
    // The frames the other tests build must be the gauge's: the documented example, byte for byte.
    EXPECT_EQ(kLevelAnswer5, AnswerFrame(5, LevelData(Reading{})));
    EXPECT_EQ(kDensityAnswer5, AnswerFrame(5, DensityData(Reading{}.density)));
}

TEST_F(ProbeTest, StxSearchSkipsTenStrayBytesButNotEleven) {
    struct Case {
        int stray;
        std::int32_t status;
    };
    for (const Case& c : {Case{0, kStatusValid}, Case{10, kStatusValid}, Case{11, kStatusNoLink}}) {
        Answer('L', {std::string(static_cast<std::size_t>(c.stray), '\x7F') + kLevelAnswer5});
        EXPECT_EQ(c.status, Exchange('L', 32)) << c.stray << " stray bytes";
    }
}

TEST_F(ProbeTest, InputLeftBeforeTheRequestIsPurged) {
    port->AddInput(std::string(20, 'x'));
    Answer('L', {kLevelAnswer5});
    EXPECT_EQ(kStatusValid, Exchange('L', 32));
}

TEST_F(ProbeTest, FrameLengthAndDataLimits) {
    struct Case {
        const char* what;
        char command;
        std::size_t dataLength;
        int minData;
        std::int32_t status;
    };
    const Case cases[] = {
        {"ETX at position 199", 'L', 190, 32, kStatusValid},
        {"ETX at position 200", 'L', 191, 32, kStatusLineFailure},
        {"L with 32 data characters", 'L', 32, 32, kStatusValid},
        {"L with 31 data characters", 'L', 31, 32, kStatusLineFailure},
        {"M with 5 data characters", 'M', 5, 5, kStatusValid},
        {"M with 4 data characters", 'M', 4, 5, kStatusLineFailure},
    };
    for (const Case& c : cases) {
        const std::string data(c.dataLength, '7');
        Answer(c.command, {AnswerFrame(5, data)});
        ASSERT_EQ(c.status, Exchange(c.command, c.minData)) << c.what;
        if (c.status == kStatusValid) {
            EXPECT_EQ(data, probe.DataText()) << c.what;
        }
    }
}

TEST_F(ProbeTest, BrokenAnswersAreTriedThreeTimes200msApartThenLineFailure) {
    std::string badCheck = kLevelAnswer5;
    badCheck.back() ^= 0x40;
    struct Case {
        const char* what;
        std::string answer;
    };
    const Case cases[] = {
        {"wrong check byte", badCheck},
        {"another address", AnswerFrame(6, LevelData(Reading{}))},
        {"frame cut off before its ETX", kLevelAnswer5.substr(0, 30)},
        {"no check byte", kLevelAnswer5.substr(0, 42)},
    };
    for (const Case& c : cases) {
        const std::size_t before = port->Writes().size();
        Answer('L', {c.answer});
        EXPECT_EQ(kStatusLineFailure, Exchange('L', 32)) << c.what;
        const auto times = port->WriteTimes();
        ASSERT_EQ(before + 3, times.size()) << c.what;
        for (std::size_t i = before + 1; i < times.size(); ++i)
            EXPECT_GE(times[i] - times[i - 1], std::chrono::milliseconds(200)) << c.what;
    }
}

TEST_F(ProbeTest, SilenceIsNoLinkAfterThreeAttempts) {
    for (bool emptyReadsOk : {false, true}) {
        port->SetEmptyReadsOk(emptyReadsOk);
        const std::size_t before = port->Writes().size();
        EXPECT_EQ(kStatusNoLink, Exchange('L', 32)) << "empty reads ok: " << emptyReadsOk;
        EXPECT_EQ(before + 3, port->Writes().size());
    }
}

TEST_F(ProbeTest, AGoodSecondAttemptEndsTheExchange) {
    Answer('L', {"", kLevelAnswer5});
    EXPECT_EQ(kStatusValid, Exchange('L', 32));
    EXPECT_EQ(2u, port->Writes().size());
}

TEST_F(ProbeTest, AnEndlessFrameCostsAtMost211ReadsPerAttempt) {
    // Ten stray bytes and the STX, then no ETX: 11 reads for the STX search, 200 for the body.
    Answer('L', {std::string(10, 'x') + "\x02" + std::string(500, '1')});
    EXPECT_EQ(kStatusLineFailure, Exchange('L', 32));
    EXPECT_EQ(3 * 211, port->Reads());
}

TEST_F(ProbeTest, SilentDensityLeavesAValidReadingWithoutDensityAndMass) {
    Answer('L', {kLevelAnswer5});
    probe.Poll();

    EXPECT_EQ(kStatusValid, probe.Status);
    EXPECT_EQ(1.23456f, probe.Level);
    EXPECT_EQ(23.456f, probe.Volume);
    EXPECT_EQ(0.0f, probe.Density);
    EXPECT_EQ(0.0f, probe.Mass);
    EXPECT_EQ((std::vector<std::string>{RequestFrame('L', 5), RequestFrame('M', 5), RequestFrame('M', 5),
                                        RequestFrame('M', 5)}),
              port->Writes());
}

TEST_F(ProbeTest, FailedLevelSendsNoDensityRequestAndKeepsTheLastValues) {
    AnswerReading(Reading{});
    probe.Poll();
    Answer('L', {""});
    probe.Poll();

    EXPECT_EQ(kStatusNoLink, probe.Status);
    EXPECT_EQ(1.23456f, probe.Level);
    EXPECT_EQ(19588.574f, probe.Mass);
    const auto writes = port->Writes();
    EXPECT_EQ(std::vector<std::string>(3, RequestFrame('L', 5)), std::vector<std::string>(writes.begin() + 2, writes.end()));
    EXPECT_EQ(2, adapter.signals);
    EXPECT_EQ(kStatusNoLink, adapter.statusAtSignal);
}

TEST_F(ProbeTest, FieldsReadAsSignedIntegersUpToTheFirstOtherCharacter) {
    struct Case {
        const char* what;
        std::size_t position;  // 1-based in the data text
        std::string text;
        float TTankSensor::*field;
        float value;
    };
    const Case cases[] = {
        {"minus sign", 29, "-123", &TTankSensor::Temperature, -12.3f},
        {"plus sign", 29, "+123", &TTankSensor::Temperature, 12.3f},
        {"digit in the sign's place", 29, "0123", &TTankSensor::Temperature, 12.3f},
        {"temperature starting with a blank", 29, "- 12", &TTankSensor::Temperature, 0.0f},
        {"level starting with a blank", 1, " 123456", &TTankSensor::Level, 0.0f},
        {"level cut short by a blank", 1, "0012 45", &TTankSensor::Level, 0.00012f},
        {"level with its own sign", 1, "+012345", &TTankSensor::Level, 0.12345f},
    };
    for (const Case& c : cases) {
        Reading r;
        r.level = 2.0;  // far from every case, so that each reading counts as a change
        r.temperature = 50.0;
        std::string data = LevelData(r);
        data.replace(c.position - 1, c.text.size(), c.text);
        Answer('L', {AnswerFrame(5, data)});
        Answer('M', {AnswerFrame(5, DensityData(r.density))});
        probe.Poll();
        EXPECT_EQ(c.value, probe.*c.field) << c.what;
        probe.Level = probe.Temperature = 99.0f;  // the next case's reading must be a change
    }
}

TEST_F(ProbeTest, AdapterIsToldUnderTheProbesLock) {
    class LockCheckingAdapter : public TSensorAdapter {
    public:
        explicit LockCheckingAdapter(TTankSensor& probe) : probe_(probe) {}
        void Signal() override {
            auto other = std::async(std::launch::async, [this] {
                probe_.Lock();
                probe_.Unlock();
            });
            lockedDuringSignal = other.wait_for(std::chrono::milliseconds(50)) == std::future_status::timeout;
            pending = std::move(other);  // completes once the poll releases the lock
        }
        void SensorGone() override {}
        bool lockedDuringSignal = false;
        std::future<void> pending;

    private:
        TTankSensor& probe_;
    } checking{probe};
    probe.SetAdapter(&checking);
    AnswerReading(Reading{});
    probe.Poll();
    EXPECT_TRUE(checking.lockedDuringSignal);
    checking.pending.get();
    probe.SetAdapter(&adapter);
}

TEST(TankSensor, DetachedAdapterIsNotToldAndDestructionTellsTheAttachedOne) {
    auto port = IntfPtr<ScriptedPort>::Adopt(NewCounted<ScriptedPort>());
    TController line{TTankSensor::Class()};
    line.Start(port.get());
    auto probe = std::make_unique<TTankSensor>(&line);
    probe->Address = 5;
    RecordingAdapter first{*probe}, second{*probe};
    probe->SetAdapter(&first);
    probe->SetAdapter(nullptr);
    probe->Poll();  // silence: a change of status, stored but told to nobody
    EXPECT_EQ(kStatusNoLink, probe->Status);
    EXPECT_EQ(0, first.signals);

    probe->SetAdapter(&second);
    probe.reset();
    EXPECT_EQ(0, first.gone);
    EXPECT_EQ(1, second.gone);
    line.Stop();
}

// Two polls in a row: is the second reading stored and told?
struct ChangeCase {
    const char* what;
    Reading first;
    Reading second;
    bool told;
};

void PrintTo(const ChangeCase& c, std::ostream* out) { *out << c.what; }

Reading With(double Reading::*field, double value, Reading r = Reading{}) {
    r.*field = value;
    return r;
}

class ProbeChangeTest : public ProbeTest, public ::testing::WithParamInterface<ChangeCase> {};

TEST_P(ProbeChangeTest, SecondPoll) {
    const ChangeCase& c = GetParam();
    AnswerReading(c.first);
    probe.Poll();
    const float storedLevel = probe.Level;
    const int signals = adapter.signals;
    AnswerReading(c.second);
    probe.Poll();
    EXPECT_EQ(signals + (c.told ? 1 : 0), adapter.signals);
    if (!c.told) {
        EXPECT_EQ(storedLevel, probe.Level);
    }
}

// The floats of the record decide, not the decimal texts: a step of exactly a threshold in the
// gauge's units falls on either side of it depending on how the two values round.
const Reading kNoDensity = With(&Reading::density, 0);
INSTANTIATE_TEST_SUITE_P(
    Thresholds, ProbeChangeTest,
    ::testing::Values(
        ChangeCase{"same reading", Reading{}, Reading{}, false},
        ChangeCase{"volume alone (no density, so no mass)", kNoDensity, With(&Reading::volume, 40.0, kNoDensity), false},
        ChangeCase{"water volume alone", Reading{}, With(&Reading::waterVolume, 5.0), false},
        ChangeCase{"level +0.5 mm, float difference 0.49996 mm", Reading{}, With(&Reading::level, 1.23506), false},
        ChangeCase{"level +0.6 mm", Reading{}, With(&Reading::level, 1.23516), true},
        ChangeCase{"water level +0.6 mm", Reading{}, With(&Reading::waterLevel, 0.0158), true},
        ChangeCase{"temperature +0.2, float difference 0.1999998", Reading{}, With(&Reading::temperature, 15.5), false},
        ChangeCase{"temperature 15.4 to 15.6, float difference 0.2000008", With(&Reading::temperature, 15.4),
                   With(&Reading::temperature, 15.6), true},
        ChangeCase{"density +0.1 (no volume, so no mass)", With(&Reading::volume, 0), With(&Reading::density, 835.22, With(&Reading::volume, 0)), false},
        ChangeCase{"density +0.3", With(&Reading::volume, 0), With(&Reading::density, 835.42, With(&Reading::volume, 0)), true},
        ChangeCase{"mass +0.835 through one more litre", Reading{}, With(&Reading::volume, 23.457), true}),
    [](const ::testing::TestParamInfo<ChangeCase>& info) { return "case" + std::to_string(info.index); });

class ProbeFirstReadingTest : public ProbeTest, public ::testing::WithParamInterface<ChangeCase> {};

TEST_P(ProbeFirstReadingTest, FirstPoll) {
    const ChangeCase& c = GetParam();
    AnswerReading(c.second);
    probe.Poll();
    EXPECT_EQ(c.told ? 1 : 0, adapter.signals);
    EXPECT_EQ(kStatusValid, probe.Status);
    if (!c.told) {
        EXPECT_EQ(0.0f, probe.Volume) << "nothing is stored";
    }
}

// Against the zero record of a new probe; thresholds compared in extended precision, so the
// float 0.0005f (a little above 0.0005) is a change although it is no bigger than 0.0005f.
const Reading kNearZero{0.0004, 0.0004, 1.0, 0.1, 0.1, 0.1};
INSTANTIATE_TEST_SUITE_P(
    Thresholds, ProbeFirstReadingTest,
    ::testing::Values(ChangeCase{"everything within its threshold of 0", {}, kNearZero, false},
                      ChangeCase{"level 0.0005 m", {}, With(&Reading::level, 0.0005, kNearZero), true},
                      ChangeCase{"temperature 0.2", {}, With(&Reading::temperature, 0.2, kNearZero), true},
                      ChangeCase{"temperature -0.1", {}, With(&Reading::temperature, -0.1, kNearZero), false}),
    [](const ::testing::TestParamInfo<ChangeCase>& info) { return "case" + std::to_string(info.index); });

TEST_F(ProbeTest, RepeatedFailureIsToldOnceAndRecoveryAgain) {
    Answer('L', {""});
    probe.Poll();
    probe.Poll();
    EXPECT_EQ(1, adapter.signals);
    EXPECT_EQ(kStatusNoLink, probe.Status);

    std::string broken = kLevelAnswer5;
    broken.back() ^= 1;
    Answer('L', {broken});
    probe.Poll();
    EXPECT_EQ(2, adapter.signals) << "20 to 30 is a change";
    EXPECT_EQ(kStatusLineFailure, probe.Status);

    AnswerReading(Reading{});
    probe.Poll();
    EXPECT_EQ(3, adapter.signals);
    EXPECT_EQ(kStatusValid, probe.Status);
}

TEST(StatusText, EveryCodeHasItsText) {
    struct Case {
        std::int32_t code;
        std::string text;
    };
    const Case cases[] = {
        {1, "looking for signal or lackof float"},
        {2, "chk error of data linearization"},
        {3, "chk error of parameter"},
        {10, std::string("Инициализация"_cp)},
        {20, std::string("Нет связи"_cp)},
        {30, std::string("Сбой по линии связи"_cp)},
        {42, std::string("Ошибка 42"_cp)},
        {-7, std::string("Ошибка -7"_cp)},
    };
    for (const Case& c : cases) EXPECT_EQ(c.text, StatusText(c.code)) << c.code;
}

}  // namespace
}  // namespace levrano
