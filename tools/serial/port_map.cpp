#include "serial/port_map.h"

#include <charconv>
#include <stdexcept>

namespace levrano::serial {

void PortMap::Add(std::string_view mapping) {
    const auto fail = [&](const char* reason) {
        throw std::invalid_argument("port mapping \"" + std::string(mapping) + "\": " + reason +
                                    " (expected NUMBER=DEVICE, e.g. 1=/dev/ttyUSB0)");
    };
    const std::size_t equals = mapping.find('=');
    if (equals == std::string_view::npos) fail("no '='");
    const std::string_view numberText = mapping.substr(0, equals);
    const std::string_view device = mapping.substr(equals + 1);
    std::int32_t number = 0;
    const auto [end, error] = std::from_chars(numberText.data(), numberText.data() + numberText.size(), number);
    if (numberText.empty() || numberText[0] == '-' || error != std::errc() ||
        end != numberText.data() + numberText.size())
        fail("the port number is not a decimal integer from 0 up");
    if (device.empty()) fail("no device");
    if (!devices_.emplace(number, std::string(device)).second) fail("this port number is already mapped");
}

const std::string* PortMap::Find(std::int32_t number) const {
    const auto it = devices_.find(number);
    return it == devices_.end() ? nullptr : &it->second;
}

}  // namespace levrano::serial
