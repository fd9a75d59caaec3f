// The gauge protocol as a probe speaks it: request frames, answer frames and their data texts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace levrano::gauge_sim {

inline constexpr char kStx = '\x02';
inline constexpr char kEtx = '\x03';
inline constexpr std::size_t kRequestLength = 6;

// One reading of a probe, in the units of the module's record.
struct Reading {
    double level = 1.23456;      // metres
    double waterLevel = 0.0152;  // metres
    double volume = 23.456;      // cubic metres
    double waterVolume = 0.12;   // cubic metres
    double temperature = 15.3;   // degrees Celsius
    double density = 835.12;     // kilograms per cubic metre
};

// XOR of all bytes.
std::uint8_t CheckByte(std::string_view bytes);

// STX, command, two address digits, ETX, check byte.
std::string RequestFrame(char command, int address);

// STX, "00", two address digits, "000", the data text, "0", ETX, check byte.
std::string AnswerFrame(int address, std::string_view data);

// The 32 characters of an "L" answer: level and water level in hundredths of a millimetre (7
// digits each), volume in litres (5), water volume in litres (4), five unused zeros, the sign of
// the temperature and its tenths of a degree (3). A value beyond its digits is sent as the
// largest value they hold; negative levels and volumes as 0.
std::string LevelData(const Reading& reading);

// The 5 characters of an "M" answer: the density in hundredths of a kilogram per cubic metre.
std::string DensityData(double density);

struct Request {
    char command;
    int address;
};

// Picks complete, well-formed requests out of the bytes received so far. Bytes that cannot
// begin one (noise, a frame with a wrong check byte) are dropped and counted.
class RequestReader {
public:
    void Feed(std::string_view bytes) { pending_.append(bytes); }
    std::optional<Request> Next();
    std::int64_t Discarded() const { return discarded_; }

private:
    std::string pending_;
    std::int64_t discarded_ = 0;
};

}  // namespace levrano::gauge_sim
