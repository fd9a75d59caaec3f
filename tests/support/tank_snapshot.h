// A tank state as an operator host reads it through ITankState and its IStatus, comparable and
// printable, for tests of the module's gauges.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

#include "host/OperatorIntf.h"

namespace levrano::test {

struct Snapshot {
    std::int32_t code = 0;
    std::string text;  // Windows-1251
    bool ok = false;
    double level = 0, volume = 0, waterLevel = 0, waterVolume = 0, density = 0, temperature = 0, mass = 0;

    friend bool operator==(const Snapshot&, const Snapshot&) = default;
    friend void PrintTo(const Snapshot& s, std::ostream* out);  // the text in UTF-8
};

// Reads every value and the status; a missing state or status is a test failure.
Snapshot Read(ITankState* state);

// A snapshot of a valid reading with these values; or of a failure, all values 0.
Snapshot Valid(double level, double volume, double waterLevel, double waterVolume, double density,
               double temperature, double mass);
Snapshot Failure(std::int32_t code, std::string_view text);

// The references held on a module-side object (the caller's own included).
std::int32_t RefCount(IInterface* object);

}  // namespace levrano::test
