#include "gauge-sim/frame_format.h"

#include <bit>
#include <charconv>
#include <stdexcept>

namespace levrano::gauge_sim {

std::chrono::nanoseconds FrameFormat::CharTime() const {
    return std::chrono::nanoseconds(std::int64_t{1'000'000'000} * BitsPerChar() / baudRate);
}

std::uint8_t FrameFormat::OnLine(std::uint8_t byte) const {
    if (dataBits != 7) return byte;
    const std::uint8_t data = byte & 0x7F;
    const bool oddOnes = std::popcount(data) % 2 == 1;
    bool parityBit = false;
    if (parity == serial::Parity::Even) parityBit = oddOnes;
    if (parity == serial::Parity::Odd) parityBit = !oddOnes;
    return static_cast<std::uint8_t>(data | (parityBit ? 0x80 : 0));
}

std::string FrameFormat::Name() const {
    const char p = parity == serial::Parity::None ? 'N' : parity == serial::Parity::Even ? 'E' : 'O';
    return std::to_string(baudRate) + p + std::to_string(dataBits);
}

FrameFormat ParseFrameFormat(std::string_view text) {
    const auto fail = [&] {
        throw std::invalid_argument("frame format \"" + std::string(text) +
                                    "\": expected BAUD, N, E or O, then 7 or 8 (e.g. 9600N8, 9600E7)");
    };
    FrameFormat f;
    const char* end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, f.baudRate);
    if (error != std::errc() || f.baudRate == 0 || end - rest != 2) fail();
    switch (rest[0]) {
        case 'N': f.parity = serial::Parity::None; break;
        case 'E': f.parity = serial::Parity::Even; break;
        case 'O': f.parity = serial::Parity::Odd; break;
        default: fail();
    }
    if (rest[1] != '7' && rest[1] != '8') fail();
    f.dataBits = rest[1] - '0';
    return f;
}

}  // namespace levrano::gauge_sim
