// Line settings of a serial line and how a POSIX terminal takes them.
#pragma once

#include <cstdint>

#include "host/cportIntf.h"

namespace levrano::serial {

enum class Parity { None, Odd, Even };
// What the RTS line does: held low, held high, flow control, or raised while sending (RS-485).
enum class RtsControl { Off, On, Handshake, Toggle };

struct LineSettings {
    std::uint32_t baudRate = 9600;
    int dataBits = 8;
    Parity parity = Parity::None;
    int stopBits = 1;
    RtsControl rts = RtsControl::Off;
    bool dtr = false;
};

// Reads the DCB record a module passes to SetState. Throws std::invalid_argument for a frame the
// service does not offer (fewer than 5 or more than 8 data bits, mark or space parity).
LineSettings FromDcb(const DCB& dcb);

// Puts a terminal into raw mode with these settings; reads never block in the driver (callers
// wait with poll). Modem-line controls that the device lacks (a pseudo-terminal has none) are
// left out, and so are a character size and parity that a pseudo-terminal refuses: readers of
// 7-bit frames keep the data bits themselves. Throws std::system_error when the device refuses the settings, std::invalid_argument
// for a speed the terminal interface has no constant for.
void ApplyLineSettings(int fd, const LineSettings& settings);

}  // namespace levrano::serial
