// The host side of the operator benchmarks: a small station that loads liblevrano.so with dlopen
// and calls LoadModule as a real host does, serves the module numbered tanks and one serial port
// (the termios service on a pseudo-terminal), and fires the start and stop events. It must live on
// the thread that runs the Qt event loop: the module's refresh timers are delivered there.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "common/intf_ptr.h"
#include "host-kit/host_objects.h"
#include "host/cportIntf.h"
#include "serial/termios_port.h"

namespace levrano::bench {

using Clock = std::chrono::steady_clock;

// The host's termios port, noting when each "L" request goes out and to which address: the
// moment a poll begins, as the host sees it.
class RecordingPort : public serial::TermiosPort {
public:
    using TermiosPort::TermiosPort;

    IStatus* Write(const void* buffer, std::int32_t count) override;

    // When the "L" requests to `address` were written, in order.
    std::vector<Clock::time_point> LevelRequests(int address) const;
    // "L" requests to any address so far.
    std::size_t LevelRequestCount() const;

private:
    struct Request {
        int address;
        Clock::time_point at;
    };
    mutable std::mutex mutex_;
    std::vector<Request> levelRequests_;
};

// The operator application: tanks 1..N (identifier and number alike, 10 volume units per level
// unit), port 1, the gauges the module registers and its application listeners.
class BenchApplication : public host_kit::OperatorApplicationBase {
public:
    BenchApplication(int tanks, ICPort* port);

    const std::vector<IntfPtr<ITankGauge>>& Gauges() const { return gauges_; }
    void ReleaseModuleObjects();

    IEntry* CreateEntry(const char* text) override;
    ITanks* GetTanks() override;
    void RegisterService(IInterface* service, ITank* tank, GUID iid) override;
    IInterface* GetService(std::int32_t owner, GUID iid, std::int32_t number) override;

private:
    IntfPtr<ITanks> tanks_;
    IntfPtr<ICPortProvider> port_;
    std::vector<IntfPtr<ITankGauge>> gauges_;
};

// What one LoadModule call cost.
struct LoadCost {
    double milliseconds = 0;
    double heapBytes = 0;  // heap in use after the call minus before it
};

// One station: the module loaded for `tanks` tanks with the port settings given, probes addressed
// by tank position. The destructor fires the stop event and lets go of everything, as a host
// does when it closes.
class BenchStation {
public:
    struct Settings {
        int tanks = 1;
        std::string mode = "9600N8";
        int timeoutMs = 300;
        int delayMs = 0;
    };

    BenchStation(const Settings& settings, ICPort* port);
    ~BenchStation();
    BenchStation(const BenchStation&) = delete;
    BenchStation& operator=(const BenchStation&) = delete;

    const LoadCost& Load() const { return load_; }
    const std::vector<IntfPtr<ITankGauge>>& Gauges() const { return application_->Gauges(); }
    // Registers a listener with every gauge (removed again by the destructor).
    void Listen(IntfPtr<host_kit::GaugeListener> listener);
    void Start() { application_->FireStart(); }

    // The status code of a gauge's current state (0: valid).
    std::int32_t StatusCode(std::size_t gauge) const;
    double Level(std::size_t gauge) const;

private:
    IntfPtr<BenchApplication> application_;
    IntfPtr<IInterface> module_;
    IntfPtr<host_kit::GaugeListener> listener_;
    LoadCost load_;
};

// Runs the event loop until `done` holds (checked every few milliseconds); throws
// std::runtime_error naming `what` when `patience` passes first.
void RunUntil(const std::function<bool()>& done, std::chrono::milliseconds patience, const std::string& what);
// Runs the event loop for `span` and nothing else: the thread sleeps unless an event comes.
void RunFor(std::chrono::milliseconds span);

}  // namespace levrano::bench
