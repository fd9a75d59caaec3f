// The frame format of the simulated line ("9600N8", "9600E7", "9600O7") and its timing.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "serial/line_settings.h"

namespace levrano::gauge_sim {

struct FrameFormat {
    std::uint32_t baudRate = 9600;
    int dataBits = 8;
    serial::Parity parity = serial::Parity::None;

    // Start bit, data bits, the parity bit if any, one stop bit.
    int BitsPerChar() const { return 1 + dataBits + (parity == serial::Parity::None ? 0 : 1) + 1; }
    std::chrono::nanoseconds CharTime() const;
    // A byte as it reaches a receiver that takes 8 bits: the data bits and, in 7-bit frames with
    // parity, the parity bit above them (a pseudo-terminal delivers what a real line would).
    std::uint8_t OnLine(std::uint8_t byte) const;
    // What the receiver keeps of a byte it got: the data bits.
    std::uint8_t Data(std::uint8_t byte) const { return dataBits == 7 ? byte & 0x7F : byte; }
    std::string Name() const;
};

// "<baud><N|E|O><7|8>", e.g. "9600E7". Throws std::invalid_argument naming the text.
FrameFormat ParseFrameFormat(std::string_view text);

}  // namespace levrano::gauge_sim
