// A station's end of a gauge line for tests: the probe simulator on a pseudo-terminal, the
// host's termios port on its slave, and a polling controller with one probe per address.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "common/intf_ptr.h"
#include "gauge-sim/simulator.h"
#include "gauge/tank_sensor.h"
#include "serial/termios_port.h"

namespace levrano::test {

// Line settings as the operator module makes them: binary mode, one stop bit.
DCB MakeDcb(std::uint8_t byteSize, std::uint8_t parity, std::uint32_t rtsControl = 0);

// Counts the changes a probe reports.
class CountingAdapter : public TSensorAdapter {
public:
    void Signal() override;
    void SensorGone() override {}
    // Waits until `count` changes were reported; false after `timeout`.
    bool WaitFor(int count, std::chrono::milliseconds timeout);
    int Count();

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int signals_ = 0;
};

class GaugeLine {
public:
    GaugeLine(gauge_sim::SimulatorOptions options, const DCB& settings, std::int32_t timeoutMs);
    ~GaugeLine();

    // Adds a probe for each address (before Start); polling starts with `delayMs` between polls.
    void Start(const std::vector<std::uint8_t>& addresses, std::int32_t delayMs);
    // The probe at an index, with its record copied under its lock.
    struct Record {
        std::int32_t status;
        float level, volume, waterLevel, waterVolume, temperature, density, mass;
    };
    Record Read(int index);
    // Waits until the probe at `index` has reported `status`; false after `timeout`.
    bool WaitForStatus(int index, std::int32_t status, std::chrono::milliseconds timeout);
    CountingAdapter& Adapter(int index) { return *adapters_[static_cast<std::size_t>(index)]; }

    gauge_sim::Simulator sim;
    IntfPtr<ICPort> port;
    TController controller{TTankSensor::Class()};

private:
    std::vector<std::unique_ptr<CountingAdapter>> adapters_;
};

}  // namespace levrano::test
