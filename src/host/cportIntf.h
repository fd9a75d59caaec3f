// The host's serial port service as the module uses it.
#pragma once

#include <cstddef>

#include "host/OperatorIntf.h"

namespace levrano {

// Line settings in the Windows DCB layout (28 bytes). The bit fields of the original are one
// flag word here: bit 0 binary mode, bits 12-13 RTS control.
struct DCB {
    std::uint32_t DCBlength;
    std::uint32_t BaudRate;
    std::uint32_t Flags;
    std::uint16_t wReserved;
    std::uint16_t XonLim;
    std::uint16_t XoffLim;
    std::uint8_t ByteSize;
    std::uint8_t Parity;    // 0 none, 1 odd, 2 even
    std::uint8_t StopBits;  // 0 one stop bit
    char XonChar;
    char XoffChar;
    char ErrorChar;
    char EofChar;
    char EvtChar;
    std::uint16_t wReserved1;
};
static_assert(sizeof(DCB) == 28);
static_assert(offsetof(DCB, BaudRate) == 4);
static_assert(offsetof(DCB, Flags) == 8);
static_assert(offsetof(DCB, XonLim) == 14);
static_assert(offsetof(DCB, ByteSize) == 18);
static_assert(offsetof(DCB, Parity) == 19);
static_assert(offsetof(DCB, StopBits) == 20);
static_assert(offsetof(DCB, EvtChar) == 25);
static_assert(offsetof(DCB, wReserved1) == 26);

inline constexpr std::uint32_t kDcbBinary = 1u;
inline constexpr int kDcbRtsControlShift = 12;  // 0 disable, 1 enable, 2 handshake, 3 toggle
inline constexpr std::uint8_t kNoParity = 0, kOddParity = 1, kEvenParity = 2;

// Host: one serial line. Between Lock and Unlock no other user touches the line.
struct ICPort : IInterface {
    virtual void PortReserved1() = 0;
    virtual void PortReserved2() = 0;
    virtual void PortReserved3() = 0;
    virtual void SetState(DCB settings) = 0;  // 4
    virtual void PortReserved5() = 0;
    virtual void SetOption(std::int32_t option) = 0;  // 6
    virtual void PortReserved7() = 0;
    virtual void SetTimeout(std::int32_t milliseconds) = 0;  // 8, per byte read
    virtual void PortReserved9() = 0;
    virtual void SetInterval(std::int32_t milliseconds) = 0;  // 10
    virtual void Lock() = 0;                                  // 11
    virtual void Unlock() = 0;                                // 12
    virtual void Purge() = 0;                                 // 13, drops pending input
    // 14: reads up to `wanted` bytes into buffer (room `size`); a byte arrived only when the
    // status is ok and *received is 1.
    virtual IStatus* Read(std::int32_t wanted, void* buffer, std::int32_t size, std::int32_t* received) = 0;
    virtual IStatus* Write(const void* buffer, std::int32_t count) = 0;  // 15
};
LEVRANO_INTERFACE_ID(ICPort, "{26AE7B61-DE61-4126-A0B0-D3BADD137EF7}");

// Host: hands out the port of one port number (GetService with this identifier).
struct ICPortProvider : IInterface {
    virtual ICPort* GetPort() = 0;
};
LEVRANO_INTERFACE_ID(ICPortProvider, "{BE3B0F56-0120-4097-8070-6CE597598676}");

}  // namespace levrano
