// The operator side measured as a station runs it: liblevrano.so loaded with dlopen by a small
// host (bench_host.h), the host's termios port on a pseudo-terminal, the probe simulator at the
// other end paced at 9600 baud (10 bits a character in 8N1 and in 7E1), Delay 0, time-out 300 ms.
// Per probe poll the line carries 71 characters: two 6-byte requests, the 43-byte "L" answer and
// the 16-byte "M" answer. Usage: bench_operator_line [RUNS] [CPU_RUNS] [CPU_SECONDS]
#include <sys/resource.h>

#include <QCoreApplication>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <vector>

#include "bench_host.h"
#include "gauge-sim/simulator.h"
#include "simulator_process.h"
#include "summary.h"

using namespace levrano;
using namespace levrano::bench;
using std::chrono::milliseconds;

namespace {

constexpr double kCharMs = 10 * 1000.0 / 9600;
constexpr int kCharsPerPoll = 6 + 43 + 6 + 16;
constexpr double kPollLineMs = kCharsPerPoll * kCharMs;
// After the "L" answer a poll still sends the "M" request and reads its answer.
constexpr double kLineAfterLevelAnswerMs = (6 + 16) * kCharMs;
constexpr int kTimeoutMs = 300;
// A silent probe: three attempts that each wait one time-out, with 200 ms between them.
constexpr double kSilentProbeMs = 3 * kTimeoutMs + 2 * 200;
constexpr double kRefreshMs = 100;
constexpr int kStatusNoLink = 20;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

TSummary Scaled(const TSummary& s, double factor) { return {s.median * factor, s.min * factor, s.max * factor, s.runs}; }

IntfPtr<RecordingPort> OpenPort(const std::string& device) {
    return IntfPtr<RecordingPort>::Adopt(NewCounted<RecordingPort>(device));
}

gauge_sim::ProbeSettings Probe(int address, bool silent) {
    gauge_sim::ProbeSettings probe;
    probe.address = address;
    probe.faults.silent = silent;
    return probe;
}

// ---- Passes over the line -----------------------------------------------------------------------

struct LineCase {
    const char* mode;
    int probes;
    int silent;  // the last this many probes answer nothing
};

// Pass times in milliseconds, from one "L" request to the first probe to the next; the first pass
// (which pauses 10 ms after each probe) is left out.
std::vector<double> PassTimes(const LineCase& line, int passes) {
    gauge_sim::SimulatorOptions options;
    options.format = gauge_sim::ParseFrameFormat(line.mode);
    for (int address = 1; address <= line.probes; ++address) options.probes.push_back(Probe(address, address > line.probes - line.silent));
    gauge_sim::Simulator sim(options);
    const IntfPtr<RecordingPort> port = OpenPort(sim.OpenPseudoTerminal());
    sim.Start();

    BenchStation station({line.probes, line.mode, kTimeoutMs, 0}, port.get());
    station.Start();
    const double expectedPassMs = (line.probes - line.silent) * kPollLineMs + line.silent * kSilentProbeMs;
    const auto patience = milliseconds(10'000 + static_cast<int>(3 * (passes + 2) * expectedPassMs));
    RunUntil([&] { return port->LevelRequests(1).size() >= static_cast<std::size_t>(passes) + 2; }, patience,
             std::to_string(passes + 2) + " passes over " + std::to_string(line.probes) + " probes");
    // The states are refreshed 100 ms after a change: long past for all but the last probe.
    RunFor(milliseconds(static_cast<int>(kRefreshMs) + 50));
    for (int i = 0; i < line.probes; ++i) {
        const std::int32_t expected = i >= line.probes - line.silent ? kStatusNoLink : 0;
        if (station.StatusCode(static_cast<std::size_t>(i)) != expected)
            throw std::runtime_error("probe " + std::to_string(i + 1) + " on " + line.mode + " shows status " +
                                     std::to_string(station.StatusCode(static_cast<std::size_t>(i))));
    }
    const auto starts = port->LevelRequests(1);
    std::vector<double> times;
    for (std::size_t i = 2; i < static_cast<std::size_t>(passes) + 2; ++i) times.push_back(Ms(starts[i] - starts[i - 1]));
    return times;
}

// ---- State publication ---------------------------------------------------------------------------

// The simulator's trace read as it is written: when each "L" answer's last byte went out (the
// trace line follows the last byte at once), and the answer's bytes.
class AnswerTrace : public std::streambuf {
public:
    struct Answer {
        Clock::time_point sent;
        std::string bytes;
    };

    std::ostream& Stream() { return stream_; }
    std::vector<Answer> Answers() const {
        std::lock_guard<std::mutex> guard(mutex_);
        return answers_;
    }

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        if (traits_type::to_char_type(c) != '\n') {
            line_ += traits_type::to_char_type(c);
            return c;
        }
        NoteLine(Clock::now());
        line_.clear();
        return c;
    }

private:
    // "  seconds >> 01 L 02 4C ...": direction, address, command, then the bytes.
    void NoteLine(Clock::time_point at) {
        std::istringstream in(line_);
        double seconds = 0;
        std::string direction;
        int address = 0;
        char command = 0;
        in >> seconds >> direction >> address >> command;
        if (direction != ">>" || command != 'L') return;
        std::string bytes;
        std::getline(in, bytes);
        std::lock_guard<std::mutex> guard(mutex_);
        answers_.push_back({at, bytes});
    }

    std::string line_;  // written by the simulator's thread only
    std::ostream stream_{this};
    mutable std::mutex mutex_;
    std::vector<Answer> answers_;
};

// Milliseconds from the last byte of the first "L" answer that carries a new level to the host
// listener's StateChanged with that level, one probe, 8N1, `changes` times.
std::vector<double> PublicationLatencies(int changes) {
    AnswerTrace trace;
    gauge_sim::SimulatorOptions options;
    options.probes.push_back(Probe(1, false));
    options.trace = &trace.Stream();
    gauge_sim::Simulator sim(options);
    const IntfPtr<RecordingPort> port = OpenPort(sim.OpenPseudoTerminal());
    sim.Start();

    BenchStation station({1, "9600N8", kTimeoutMs, 0}, port.get());
    std::vector<Clock::time_point> told;
    station.Listen(IntfPtr<host_kit::GaugeListener>::Adopt(NewCounted<host_kit::GaugeListener>([&](IInterface*) { told.push_back(Clock::now()); })));
    station.Start();
    RunUntil([&] { return !told.empty() && station.StatusCode(0) == 0; }, milliseconds(10'000), "the first reading");

    std::vector<double> latencies;
    gauge_sim::Reading reading;
    for (int change = 1; change <= changes; ++change) {
        const std::size_t heard = told.size();
        const std::size_t answered = trace.Answers().size();
        // 10 mm a step: far above the 0.5 mm a change must exceed.
        reading.level = 2.0 + 0.01 * change;
        sim.SetValues(1, gauge_sim::ValueSource::Constant(reading));
        RunUntil([&] { return told.size() > heard && std::fabs(station.Level(0) - reading.level) < 1e-4; }, milliseconds(5'000),
                 "change " + std::to_string(change));

        const auto answers = trace.Answers();
        const std::string& before = answers.at(answered - 1).bytes;
        const auto changed = std::find_if(answers.begin() + static_cast<std::ptrdiff_t>(answered), answers.end(),
                                          [&](const AnswerTrace::Answer& a) { return a.bytes != before; });
        if (changed == answers.end() || changed->sent > told.back())
            throw std::runtime_error("change " + std::to_string(change) + " was told before its answer was seen");
        latencies.push_back(Ms(told.back() - changed->sent));
    }
    return latencies;
}

// ---- Polling CPU -----------------------------------------------------------------------------------

struct CpuFigures {
    double seconds = 0;
    double cpuSeconds = 0;
    double polls = 0;
    double stateChanges = 0;
    double waits = 0;  // voluntary context switches: a thread blocked and was woken
};

// CPU seconds (user + system) and voluntary context switches of the whole process so far.
struct ProcessUsage {
    double cpuSeconds;
    double waits;
};

ProcessUsage Usage() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return {seconds(usage.ru_utime) + seconds(usage.ru_stime), static_cast<double>(usage.ru_nvcsw)};
}

// CPU time of this whole process (the host, the module, its polling thread, the event loop) over
// `span` of polling 10 probes whose levels fall 1 mm a second, so that every poll also publishes a
// state that the host's listener reads. The simulator runs in a process of its own.
CpuFigures PollingCpu(std::chrono::seconds span) {
    const SimulatorProcess sim({"--probe", "1-10:ramp=-0.001"});
    const IntfPtr<RecordingPort> port = OpenPort(sim.Slave());
    BenchStation station({10, "9600N8", kTimeoutMs, 0}, port.get());
    double changes = 0;
    station.Listen(IntfPtr<host_kit::GaugeListener>::Adopt(NewCounted<host_kit::GaugeListener>([&](IInterface* gauge) {
        ++changes;
        const auto state = IntfPtr<IInterface>::Borrow(gauge).Query<ITankGauge>();
        if (state) IntfPtr<ITankState>::Adopt(state->GetState());
    })));
    station.Start();
    RunFor(milliseconds(3'000));  // past the first pass and its pauses

    CpuFigures f;
    const ProcessUsage usageBefore = Usage();
    const auto before = Clock::now();
    const std::size_t pollsBefore = port->LevelRequestCount();
    const double changesBefore = changes;
    RunFor(span);
    const ProcessUsage usageAfter = Usage();
    f.cpuSeconds = usageAfter.cpuSeconds - usageBefore.cpuSeconds;
    f.waits = usageAfter.waits - usageBefore.waits;
    f.seconds = Ms(Clock::now() - before) / 1000;
    f.polls = static_cast<double>(port->LevelRequestCount() - pollsBefore);
    f.stateChanges = changes - changesBefore;
    for (int i = 0; i < 10; ++i)
        if (station.StatusCode(static_cast<std::size_t>(i)) != 0) throw std::runtime_error("a probe was not read during the CPU run");
    return f;
}

// ---- Reports ------------------------------------------------------------------------------------

struct Options {
    int runs = 5;
    int cpuRuns = 3;
    int cpuSeconds = 60;
};

// LoadModule costs: the first load of the process, then `runs` loads of 99 tanks and of 1 tank.
struct LoadFigures {
    LoadCost first;
    std::vector<double> ms99, heap99, ms1, heap1;
};

LoadFigures MeasureLoads(int runs) {
    // A line to hand the module; nothing polls it.
    gauge_sim::Simulator sim({});
    const std::string slave = sim.OpenPseudoTerminal();
    const auto load = [&](int tanks) { return BenchStation({tanks, "9600N8", kTimeoutMs, 0}, OpenPort(slave).get()).Load(); };
    LoadFigures f;
    f.first = load(99);
    for (int run = 0; run < runs; ++run) {
        const LoadCost many = load(99);
        const LoadCost one = load(1);
        f.ms99.push_back(many.milliseconds);
        f.heap99.push_back(many.heapBytes);
        f.ms1.push_back(one.milliseconds);
        f.heap1.push_back(one.heapBytes);
    }
    return f;
}

// Item 1; hands back the 99-probe pass summaries (8N1, 7E1) for the scale section.
std::vector<TSummary> ReportLine(int passes) {
    Section("Gauge line against its physical limit",
            "liblevrano.so loaded with dlopen by the benchmark's host (bench/bench_host.h: tanks, port 1 through the termios port "
            "service, start event), the simulator on a pseudo-terminal paced at 9600 baud, Delay 0, healthy probes. A pass is timed "
            "from one \"L\" request to the first probe to the next, as the host's port sees them; the first pass (10 ms pauses) is "
            "left out. Line time of one poll: 71 characters of 10 bits = " + Fixed(kPollLineMs, 2) + " ms. Median (min to max) of " +
                std::to_string(passes) + " passes. Goal: ratio at most 1.03 at 10 probes.");
    TTable table({"frame", "probes", "pass ms", "per poll ms", "ratio to line time"});
    std::vector<TSummary> full;
    for (const char* mode : {"9600N8", "9600E7"})
        for (int probes : {1, 10, 99}) {
            const TSummary pass = Summarize(PassTimes({mode, probes, 0}, passes));
            table.Row({mode, std::to_string(probes), MedianText(pass, 1), Fixed(pass.median / probes, 2),
                       MedianText(Scaled(pass, 1 / (probes * kPollLineMs)), 3)});
            if (probes == 99) full.push_back(pass);
        }
    table.Print();
    return full;
}

void ReportSilentProbes(int passes) {
    Section("A pass with silent probes",
            "10 probes at 9600N8, Delay 0, time-out 300 ms, the last 0, 1 or 5 silent. Bound = silent x (3 x 300 + 2 x 200 ms) + "
            "healthy x " + Fixed(kPollLineMs, 2) + " ms. Median (min to max) of " + std::to_string(passes) +
                " passes after the first. Goal: within 2 % of the bound.");
    TTable table({"silent probes", "pass ms", "bound ms", "pass / bound"});
    for (int silent : {0, 1, 5}) {
        const TSummary pass = Summarize(PassTimes({"9600N8", 10, silent}, passes));
        const double bound = silent * kSilentProbeMs + (10 - silent) * kPollLineMs;
        table.Row({std::to_string(silent), MedianText(pass, 1), Fixed(bound, 1), MedianText(Scaled(pass, 1 / bound), 4)});
    }
    table.Print();
}

void ReportCpu(const Options& options) {
    std::vector<double> percent, perPollMs, polls, changes, seconds, waitsPerPoll, perWaitUs;
    for (int run = 0; run < options.cpuRuns; ++run) {
        const CpuFigures f = PollingCpu(std::chrono::seconds(options.cpuSeconds));
        percent.push_back(100 * f.cpuSeconds / f.seconds);
        perPollMs.push_back(1000 * f.cpuSeconds / f.polls);
        polls.push_back(f.polls);
        changes.push_back(f.stateChanges);
        seconds.push_back(f.seconds);
        waitsPerPoll.push_back(f.waits / f.polls);
        perWaitUs.push_back(1e6 * f.cpuSeconds / f.waits);
    }
    Section("Polling CPU",
            "CPU time (user + system, getrusage of the whole process: host, module, polling thread, event loop) over " +
                std::to_string(options.cpuSeconds) + " s of continuous polling of 10 probes at 9600N8, Delay 0, after 3 s of warm-up. "
                "Every level falls 1 mm a second, so each poll also stores a change and the host's listener reads the new state. "
                "The simulator runs as a separate process (levrano-gauge-sim), not counted. Median (min to max) of " +
                std::to_string(options.cpuRuns) + " runs (" + std::to_string(options.cpuRuns) +
                ", not 5: each run takes a minute). Wake-ups: voluntary context switches of the process (a thread blocked in "
                "poll() or a wait and was woken). Goal: under 0.5 % of a core.");
    TTable table({"window s", "probe polls", "StateChanged calls", "CPU % of one core", "CPU ms per probe poll", "wake-ups per poll",
                  "CPU us per wake-up"});
    table.Row({Fixed(Summarize(seconds).median, 1), MedianText(Summarize(polls), 0), MedianText(Summarize(changes), 0),
               MedianText(Summarize(percent), 3), MedianText(Summarize(perPollMs), 3), MedianText(Summarize(waitsPerPoll), 1),
               MedianText(Summarize(perWaitUs), 1)});
    table.Print();
}

void ReportPublication(int changes) {
    const double reference = kRefreshMs + kLineAfterLevelAnswerMs;
    std::vector<double> latencies = PublicationLatencies(changes);
    const TSummary latency = Summarize(latencies);
    std::sort(latencies.begin(), latencies.end());
    const double p95 = latencies[latencies.size() * 95 / 100];
    const auto within = std::count_if(latencies.begin(), latencies.end(), [&](double ms) { return std::fabs(ms - reference) <= 5; });
    Section("State publication",
            "One probe at 9600N8, Delay 0; the simulator's level changes by 10 mm " + std::to_string(changes) +
                " times. Latency: from the moment the simulator sent the last byte of the first \"L\" answer with the new level to "
                "the host listener's StateChanged for it. Reference: the 100 ms refresh timer + the line time the poll still needs "
                "after that answer (the \"M\" request and answer, 22 characters = " + Fixed(kLineAfterLevelAnswerMs, 2) +
                " ms) = " + Fixed(reference, 2) + " ms. Goal: within 5 ms of it.");
    TTable table({"changes", "median ms", "min ms", "95th percentile ms", "max ms", "median - reference", "max - reference",
                  "within 5 ms"});
    table.Row({std::to_string(changes), Fixed(latency.median, 2), Fixed(latency.min, 2), Fixed(p95, 2), Fixed(latency.max, 2),
               Fixed(latency.median - reference, 2), Fixed(latency.max - reference, 2), std::to_string(within) + " of " + std::to_string(changes)});
    table.Print();
}

void ReportScale(const LoadFigures& loads, const std::vector<TSummary>& fullPasses) {
    const TSummary heap99 = Summarize(loads.heap99), heap1 = Summarize(loads.heap1);
    Section("Scale of the operator side",
            "LoadModule as the host calls it (configuration file on tmpfs, tanks by position, port set-up), timed around the call; "
            "memory = heap in use (mallinfo2) after the call minus before it, i.e. what the loaded module holds. The first load of "
            "the process apart, then median (min to max) of " + std::to_string(loads.ms99.size()) +
                " loads each. A full pass of 99 probes: from the line table above.");
    TTable table({"what", "figure"});
    table.Row({"LoadModule, 99 tanks, first in the process", Fixed(loads.first.milliseconds, 2) + " ms, heap " +
                                                                 Fixed(loads.first.heapBytes / 1024, 1) + " KiB"});
    table.Row({"LoadModule, 99 tanks", MedianText(Summarize(loads.ms99), 2) + " ms"});
    table.Row({"LoadModule, 1 tank", MedianText(Summarize(loads.ms1), 2) + " ms"});
    table.Row({"module heap after loading, 99 tanks", MedianText(Scaled(heap99, 1 / 1024.0), 1) + " KiB"});
    table.Row({"module heap after loading, 1 tank", MedianText(Scaled(heap1, 1 / 1024.0), 1) + " KiB"});
    table.Row({"heap per further tank", Fixed((heap99.median - heap1.median) / 98, 0) + " bytes"});
    const char* modes[] = {"9600N8", "9600E7"};
    for (std::size_t i = 0; i < fullPasses.size(); ++i)
        table.Row({std::string("full pass of 99 probes, ") + modes[i], MedianText(Scaled(fullPasses[i], 1 / 1000.0), 3) + " s"});
    table.Print();
}

Options ParseOptions(int argc, char** argv) {
    Options o;
    if (argc > 1) o.runs = std::max(1, std::atoi(argv[1]));
    if (argc > 2) o.cpuRuns = std::max(1, std::atoi(argv[2]));
    if (argc > 3) o.cpuSeconds = std::max(1, std::atoi(argv[3]));
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = ParseOptions(argc, argv);
    QCoreApplication app(argc, argv);
    try {
        // Loading first: the first load of the process is the one a station pays at start-up.
        const LoadFigures loads = MeasureLoads(options.runs);
        const std::vector<TSummary> fullPasses = ReportLine(options.runs);
        ReportSilentProbes(options.runs);
        ReportCpu(options);
        ReportPublication(200);
        ReportScale(loads, fullPasses);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "operator_line: %s\n", e.what());
        return 1;
    }
}
