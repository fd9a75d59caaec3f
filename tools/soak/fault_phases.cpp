#include "soak/fault_phases.h"

#include <array>

namespace levrano::soak {

namespace {

std::int64_t Between(std::mt19937& random, std::int64_t low, std::int64_t high) {
    return std::uniform_int_distribution<std::int64_t>(low, high)(random);
}

// Level at 5 m and up, density above any good one: what a broken frame carries.
ProbeReading RandomBrokenReading(std::mt19937& random) {
    ProbeReading r = RandomGoodReading(random);
    r.level = Between(random, 500'000, 600'000);
    r.density = Between(random, 95'000, 99'999);
    return r;
}

// Good answers twice as often as any one fault.
constexpr std::array kKindWeights = {
    std::pair{PhaseKind::Good, 6},         std::pair{PhaseKind::Noise, 2},       std::pair{PhaseKind::LateInTime, 2},
    std::pair{PhaseKind::DensitySilent, 1}, std::pair{PhaseKind::Silent, 3},     std::pair{PhaseKind::NoiseTooLong, 1},
    std::pair{PhaseKind::BadCheck, 3},     std::pair{PhaseKind::CutFrame, 2},    std::pair{PhaseKind::WrongAddress, 1},
    std::pair{PhaseKind::ShortData, 1},
};

PhaseKind RandomKind(std::mt19937& random) {
    int total = 0;
    for (const auto& [kind, weight] : kKindWeights) total += weight;
    int pick = static_cast<int>(Between(random, 0, total - 1));
    for (const auto& [kind, weight] : kKindWeights) {
        if (pick < weight) return kind;
        pick -= weight;
    }
    return PhaseKind::Good;
}

}  // namespace

const char* KindName(PhaseKind kind) {
    switch (kind) {
        case PhaseKind::Good: return "good";
        case PhaseKind::Noise: return "noise";
        case PhaseKind::LateInTime: return "late";
        case PhaseKind::DensitySilent: return "density-silent";
        case PhaseKind::Silent: return "silent";
        case PhaseKind::NoiseTooLong: return "noise-too-long";
        case PhaseKind::BadCheck: return "bad-check";
        case PhaseKind::CutFrame: return "cut-frame";
        case PhaseKind::WrongAddress: return "wrong-address";
        case PhaseKind::ShortData: return "short-data";
    }
    return "?";
}

bool BreaksFrames(PhaseKind kind) {
    return kind == PhaseKind::BadCheck || kind == PhaseKind::CutFrame || kind == PhaseKind::WrongAddress ||
           kind == PhaseKind::ShortData;
}

bool SilencesProbe(PhaseKind kind) { return kind == PhaseKind::Silent || kind == PhaseKind::NoiseTooLong; }

bool AnswersLevel(PhaseKind kind) { return !BreaksFrames(kind) && !SilencesProbe(kind); }

bool AnswersDensity(PhaseKind kind) { return AnswersLevel(kind) && kind != PhaseKind::DensitySilent; }

ExpectedValues Expected(const ProbeReading& r, bool withDensity) {
    ExpectedValues v{};
    v.level = static_cast<float>(r.level / 100.0L / 1000.0L);
    v.waterLevel = static_cast<float>(r.waterLevel / 100.0L / 1000.0L);
    v.volume = static_cast<float>(r.volume / 1000.0L);
    v.waterVolume = static_cast<float>(r.waterVolume / 1000.0L);
    v.temperature = static_cast<float>(r.temperature / 10.0L);
    v.density = withDensity ? static_cast<float>(r.density / 100.0L) : 0.0f;
    v.mass = v.volume * v.density;
    return v;
}

gauge_sim::Reading SimulatorReading(const ProbeReading& r) {
    gauge_sim::Reading s;
    s.level = static_cast<double>(r.level) / 100'000;
    s.waterLevel = static_cast<double>(r.waterLevel) / 100'000;
    s.volume = static_cast<double>(r.volume) / 1000;
    s.waterVolume = static_cast<double>(r.waterVolume) / 1000;
    s.temperature = static_cast<double>(r.temperature) / 10;
    s.density = static_cast<double>(r.density) / 100;
    return s;
}

gauge_sim::Faults FaultsOf(PhaseKind kind, std::mt19937& random, std::chrono::milliseconds timeout) {
    gauge_sim::Faults f;
    switch (kind) {
        case PhaseKind::Good: break;
        case PhaseKind::Noise: f.strayBytes = static_cast<int>(Between(random, 1, 10)); break;
        case PhaseKind::LateInTime: f.late = std::chrono::milliseconds(Between(random, 10, timeout.count() / 2)); break;
        case PhaseKind::DensitySilent: f.silentOnDensity = true; break;
        case PhaseKind::Silent: f.silent = true; break;
        case PhaseKind::NoiseTooLong: f.strayBytes = static_cast<int>(Between(random, 11, 30)); break;
        case PhaseKind::BadCheck: f.badCheck = true; break;
        case PhaseKind::CutFrame: f.cutAfter = static_cast<int>(Between(random, 0, 12)); break;
        case PhaseKind::WrongAddress: f.wrongAddress = static_cast<int>(Between(random, 11, 99)); break;
        case PhaseKind::ShortData: f.shortData = true; break;
    }
    return f;
}

ProbeReading RandomGoodReading(std::mt19937& random) {
    return {Between(random, 10'000, 400'000), Between(random, 0, 20'000), Between(random, 1'000, 60'000),
            Between(random, 0, 2'000),        Between(random, -300, 450), Between(random, 70'000, 90'000)};
}

Phase NextPhase(const Phase& previous, std::mt19937& random, Clock::time_point start) {
    Phase next{RandomKind(random), previous.reading, start, start};
    if (BreaksFrames(next.kind)) next.reading = RandomBrokenReading(random);
    else if (AnswersLevel(next.kind)) next.reading = RandomGoodReading(random);
    return next;
}

}  // namespace levrano::soak
