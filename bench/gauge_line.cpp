// How close a polling pass comes to the line time: ten healthy probes answered by the simulator
// over a pseudo-terminal at 9600 baud (8N1), read through the host's termios port, Delay 0.
// Per probe the line carries 71 characters (two 6-byte requests, the 43-byte "L" answer and the
// 16-byte "M" answer) of 10 bits each. Usage: bench_gauge_line [PASSES] [PROBES]
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "gauge-sim/simulator.h"
#include "gauge/tank_sensor.h"
#include "serial/termios_port.h"

using namespace levrano;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kCharsPerProbe = 6 + 43 + 6 + 16;

// Notes when each pass begins: the poll of the first probe.
class TimedController : public TController {
public:
    TimedController() : TController(TTankSensor::Class()) {}

    std::vector<Clock::time_point> WaitForPasses(std::size_t passes) {
        std::unique_lock<std::mutex> guard(mutex_);
        passStarted_.wait(guard, [&] { return starts_.size() >= passes; });
        return starts_;
    }

protected:
    void BeforePoll(TSensor* sensor) override {
        if (sensor != Sensor(0)) return;
        {
            std::lock_guard<std::mutex> guard(mutex_);
            starts_.push_back(Clock::now());
        }
        passStarted_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable passStarted_;
    std::vector<Clock::time_point> starts_;
};

}  // namespace

int main(int argc, char** argv) {
    const int passes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int probes = argc > 2 ? std::clamp(std::atoi(argv[2]), 1, 99) : 10;

    gauge_sim::SimulatorOptions options;
    for (int address = 1; address <= probes; ++address) options.probes.push_back({address, {}, {}});
    gauge_sim::Simulator sim(options);
    const std::string slave = sim.OpenPseudoTerminal();
    sim.Start();

    auto port = IntfPtr<ICPort>::Adopt(serial::OpenPortProvider(slave)->GetPort());
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = 9600;
    dcb.Flags = kDcbBinary;
    dcb.ByteSize = 8;
    port->SetState(dcb);
    port->SetOption(0);
    port->SetTimeout(300);
    port->SetInterval(20);

    TimedController controller;
    for (int address = 1; address <= probes; ++address)
        static_cast<TTankSensor*>(controller.AddSensor())->Address = static_cast<std::uint8_t>(address);
    controller.Delay = 0;
    controller.Start(port.get());
    // The first pass pauses 10 ms after each probe; the measured passes are the later ones.
    const auto starts = controller.WaitForPasses(static_cast<std::size_t>(passes) + 2);
    controller.Stop();

    const double lineMs = probes * kCharsPerProbe * 10 * 1000.0 / 9600;
    double totalMs = 0, fastestMs = 1e300;
    for (std::size_t i = 2; i < starts.size(); ++i) {
        const double ms = std::chrono::duration<double, std::milli>(starts[i] - starts[i - 1]).count();
        totalMs += ms;
        fastestMs = std::min(fastestMs, ms);
    }
    const double meanMs = totalMs / static_cast<double>(starts.size() - 2);
    int failed = 0;
    for (int i = 0; i < probes; ++i)
        if (static_cast<TTankSensor*>(controller.Sensor(i))->Status != kStatusValid) ++failed;

    std::printf("probes %d, passes %zu, line time per pass %.1f ms\n", probes, starts.size() - 2, lineMs);
    std::printf("pass mean %.1f ms, fastest %.1f ms, ratio to line time %.3f (fastest %.3f)\n", meanMs, fastestMs,
                meanMs / lineMs, fastestMs / lineMs);
    std::printf("probes not valid at the end: %d\n", failed);
    return failed == 0 ? 0 : 1;
}
