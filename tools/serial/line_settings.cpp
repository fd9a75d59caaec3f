#include "serial/line_settings.h"

#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>

#include <cerrno>
#include <stdexcept>
#include <string>
#include <system_error>

namespace levrano::serial {

namespace {

constexpr int kDtrControlShift = 4;  // DCB flag bits 4-5: 0 off, 1 on, 2 handshake

struct Speed {
    std::uint32_t baud;
    speed_t constant;
};
constexpr Speed kSpeeds[] = {{1200, B1200},   {2400, B2400},   {4800, B4800},   {9600, B9600},
                             {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200}};

speed_t SpeedConstant(std::uint32_t baud) {
    for (const Speed& s : kSpeeds)
        if (s.baud == baud) return s.constant;
    throw std::invalid_argument("unsupported baud rate " + std::to_string(baud));
}

tcflag_t CharacterSize(int dataBits) {
    switch (dataBits) {
        case 5: return CS5;
        case 6: return CS6;
        case 7: return CS7;
        default: return CS8;
    }
}

[[noreturn]] void ThrowErrno(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

// A control that the device does not have (ENOTTY, EINVAL) is skipped, any other failure is one.
void IoctlUnlessUnsupported(int fd, unsigned long request, void* argument, const char* what) {
    if (ioctl(fd, request, argument) == 0 || errno == ENOTTY || errno == EINVAL) return;
    ThrowErrno(what);
}

// Slaves of Unix 98 pseudo-terminals have these major device numbers.
constexpr unsigned kPtySlaveMajorFirst = 136, kPtySlaveMajorLast = 143;

bool IsPseudoTerminal(int fd) {
    struct stat st {};
    return fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) >= kPtySlaveMajorFirst &&
           major(st.st_rdev) <= kPtySlaveMajorLast;
}

// A pseudo-terminal carries bytes, not frames, and may refuse a character size or parity; it then
// gets 8 bits without parity and the reader keeps the data bits itself.
void SetAttributes(int fd, termios& t) {
    if (tcsetattr(fd, TCSANOW, &t) == 0) return;
    if (errno == EINVAL && IsPseudoTerminal(fd)) {
        t.c_cflag = (t.c_cflag & ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD)) | CS8;
        if (tcsetattr(fd, TCSANOW, &t) == 0) return;
    }
    ThrowErrno("applying the line settings");
}

void SetModemLine(int fd, int line, bool high) {
    IoctlUnlessUnsupported(fd, high ? TIOCMBIS : TIOCMBIC, &line, "setting a modem line");
}

}  // namespace

LineSettings FromDcb(const DCB& dcb) {
    LineSettings s;
    s.baudRate = dcb.BaudRate;
    if (dcb.ByteSize < 5 || dcb.ByteSize > 8)
        throw std::invalid_argument("unsupported byte size " + std::to_string(dcb.ByteSize));
    s.dataBits = dcb.ByteSize;
    switch (dcb.Parity) {
        case kNoParity: s.parity = Parity::None; break;
        case kOddParity: s.parity = Parity::Odd; break;
        case kEvenParity: s.parity = Parity::Even; break;
        default: throw std::invalid_argument("unsupported parity " + std::to_string(dcb.Parity));
    }
    s.stopBits = dcb.StopBits == 0 ? 1 : 2;  // 1.5 stop bits are not offered: two
    s.rts = static_cast<RtsControl>((dcb.Flags >> kDcbRtsControlShift) & 3u);
    s.dtr = ((dcb.Flags >> kDtrControlShift) & 3u) != 0;
    return s;
}

void ApplyLineSettings(int fd, const LineSettings& settings) {
    const speed_t speed = SpeedConstant(settings.baudRate);
    termios t{};
    if (tcgetattr(fd, &t) != 0) ThrowErrno("reading the line settings");
    cfmakeraw(&t);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    t.c_cflag |= CLOCAL | CREAD | CharacterSize(settings.dataBits);
    if (settings.parity != Parity::None) t.c_cflag |= PARENB;
    if (settings.parity == Parity::Odd) t.c_cflag |= PARODD;
    if (settings.stopBits == 2) t.c_cflag |= CSTOPB;
    if (settings.rts == RtsControl::Handshake) t.c_cflag |= CRTSCTS;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (cfsetispeed(&t, speed) != 0 || cfsetospeed(&t, speed) != 0) ThrowErrno("setting the line speed");
    SetAttributes(fd, t);

    serial_rs485 rs485{};
    if (settings.rts == RtsControl::Toggle) rs485.flags = SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
    IoctlUnlessUnsupported(fd, TIOCSRS485, &rs485, "setting RTS toggling");
    if (settings.rts == RtsControl::Off || settings.rts == RtsControl::On)
        SetModemLine(fd, TIOCM_RTS, settings.rts == RtsControl::On);
    SetModemLine(fd, TIOCM_DTR, settings.dtr);
}

}  // namespace levrano::serial
