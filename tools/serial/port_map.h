// The station host's table from port numbers to serial devices, filled from "N=DEVICE" texts
// such as "1=/dev/ttyUSB0".
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace levrano::serial {

class PortMap {
public:
    // Adds one mapping. Throws std::invalid_argument saying what is wrong: no "=", a number that
    // is not a decimal integer from 0 up, no device, or a number already mapped.
    void Add(std::string_view mapping);
    // The device of a port number, or null when the number is not mapped.
    const std::string* Find(std::int32_t number) const;

private:
    std::map<std::int32_t, std::string> devices_;
};

}  // namespace levrano::serial
