// An operator host around the loaded module: the test host's application with its tanks, a
// scripted port on port number 1 that also records how the module set it up, and helpers to
// script probes, fire the host's events and read what the gauges publish.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "gauge-sim/gauge_frames.h"
#include "support/scripted_port.h"
#include "support/tank_snapshot.h"
#include "support/test_host.h"

namespace levrano::test {

inline constexpr std::chrono::milliseconds kPatience{10'000};  // far beyond what any case needs

// The scripted port, recording the set-up calls ("SetState", "SetOption 0", "SetTimeout 300", ...)
// in order and the last line settings.
class SetupRecordingPort : public ScriptedPort {
public:
    const std::vector<std::string>& SetupCalls() const { return setup_; }
    const DCB& LineSettings() const { return dcb_; }

    void SetState(DCB settings) override;
    void SetOption(std::int32_t option) override;
    void SetTimeout(std::int32_t milliseconds) override;
    void SetInterval(std::int32_t milliseconds) override;

private:
    std::vector<std::string> setup_;  // made while the module loads, on the test's thread
    DCB dcb_{};
};

// The simulator's default reading as the probe decodes it.
inline constexpr float kLevel = 1.23456f, kWaterLevel = 0.0152f, kVolume = 23.456f, kWaterVolume = 0.12f,
                       kTemperature = 15.3f, kDensity = 835.12f, kMass = 19588.574f;

// "<boot>" + body + "</boot>"
std::string Config(std::string_view body);

class OperatorHost {
public:
    OperatorHost();
    // Stops polling and releases what the host holds, before the library goes.
    ~OperatorHost();
    OperatorHost(const OperatorHost&) = delete;
    OperatorHost& operator=(const OperatorHost&) = delete;

    // Loads the module with this configuration file content; anything but a clean load fails.
    void Load(std::string_view config);

    // The gauge that the module registered n-th, and its current state.
    IntfPtr<ITankGauge> Gauge(std::size_t n) const;
    Snapshot State(std::size_t n) const;

    // The probe at `address` answers "L" and "M" with this reading, or nothing.
    void Answer(int address, const gauge_sim::Reading& reading = {});
    void Silence(int address);
    // The addresses of the "L" requests written so far, in order.
    std::vector<int> PolledAddresses() const;

    // Runs the event loop until `done` holds; false when `timeout` ran out first.
    static bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = kPatience);
    // Runs the event loop for a while (for what must not happen).
    static void RunEvents(std::chrono::milliseconds duration);

    LoadedModule library;  // first, so that it goes last
    TestOperatorApplication app;
    IntfPtr<SetupRecordingPort> port;
    IntfPtr<IInterface> module;
};

}  // namespace levrano::test
