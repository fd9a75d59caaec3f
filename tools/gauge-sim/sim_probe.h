// One simulated probe: its values, the faults it injects, and what it sends for a request.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "gauge-sim/probe_values.h"

namespace levrano::gauge_sim {

struct Faults {
    bool silent = false;                 // answers nothing
    bool silentOnDensity = false;        // answers "L" but not "M"
    std::optional<double> silentAfter;   // answers nothing from this many seconds on
    bool badCheck = false;               // the check byte is wrong
    std::optional<int> wrongAddress;     // answers as this address
    int strayBytes = 0;                  // this many bytes before the STX
    std::optional<int> cutAfter;         // the frame stops after this many bytes; 0: half of it
    bool shortData = false;              // the data text is one character short of the minimum
    std::chrono::milliseconds late{0};   // the answer starts this much later
};

struct ProbeSettings {
    int address = 1;
    ValueSource values;
    Faults faults;
};

struct ProbeCounters {
    std::int64_t requests = 0;  // requests for this address
    std::int64_t answers = 0;   // answers sent, faulty ones included
    std::int64_t faults = 0;    // requests that met an injected fault

    bool operator==(const ProbeCounters&) const = default;
};

// What a probe sends for one request.
struct Response {
    std::string bytes;                  // empty: the probe stays silent
    std::chrono::milliseconds delay{0}; // before the first byte, beyond the line time
    std::string faults;                 // the faults applied, e.g. "bad-check,stray=3"; empty if none
};

// The answer to `command` when the values were installed `valuesAge` seconds ago and the faults
// `faultsAge` seconds ago. Commands other than "L" and "M" get no answer and no fault.
Response Respond(const ProbeSettings& probe, char command, double valuesAge, double faultsAge);

}  // namespace levrano::gauge_sim
