// Any bytes a line may deliver, served by a scripted port to one poll of a probe. The poll must
// not crash, must end with status 0, 20 or 30, and may store a reading only from a frame whose
// check byte and address are right. This target reads the frames with its own rules and checks
// the status, the requests sent, the pauses and every stored value against them.
//
// Input: one byte for the probe's address (1 to 99), then the answers to the "L" request's three
// attempts and to the "M" request's three, each a length byte and that many bytes (the input may
// end early: a missing answer is silence).
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "gauge/tank_sensor.h"
#include "support/scripted_port.h"

namespace levrano {

namespace {

std::vector<std::chrono::milliseconds> g_pauses;

}  // namespace

// The pause between attempts is 200 ms on a real line; here it would only slow the search, so
// the poll's pauses are recorded instead.
void Sleep(std::chrono::milliseconds duration) { g_pauses.push_back(duration); }

namespace {

constexpr int kAttempts = 3;
constexpr char kStx = 0x02;
constexpr char kEtx = 0x03;

void Require(bool condition) {
    if (!condition) std::abort();
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

struct Exchange {
    std::int32_t status = kStatusNoLink;
    int attempts = 0;
    std::string data;  // the data text of the good frame
};

std::string RequestFor(char command, int address) {
    std::string request{kStx, command, static_cast<char>('0' + address / 10), static_cast<char>('0' + address % 10), kEtx};
    char check = 0;
    for (char c : request) check ^= c;
    return request + check;
}

// One attempt as the line rules say: an STX within the first 11 bytes, a frame of at most 200
// bytes through its first ETX, enough data, a check byte that XORs the frame, and the probe's
// address as two decimal digits.
std::int32_t ReadAttempt(std::string_view answer, int address, std::size_t minData, std::string& data) {
    const std::size_t stx = answer.substr(0, 11).find(kStx);
    if (stx == std::string_view::npos) return kStatusNoLink;
    const std::string_view frame = answer.substr(stx);
    const std::size_t etx = frame.find(kEtx, 1);
    if (etx == std::string_view::npos || etx + 1 > 200) return kStatusLineFailure;
    const std::size_t k = etx + 1;
    if (k < 10 + minData || frame.size() <= k) return kStatusLineFailure;
    char check = 0;
    for (std::size_t i = 0; i < k; ++i) check ^= frame[i];
    if (check != frame[k] || !IsDigit(frame[3]) || !IsDigit(frame[4]) || (frame[3] - '0') * 10 + (frame[4] - '0') != address)
        return kStatusLineFailure;
    data = std::string(frame.substr(8, k - 10));
    return kStatusValid;
}

Exchange ReadExchange(const std::vector<std::string>& answers, int address, std::size_t minData) {
    Exchange exchange;
    while (exchange.attempts < kAttempts && exchange.status != kStatusValid) {
        exchange.status = ReadAttempt(answers[static_cast<std::size_t>(exchange.attempts++)], address, minData, exchange.data);
    }
    return exchange;
}

// A field of the data text: optional sign, then digits up to the first other character.
long long FieldValue(std::string_view text, std::size_t first, std::size_t length) {
    std::string_view field = text.substr(first - 1, length);
    const bool negative = !field.empty() && field[0] == '-';
    if (!field.empty() && (field[0] == '-' || field[0] == '+')) field.remove_prefix(1);
    long long value = 0;
    for (std::size_t i = 0; i < field.size() && IsDigit(field[i]); ++i) value = value * 10 + (field[i] - '0');
    return negative ? -value : value;
}

struct Values {
    float level = 0, volume = 0, waterLevel = 0, waterVolume = 0, temperature = 0, density = 0, mass = 0;
    bool operator==(const Values&) const = default;
};

Values Decode(const Exchange& level, const Exchange& density) {
    Values v;
    const std::string_view text = level.data;
    v.level = static_cast<float>(FieldValue(text, 1, 7) / 100.0L / 1000.0L);
    v.waterLevel = static_cast<float>(FieldValue(text, 8, 7) / 100.0L / 1000.0L);
    v.volume = static_cast<float>(FieldValue(text, 15, 5) / 1000.0L);
    v.waterVolume = static_cast<float>(FieldValue(text, 20, 4) / 1000.0L);
    const long double temperature = FieldValue(text, 30, 3) / 10.0L;
    v.temperature = static_cast<float>(text[28] == '-' ? -temperature : temperature);
    if (density.status == kStatusValid) v.density = static_cast<float>(FieldValue(density.data, 1, 5) / 100.0L);
    v.mass = v.volume * v.density;
    return v;
}

Values Stored(const TTankSensor& probe) {
    return {probe.Level, probe.Volume, probe.WaterLevel, probe.WaterVolume, probe.Temperature, probe.Density, probe.Mass};
}

// Notes what the probe stores at each signal.
class Adapter : public TSensorAdapter {
public:
    explicit Adapter(TTankSensor& probe) : probe_(probe) {}
    void Signal() override {
        ++signals;
        status = probe_.Status;
        values = Stored(probe_);
    }
    void SensorGone() override {}

    int signals = 0;
    std::int32_t status = -1;
    Values values;

private:
    TTankSensor& probe_;
};

std::vector<std::string> SplitAnswers(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> answers(2 * kAttempts);
    std::size_t at = 1;
    for (std::string& answer : answers) {
        if (at >= size) break;
        const std::size_t length = data[at++];
        const std::size_t taken = std::min(length, size - at);
        answer.assign(reinterpret_cast<const char*>(data) + at, taken);
        at += taken;
    }
    return answers;
}

void RequirePauses(std::size_t from, int attempts) {
    for (int i = 1; i < attempts; ++i) Require(g_pauses.at(from + static_cast<std::size_t>(i - 1)) == std::chrono::milliseconds(200));
}

}  // namespace

}  // namespace levrano

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace levrano;
    if (size == 0) return 0;
    const int address = 1 + data[0] % 99;
    const std::vector<std::string> answers = SplitAnswers(data, size);
    const std::vector<std::string> levelAnswers(answers.begin(), answers.begin() + kAttempts);
    const std::vector<std::string> densityAnswers(answers.begin() + kAttempts, answers.end());

