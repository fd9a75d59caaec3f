// Running a host program against the probe simulator: the simulator on a pseudo-terminal in this
// process, a configuration file, the program's output, and the rows of the station's table.
#pragma once

#include <QProcess>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

#include "gauge-sim/simulator.h"

namespace levrano::test {

// A simulator serving these probes on a new pseudo-terminal, started.
class SimulatedLine {
public:
    explicit SimulatedLine(std::vector<gauge_sim::ProbeSettings> probes);
    const std::string& Device() const { return device_; }
    gauge_sim::Simulator& Simulator() { return *sim_; }

private:
    std::unique_ptr<gauge_sim::Simulator> sim_;
    std::string device_;
};

gauge_sim::ProbeSettings Probe(int address, double level = 1.23456, bool silent = false);

struct ProgramRun {
    int exitCode = -1;
    bool exitedNormally = false;
    std::string out, err;  // UTF-8 as printed
};

// Runs the program to its end; a program still running after two minutes is killed and fails.
ProgramRun RunProgram(const std::string& program, const QStringList& args);

// Starts the program; the caller waits for it and reads it.
std::unique_ptr<QProcess> StartProgram(const std::string& program, const QStringList& args);

// Each row the station printed after its seconds ("   1.2 s ..."), split at blanks.
std::vector<std::vector<std::string>> TableRows(const std::string& out);

}  // namespace levrano::test
