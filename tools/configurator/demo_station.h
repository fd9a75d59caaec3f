// A demo station for trying the module out: a station database and a starter configuration file
// (the module never makes its configuration file itself).
#pragma once

#include <string>
#include <vector>

#include "configurator/station_database.h"

namespace levrano::configurator {

struct TDemoStation {
    std::string database;    // <folder>/station.fdb
    std::string configFile;  // <folder>/levrano.xml
};

// The tanks of the demo station.
const std::vector<TStationTank>& DemoTanks();

// The starter configuration file's bytes: serial port 1 at 9600 8N1, every tank served by
// position.
std::string StarterConfiguration();

// Makes the folder if needed, then both files in it with the embedded engine. Throws
// std::runtime_error, also when either file exists already (nothing is then changed).
TDemoStation CreateDemoStation(const std::string& folder);

}  // namespace levrano::configurator
