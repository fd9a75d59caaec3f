// Where a simulated probe's readings come from: constant values, a level ramp, or a CSV script.
#pragma once

#include <istream>
#include <string>
#include <vector>

#include "gauge-sim/gauge_frames.h"

namespace levrano::gauge_sim {

struct ScriptRow {
    double seconds;
    Reading reading;
};

class ValueSource {
public:
    // The default probe: the values of Reading's defaults, constant.
    ValueSource() = default;

    static ValueSource Constant(const Reading& reading);
    // The level moves by `metresPerSecond` (negative: draining) from the start reading and stays
    // within 0 and `maxLevel`; the product volume follows the level in proportion.
    static ValueSource Ramp(const Reading& start, double metresPerSecond, double maxLevel);
    // Each row holds from its time until the next row's; the first row also holds before it.
    // Rows must be in time order (ParseScript checks).
    static ValueSource Script(std::vector<ScriptRow> rows);

    // The reading `seconds` after the source was installed.
    Reading At(double seconds) const;

private:
    Reading start_;
    double metresPerSecond_ = 0;
    double maxLevel_ = 0;
    std::vector<ScriptRow> script_;  // empty unless a script
};

// CSV lines "seconds,level,water-level,volume,water-volume,temperature,density". One line before
// the first row that is not numbers is the header; blank lines and lines starting with '#' are
// skipped.
// Throws std::invalid_argument naming `name` and the line for a row that is not seven numbers,
// a time before the previous row's, or a script without rows.
std::vector<ScriptRow> ParseScript(std::istream& in, const std::string& name);
// ParseScript on a file; throws std::invalid_argument when it cannot be read.
std::vector<ScriptRow> LoadScript(const std::string& path);

}  // namespace levrano::gauge_sim