    const auto port = IntfPtr<test::ScriptedPort>::Adopt(NewCounted<test::ScriptedPort>());
    port->Script(RequestFor('L', address), levelAnswers);
    port->Script(RequestFor('M', address), densityAnswers);
    TController line{TTankSensor::Class()};
    line.Start(port.get());
    {
        TTankSensor probe{&line};
        probe.Address = static_cast<std::uint8_t>(address);
        Adapter adapter{probe};
        probe.SetAdapter(&adapter);

        g_pauses.clear();
        probe.Poll();

        const Exchange level = ReadExchange(levelAnswers, address, 32);
        const Exchange density = level.status == kStatusValid ? ReadExchange(densityAnswers, address, 5) : Exchange{kStatusNoLink, 0, {}};
        const std::int32_t status = probe.Status;
        Require(status == kStatusValid || status == kStatusNoLink || status == kStatusLineFailure);

        // The requests sent: one "L" per attempt, then one "M" per attempt after a good "L".
        std::vector<std::string> expectedWrites(static_cast<std::size_t>(level.attempts), RequestFor('L', address));
        expectedWrites.insert(expectedWrites.end(), static_cast<std::size_t>(density.attempts), RequestFor('M', address));
        Require(port->Writes() == expectedWrites);
        Require(g_pauses.size() == static_cast<std::size_t>(level.attempts - 1 + (density.attempts > 0 ? density.attempts - 1 : 0)));
        RequirePauses(0, level.attempts);
        RequirePauses(static_cast<std::size_t>(level.attempts - 1), density.attempts);
        Require(port->Locks() == 1 && port->Unlocks() == 1 && port->UnheldCalls() == 0);

        // A fresh probe holds status 0 and zeros: a failure is a change and is always told; a good
        // reading is told only when it moved past a threshold, and then it is the frame's.
        Require(adapter.signals <= 1);
        if (level.status != kStatusValid) {
            Require(adapter.signals == 1 && adapter.status == level.status);
            Require(Stored(probe) == Values{});
        } else if (adapter.signals == 1) {
            Require(adapter.status == kStatusValid);
            Require(adapter.values == Decode(level, density));
            Require(Stored(probe) == adapter.values);
        } else {
            Require(status == kStatusValid && Stored(probe) == Values{});
        }
        probe.SetAdapter(nullptr);
    }
    line.Stop();
    return 0;
}
