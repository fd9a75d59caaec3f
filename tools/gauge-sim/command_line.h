// The options of levrano-gauge-sim.
#pragma once

#include <string>
#include <vector>

#include "gauge-sim/frame_format.h"
#include "gauge-sim/sim_probe.h"

namespace levrano::gauge_sim {

struct CommandLine {
    FrameFormat format;
    std::vector<ProbeSettings> probes;
    std::string device;  // empty: a new pseudo-terminal
    bool trace = false;
    bool help = false;
};

// The arguments after the program name. Throws std::invalid_argument naming the option at fault.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// One probe option's text, "ADDRESS[-LAST][:SETTING,...]", as probes (one per address).
std::vector<ProbeSettings> ParseProbe(const std::string& argument);

// What --help prints.
std::string HelpText();

}  // namespace levrano::gauge_sim
