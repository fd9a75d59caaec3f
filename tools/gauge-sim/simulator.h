// The probe simulator: serves the gauge protocol on a pseudo-terminal or a serial device for any
// number of probes, at the speed of the line, with the faults each probe is told to inject.
// Probes, their values and their faults can be changed while it runs, from any thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "gauge-sim/frame_format.h"
#include "gauge-sim/gauge_frames.h"
#include "gauge-sim/sim_probe.h"

namespace levrano::gauge_sim {

struct SimulatorOptions {
    FrameFormat format;
    std::vector<ProbeSettings> probes;
    std::ostream* trace = nullptr;  // one line per request and per answer when set
};

// Traffic that reached no probe.
struct LineCounters {
    std::int64_t unknownAddress = 0;   // well-formed requests for an address without a probe
    std::int64_t discardedBytes = 0;   // bytes that began no well-formed request
};

class Simulator {
public:
    // Throws std::invalid_argument for an address outside 1 to 99 or given twice.
    explicit Simulator(SimulatorOptions options);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Serves a new pseudo-terminal and returns the path of its slave, where a port connects.
    std::string OpenPseudoTerminal();
    // Serves a serial device set to the frame format.
    void OpenDevice(const std::string& path);

    // Starts answering on the opened line (once); Stop ends it and is called by the destructor.
    void Start();
    void Stop();

    // Run-time changes. Installing values or faults restarts their clock (ramp, script,
    // silent-after). SetProbe adds or replaces a probe; the others throw std::invalid_argument
    // for an address without a probe.
    void SetProbe(const ProbeSettings& probe);
    void SetValues(int address, const ValueSource& values);
    void SetFaults(int address, const Faults& faults);

    ProbeCounters Counters(int address) const;  // zeros for an address without a probe
    LineCounters Line() const;
    std::vector<int> Addresses() const;

private:
    using Clock = std::chrono::steady_clock;

    struct Probe {
        ProbeSettings settings;
        Clock::time_point valuesSince;
        Clock::time_point faultsSince;
        ProbeCounters counters;
    };

    void Serve();
    void Answer(const Request& request, Clock::time_point receivedAt);
    Response Respond(const Request& request);
    void Transmit(const std::string& bytes, Clock::time_point start);
    // Sleeps until `deadline`; false when a stop came first.
    bool WaitUntil(Clock::time_point deadline) const;
    void Trace(char direction, const Request& request, const std::string& bytes, const std::string& faults);
    Probe& Find(int address);

    const FrameFormat format_;
    std::ostream* const trace_;
    const Clock::time_point started_ = Clock::now();

    int line_ = -1;
    int slave_ = -1;  // held open so that the line stays up while ports come and go
    int stop_ = -1;   // an eventfd, readable once Stop was called
    bool pseudoTerminal_ = false;
    std::thread thread_;

    mutable std::mutex mutex_;  // guards the probes, their counters and the line counters
    std::map<int, Probe> probes_;
    LineCounters lineCounters_;
    std::mutex traceMutex_;
};

}  // namespace levrano::gauge_sim
