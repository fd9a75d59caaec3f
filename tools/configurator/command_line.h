// The options of levrano-configurator.
#pragma once

#include <string>
#include <vector>

#include "configurator/station_database.h"

namespace levrano::configurator {

struct CommandLine {
    TConnection database;     // the station's database
    std::string configFile;   // the module's configuration file
    std::string module;       // liblevrano.so
    std::string demoFolder;   // --init-demo: make a demo station there and do nothing else
    bool configureAtOnce = false;
    bool help = false;
};

// The arguments after the program name; `defaultModule` when --module is not given. Throws
// std::invalid_argument naming the option at fault.
CommandLine ParseCommandLine(const std::vector<std::string>& args, const std::string& defaultModule);

// What --help prints.
std::string HelpText(const std::string& defaultModule);

}  // namespace levrano::configurator
