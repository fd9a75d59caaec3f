#include "soak/state_check.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace levrano::soak {

namespace {

constexpr std::size_t kExamples = 20;
constexpr double kBrokenLevel = 5.0;  // metres: only frames that must be refused carry such levels

enum Value { kLevel, kVolume, kWaterLevel, kWaterVolume, kDensity, kTemperature, kMass };

std::vector<const Phase*> PhasesAround(const std::vector<Phase>& phases, Clock::time_point at, Clock::duration window) {
    std::vector<const Phase*> around;
    for (const Phase& p : phases)
        if (p.start <= at && p.end >= at - window) around.push_back(&p);
    return around;
}

bool LevelPartFits(const PublishedState& s, const Phase& p) {
    if (!AnswersLevel(p.kind)) return false;
    const ExpectedValues e = Expected(p.reading, false);
    return s.values[kLevel] == e.level && s.values[kVolume] == e.volume && s.values[kWaterLevel] == e.waterLevel &&
           s.values[kWaterVolume] == e.waterVolume && s.values[kTemperature] == e.temperature;
}

bool DensityFits(const PublishedState& s, const Phase& p) {
    if (!AnswersDensity(p.kind)) return s.values[kDensity] == 0.0;
    return s.values[kDensity] == Expected(p.reading, true).density;
}

// What is wrong with the state, or nothing.
std::optional<std::string> Fault(const PublishedState& s, const std::vector<const Phase*>& around) {
    const auto any = [&](auto fits) { return std::any_of(around.begin(), around.end(), [&](const Phase* p) { return fits(*p); }); };
    switch (s.code) {
        case 0: {
            if (!any([&](const Phase& p) { return LevelPartFits(s, p); })) return "level, volumes or temperature served by no phase";
            if (!any([&](const Phase& p) { return DensityFits(s, p); })) return "density served by no phase";
            const float mass = static_cast<float>(s.values[kVolume]) * static_cast<float>(s.values[kDensity]);
            if (s.values[kMass] != mass) return "mass is not volume times density";
            return std::nullopt;
        }
        case 20:
            if (any([](const Phase& p) { return SilencesProbe(p.kind); })) return std::nullopt;
            return "no link while the probe answered";
        case 30:
            if (any([](const Phase& p) { return BreaksFrames(p.kind); })) return std::nullopt;
            return "line failure while the probe's frames were whole";
        default: return "a status the line never gives";
    }
}

std::string Describe(const PublishedState& s, const std::vector<const Phase*>& around, const std::string& fault) {
    std::ostringstream text;
    text.precision(9);
    text << "tank " << s.tank << " status " << s.code << ": " << fault << "; values";
    for (double v : s.values) text << ' ' << v;
    text << "; phases around:";
    for (const Phase* p : around) text << ' ' << KindName(p->kind) << "(level " << p->reading.level << ")";
    return text.str();
}

}  // namespace

StateLogFile ReadStateLog(const std::string& path) {
    StateLogFile log;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        long long micros = 0;
        std::string second;
        if (!(fields >> micros >> second)) {
            ++log.unreadLines;
            continue;
        }
        if (second == "stopped") {
            log.stopped = true;
            continue;
        }
        PublishedState s;
        s.at = Clock::time_point(std::chrono::microseconds(micros));
        s.tank = std::stoi(second);
        fields >> s.code;
        for (double& v : s.values) fields >> v;
        if (!fields) {
            ++log.unreadLines;
            continue;
        }
        log.states.push_back(s);
    }
    return log;
}

CheckReport CheckStates(const std::vector<PublishedState>& states, const std::map<int, std::vector<Phase>>& phases,
                        Clock::duration window) {
    CheckReport report;
    static const std::vector<Phase> kNone;
    for (const PublishedState& s : states) {
        ++report.states;
        ++report.byCode[s.code];
        if (s.code == 0 && s.values[kLevel] >= kBrokenLevel) ++report.brokenReadingsPublished;
        const auto it = phases.find(s.tank);
        const std::vector<const Phase*> around = PhasesAround(it == phases.end() ? kNone : it->second, s.at, window);
        const std::optional<std::string> fault = Fault(s, around);
        if (!fault) continue;
        ++report.violations;
        if (report.examples.size() < kExamples) report.examples.push_back(Describe(s, around, *fault));
    }
    return report;
}

}  // namespace levrano::soak
