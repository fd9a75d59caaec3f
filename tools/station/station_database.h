// The station's tank list from its Firebird database, read through the client library
// (libfbclient) directly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace levrano::station {

struct TankRecord {
    std::int32_t id;
    std::int32_t number;
};

// select "TankId", "Number" from "Tank" order by "Number". Attaches for the read only. Throws
// std::runtime_error with the server's text.
std::vector<TankRecord> ReadStationTanks(const std::string& database, const std::string& user,
                                         const std::string& password);

}  // namespace levrano::station
