// The command line of levrano-station.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "serial/port_map.h"
#include "station/calibration.h"

namespace levrano::station {

struct Options {
    std::string config;                 // the module's configuration file
    std::string module;                 // liblevrano.so
    std::optional<int> tanks;           // --tanks N: tanks 1 to N
    std::string database;               // --database: the station's Firebird database
    std::string user = "SYSDBA";
    std::string password;
    serial::PortMap ports;
    CalibrationTable calibrations;
    std::optional<double> duration;     // seconds; none: until interrupted
    std::string stateLog;               // --log-states FILE: every published state, for programs
    bool help = false;
};

// The arguments after the program name. Throws std::invalid_argument naming the option at fault.
Options ParseOptions(const std::vector<std::string>& args, const std::string& defaultModule);

// What --help prints.
std::string HelpText(const std::string& defaultModule);

}  // namespace levrano::station
