// How close a polling pass comes to the line time: healthy probes answered by the simulator over a
// pseudo-terminal at 9600 baud (8N1 and 7E1, 10 bits a character either way), read through the
// host's termios port, Delay 0. Per probe the line carries 71 characters (two 6-byte requests,
// the 43-byte "L" answer and the 16-byte "M" answer). Usage: bench_gauge_line [PASSES]
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "gauge-sim/simulator.h"
#include "gauge/tank_sensor.h"
#include "serial/termios_port.h"
#include "summary.h"

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

struct TLineCase {
    int probes;
    const char* format;  // as the simulator names it
};

// Pass times in milliseconds: the time from one pass's first poll to the next pass's.
std::vector<double> PassTimes(const TLineCase& line, int passes) {
    gauge_sim::SimulatorOptions options;
    options.format = gauge_sim::ParseFrameFormat(line.format);
    for (int address = 1; address <= line.probes; ++address) options.probes.push_back({address, {}, {}});
    gauge_sim::Simulator sim(options);
    const std::string slave = sim.OpenPseudoTerminal();
    sim.Start();

    auto port = IntfPtr<ICPort>::Adopt(serial::OpenPortProvider(slave)->GetPort());
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = options.format.baudRate;
    dcb.Flags = kDcbBinary;
    dcb.ByteSize = static_cast<std::uint8_t>(options.format.dataBits);
    dcb.Parity = options.format.parity == serial::Parity::None ? kNoParity : kEvenParity;
    port->SetState(dcb);
    port->SetOption(0);
    port->SetTimeout(300);
    port->SetInterval(20);

    TimedController controller;
    for (int address = 1; address <= line.probes; ++address)
        static_cast<TTankSensor*>(controller.AddSensor())->Address = static_cast<std::uint8_t>(address);
    controller.Delay = 0;
    controller.Start(port.get());
    // The first pass pauses 10 ms after each probe; the measured passes are the later ones.
    const auto starts = controller.WaitForPasses(static_cast<std::size_t>(passes) + 2);
    controller.Stop();
    for (int i = 0; i < line.probes; ++i)
        if (static_cast<TTankSensor*>(controller.Sensor(i))->Status != kStatusValid)
            throw std::runtime_error(std::string("a probe was not read on ") + line.format);

    std::vector<double> times;
    for (std::size_t i = 2; i < starts.size(); ++i) times.push_back(std::chrono::duration<double, std::milli>(starts[i] - starts[i - 1]).count());
    return times;
}

}  // namespace

int main(int argc, char** argv) {
    const int passes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const TLineCase cases[] = {{1, "9600N8"}, {10, "9600N8"}, {99, "9600N8"}, {1, "9600E7"}, {10, "9600E7"}, {99, "9600E7"}};
    try {
        bench::Section("Gauge line against its physical limit",
                       "The module's polling controller and probes driven directly (the station host is not in this build), "
                       "the simulator on a pseudo-terminal paced at 9600 baud, termios port service, Delay 0, healthy probes. "
                       "Line time of one poll: 71 characters of 10 bits. Median (min to max) of " + std::to_string(passes) +
                           " full passes after two warm-up passes. Goal: ratio at most 1.03 at 10 probes.");
        bench::TTable table({"frame", "probes", "pass ms", "per poll ms", "line time per poll ms", "ratio to line time"});
        for (const TLineCase& line : cases) {
            const bench::TSummary pass = bench::Summarize(PassTimes(line, passes));
            const double pollLineMs = kCharsPerProbe * 10 * 1000.0 / 9600;
            const bench::TSummary ratio{pass.median / line.probes / pollLineMs, pass.min / line.probes / pollLineMs,
                                        pass.max / line.probes / pollLineMs, pass.runs};
            table.Row({line.format, std::to_string(line.probes), bench::MedianText(pass, 1), bench::Fixed(pass.median / line.probes, 2),
                       bench::Fixed(pollLineMs, 2), bench::MedianText(ratio, 3)});
        }
        table.Print();
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "gauge_line: %s\n", e.what());
        return 1;
    }
}
