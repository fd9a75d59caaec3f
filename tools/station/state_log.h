// The machine-readable record of what the module publishes (--log-states), for programs that
// check it against what the probes sent, such as the soak test.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>

#include "host/OperatorIntf.h"

namespace levrano::station {

class StateLog {
public:
    // No file: nothing is written. Throws std::runtime_error when the file cannot be created.
    explicit StateLog(const std::string& path);

    // "<monotonic µs> <tank number> <code> <level> <volume> <water level> <water volume>
    // <density> <temperature> <mass>", values with every digit of the double.
    void Published(std::int32_t tankNumber, ITankState* state);
    // "<monotonic µs> stopped", after the module has stopped and been released.
    void Stopped();

private:
    std::ofstream out_;
};

}  // namespace levrano::station
