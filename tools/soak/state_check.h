// Reading the station's state log and checking every published state against the phases the
// simulator served for that tank's probe around the moment it was published.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "soak/fault_phases.h"

namespace levrano::soak {

struct PublishedState {
    Clock::time_point at;
    int tank = 0;
    int code = 0;
    // level, volume, water level, water volume, density, temperature, mass
    std::array<double, 7> values{};
};

struct StateLogFile {
    std::vector<PublishedState> states;
    bool stopped = false;  // the station logged its clean stop
    int unreadLines = 0;
};

// Lines as levrano-station --log-states writes them.
StateLogFile ReadStateLog(const std::string& path);

struct CheckReport {
    std::int64_t states = 0;
    std::map<int, std::int64_t> byCode;
    std::int64_t brokenReadingsPublished = 0;  // values of a frame that should have been refused
    std::int64_t violations = 0;
    std::vector<std::string> examples;  // the first violations, described
};

// Phases by probe address (tank n is served by probe n). A state published at time t must fit a
// phase of its probe that lasted into [t - window, t]: status 0 with the exact values of an
// answering phase (the "L" and "M" parts may come from neighbouring phases; a density of 0 only
// where "M" went unanswered), 20 only around a silent phase, 30 only around a breaking one.
CheckReport CheckStates(const std::vector<PublishedState>& states, const std::map<int, std::vector<Phase>>& phases,
                        Clock::duration window);

}  // namespace levrano::soak
