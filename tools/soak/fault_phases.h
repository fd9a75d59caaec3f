// What each simulated probe does over the soak: a run of phases, each with its reading and the
// fault it injects, and what a correct module may publish for a tank while a phase lasts.
#pragma once

#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "gauge-sim/sim_probe.h"

namespace levrano::soak {

using Clock = std::chrono::steady_clock;

enum class PhaseKind {
    Good,           // clean answers
    Noise,          // up to 10 stray bytes before the STX: still read
    LateInTime,     // the answer starts late, but within the line's time-out
    DensitySilent,  // "L" answered, "M" not: a reading without density
    Silent,         // no answer: "no link"
    NoiseTooLong,   // 11 stray bytes or more: the STX is never reached, "no link"
    BadCheck,       // wrong check byte: "line failure"
    CutFrame,       // the frame breaks off: "line failure"
    WrongAddress,   // answers as another probe: "line failure"
    ShortData,      // one data character too few: "line failure"
};

// A reading as the probe's integers: hundredths of a millimetre, litres, tenths of a degree,
// hundredths of a kg/m³. Good readings keep the level below 5 m; the frames of the phases that
// break them carry levels from 5 m up, so that such a reading is recognisable if it is ever
// published.
struct ProbeReading {
    std::int64_t level, waterLevel, volume, waterVolume, temperature, density;
};

// The seven values the module must publish for a reading, as its 32-bit floats.
struct ExpectedValues {
    float level, volume, waterLevel, waterVolume, density, temperature, mass;
};

struct Phase {
    PhaseKind kind;
    ProbeReading reading;  // what the probe's frames carry
    Clock::time_point start;
    Clock::time_point end;  // the next phase's start; the soak's end for the last
};

const char* KindName(PhaseKind kind);
bool BreaksFrames(PhaseKind kind);     // the module must publish 30 while it lasts
bool SilencesProbe(PhaseKind kind);    // the module must publish 20 while it lasts
bool AnswersLevel(PhaseKind kind);     // "L" is read: a reading with status 0
bool AnswersDensity(PhaseKind kind);

ExpectedValues Expected(const ProbeReading& reading, bool withDensity);
gauge_sim::Reading SimulatorReading(const ProbeReading& reading);
// The simulator faults of a phase; `timeout` is the line's read time-out.
gauge_sim::Faults FaultsOf(PhaseKind kind, std::mt19937& random, std::chrono::milliseconds timeout);

// A random next phase for a probe: its kind, and a new reading when it answers or breaks frames
// (a silent phase keeps the reading it had).
Phase NextPhase(const Phase& previous, std::mt19937& random, Clock::time_point start);
ProbeReading RandomGoodReading(std::mt19937& random);

}  // namespace levrano::soak
