// The host's serial port service on a POSIX terminal device: ICPort for one line and the
// ICPortProvider that hands it out.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "common/intf_ptr.h"
#include "common/refcounted.h"
#include "host/cportIntf.h"

namespace levrano::serial {

class TermiosPort : public RefCounted<ICPort> {
public:
    // Opens the device for reading and writing. Throws std::system_error naming the device.
    explicit TermiosPort(const std::string& device);
    ~TermiosPort() override;

    void PortReserved1() override {}
    void PortReserved2() override {}
    void PortReserved3() override {}
    // A setting the device refuses is kept as the port's failure: every Read and Write reports it
    // until a later SetState succeeds, so a misconfigured line shows instead of passing silently.
    void SetState(DCB settings) override;
    void PortReserved5() override {}
    void SetOption(std::int32_t) override {}  // no options: 0 is all a module passes
    void PortReserved7() override {}
    void SetTimeout(std::int32_t milliseconds) override;
    void PortReserved9() override {}
    void SetInterval(std::int32_t) override {}  // reads are bounded by the time-out alone
    void Lock() override;
    void Unlock() override;
    void Purge() override;
    // Waits at most the time-out for each byte; ok only when all `wanted` bytes arrived.
    IStatus* Read(std::int32_t wanted, void* buffer, std::int32_t size, std::int32_t* received) override;
    IStatus* Write(const void* buffer, std::int32_t count) override;

private:
    IStatus* SetupFailure();
    IStatus* ReadBytes(std::uint8_t* out, std::int32_t count, std::int32_t& received);
    IStatus* WriteBytes(const std::uint8_t* bytes, std::int32_t count);

    int fd_;
    std::atomic<std::int32_t> timeoutMs_{300};
    // 7-bit frames: the bit above the data (the parity bit on some devices) is not data.
    std::atomic<std::uint8_t> dataMask_{0xFF};

    std::mutex setupMutex_;
    std::string setupError_;  // empty while the line settings hold

    // The line's owner between Lock and Unlock; a flag rather than a mutex so that an Unlock from
    // another thread, or one too many, does no harm.
    std::mutex lineMutex_;
    std::condition_variable lineFree_;
    bool lineHeld_ = false;
};

class TermiosPortProvider : public RefCounted<ICPortProvider> {
public:
    explicit TermiosPortProvider(IntfPtr<ICPort> port) : port_(std::move(port)) {}
    ICPort* GetPort() override { return IntfPtr<ICPort>(port_).Detach(); }

private:
    IntfPtr<ICPort> port_;
};

// The provider of one device, opened now (throws std::system_error when it cannot be opened).
IntfPtr<ICPortProvider> OpenPortProvider(const std::string& device);

}  // namespace levrano::serial
