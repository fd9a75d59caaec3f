#include "serial/termios_port.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <exception>
#include <system_error>

#include "serial/line_settings.h"
#include "serial/port_status.h"

namespace levrano::serial {

namespace {

using Clock = std::chrono::steady_clock;

enum class Wait { Ready, TimedOut, Failed };

// Waits until the descriptor is ready for `events` or the whole time-out has passed, however
// often poll wakes early (signals, its millisecond rounding).
Wait WaitFor(int fd, short events, std::int32_t timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{fd, events, 0};
        const int r = poll(&p, 1, static_cast<int>(std::max<std::int64_t>(0, left.count())));
        if (r > 0) return Wait::Ready;  // readiness or hang-up: the read or write tells which
        if (r < 0 && errno != EINTR) return Wait::Failed;
        if (r == 0 && Clock::now() >= deadline) return Wait::TimedOut;
    }
}

IStatus* ErrnoStatus(int error) { return PortStatus::Failed(error, std::generic_category().message(error)); }

IStatus* TimeoutStatus() { return PortStatus::Failed(ETIMEDOUT, "time-out"); }

}  // namespace

TermiosPort::TermiosPort(const std::string& device) {
    // Non-blocking: opening must not wait for carrier, and every wait goes through poll.
    fd_ = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "opening " + device);
}

TermiosPort::~TermiosPort() { close(fd_); }

void TermiosPort::SetState(DCB settings) {
    std::string failure;
    try {
        const LineSettings line = FromDcb(settings);
        ApplyLineSettings(fd_, line);
        dataMask_ = line.dataBits == 8 ? 0xFF : static_cast<std::uint8_t>((1u << line.dataBits) - 1);
    } catch (const std::exception& e) {
        failure = e.what();
    }
    std::lock_guard<std::mutex> guard(setupMutex_);
    setupError_ = std::move(failure);
}

void TermiosPort::SetTimeout(std::int32_t milliseconds) { timeoutMs_ = std::max<std::int32_t>(0, milliseconds); }

void TermiosPort::Lock() {
    std::unique_lock<std::mutex> guard(lineMutex_);
    lineFree_.wait(guard, [this] { return !lineHeld_; });
    lineHeld_ = true;
}

void TermiosPort::Unlock() {
    {
        std::lock_guard<std::mutex> guard(lineMutex_);
        lineHeld_ = false;
    }
    lineFree_.notify_one();
}

void TermiosPort::Purge() { tcflush(fd_, TCIFLUSH); }

IStatus* TermiosPort::Read(std::int32_t wanted, void* buffer, std::int32_t size, std::int32_t* received) {
    std::int32_t got = 0;
    IStatus* status = nullptr;
    try {
        status = SetupFailure();
        if (!status) status = ReadBytes(static_cast<std::uint8_t*>(buffer), buffer ? std::min(wanted, size) : 0, got);
    } catch (...) {
        status = nullptr;  // out of memory for the status object: a null result is a failure too
    }
    if (received) *received = got;
    return status;
}

IStatus* TermiosPort::Write(const void* buffer, std::int32_t count) {
    try {
        if (IStatus* failure = SetupFailure()) return failure;
        return WriteBytes(static_cast<const std::uint8_t*>(buffer), count);
    } catch (...) {
        return nullptr;
    }
}

IStatus* TermiosPort::SetupFailure() {
    std::lock_guard<std::mutex> guard(setupMutex_);
    return setupError_.empty() ? nullptr : PortStatus::Failed(EINVAL, setupError_);
}

IStatus* TermiosPort::ReadBytes(std::uint8_t* out, std::int32_t count, std::int32_t& received) {
    const std::uint8_t mask = dataMask_;
    while (received < count) {
        const Wait w = WaitFor(fd_, POLLIN, timeoutMs_);
        if (w == Wait::TimedOut) return TimeoutStatus();
        if (w == Wait::Failed) return ErrnoStatus(errno);
        const ssize_t n = read(fd_, out + received, static_cast<std::size_t>(count - received));
        if (n > 0) {
            for (ssize_t i = 0; i < n; ++i) out[received + i] &= mask;
            received += static_cast<std::int32_t>(n);
        } else if (n == 0) {
            return ErrnoStatus(EIO);  // the other end has hung up
        } else if (errno != EAGAIN && errno != EINTR) {
            return ErrnoStatus(errno);
        }
    }
    return PortStatus::Ok();
}

IStatus* TermiosPort::WriteBytes(const std::uint8_t* bytes, std::int32_t count) {
    std::int32_t sent = 0;
    while (sent < count) {
        const ssize_t n = write(fd_, bytes + sent, static_cast<std::size_t>(count - sent));
        if (n > 0) {
            sent += static_cast<std::int32_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return ErrnoStatus(errno);
        const Wait w = WaitFor(fd_, POLLOUT, timeoutMs_);
        if (w == Wait::TimedOut) return TimeoutStatus();
        if (w == Wait::Failed) return ErrnoStatus(errno);
    }
    return PortStatus::Ok();
}

IntfPtr<ICPortProvider> OpenPortProvider(const std::string& device) {
    auto port = IntfPtr<ICPort>::Adopt(NewCounted<TermiosPort>(device));
    return IntfPtr<ICPortProvider>::Adopt(NewCounted<TermiosPortProvider>(std::move(port)));
}

}  // namespace levrano::serial
