#include "gauge-sim/probe_values.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace levrano::gauge_sim {

ValueSource ValueSource::Constant(const Reading& reading) {
    ValueSource s;
    s.start_ = reading;
    return s;
}

ValueSource ValueSource::Ramp(const Reading& start, double metresPerSecond, double maxLevel) {
    ValueSource s;
    s.start_ = start;
    s.metresPerSecond_ = metresPerSecond;
    s.maxLevel_ = std::max(maxLevel, 0.0);
    return s;
}

ValueSource ValueSource::Script(std::vector<ScriptRow> rows) {
    ValueSource s;
    s.script_ = std::move(rows);
    return s;
}

Reading ValueSource::At(double seconds) const {
    if (!script_.empty()) {
        const auto later = std::upper_bound(script_.begin(), script_.end(), seconds,
                                            [](double t, const ScriptRow& row) { return t < row.seconds; });
        return later == script_.begin() ? script_.front().reading : std::prev(later)->reading;
    }
    if (metresPerSecond_ == 0) return start_;
    Reading r = start_;
    r.level = std::clamp(start_.level + metresPerSecond_ * seconds, 0.0, maxLevel_);
    if (start_.level > 0) r.volume = start_.volume * r.level / start_.level;
    return r;
}

namespace {

[[noreturn]] void ScriptError(const std::string& name, int line, const std::string& reason) {
    throw std::invalid_argument(name + ":" + std::to_string(line) + ": " + reason);
}

// The numbers of one CSV line; false when a field is not a number.
bool ParseNumbers(const std::string& line, std::vector<double>& numbers) {
    numbers.clear();
    std::stringstream fields(line);
    std::string field;
    while (std::getline(fields, field, ',')) {
        char* end = nullptr;
        const double value = std::strtod(field.c_str(), &end);
        if (end == field.c_str()) return false;
        while (*end == ' ' || *end == '\t' || *end == '\r') ++end;
        if (*end != '\0') return false;
        numbers.push_back(value);
    }
    return true;
}

}  // namespace

std::vector<ScriptRow> ParseScript(std::istream& in, const std::string& name) {
    std::vector<ScriptRow> rows;
    std::vector<double> n;
    std::string line;
    bool header = false;
    for (int number = 1; std::getline(in, line); ++number) {
        if (line.find_first_not_of(" \t\r") == std::string::npos || line[0] == '#') continue;
        if (!ParseNumbers(line, n)) {
            if (rows.empty() && !header) {
                header = true;
                continue;
            }
            ScriptError(name, number, "a field is not a number");
        }
        if (n.size() != 7)
            ScriptError(name, number,
                        "expected 7 numbers: seconds,level,water-level,volume,water-volume,temperature,density");
        if (!rows.empty() && n[0] < rows.back().seconds)
            ScriptError(name, number, "time goes back");
        rows.push_back({n[0], Reading{n[1], n[2], n[3], n[4], n[5], n[6]}});
    }
    if (rows.empty()) throw std::invalid_argument(name + ": no rows");
    return rows;
}

std::vector<ScriptRow> LoadScript(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::invalid_argument(path + ": cannot be read");
    return ParseScript(in, path);
}

}  // namespace levrano::gauge_sim
