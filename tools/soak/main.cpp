// levrano-soak: ten simulated probes with faults that change at random moments, levrano-station
// running the module against them, and at the end a check of every state the station logged,
// the station's memory over the run and its clean stop (see --help).
#include <stdlib.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <thread>

#include "gauge-sim/simulator.h"
#include "soak/fault_phases.h"
#include "soak/state_check.h"
#include "soak/station_process.h"

using namespace levrano;
using namespace levrano::soak;
using std::chrono::milliseconds;
using std::chrono::seconds;

namespace {

constexpr int kProbes = 10;
constexpr milliseconds kTimeout{200};  // the line's read time-out
constexpr milliseconds kDelay{20};     // the controller's pause after each poll
constexpr seconds kShortestPhase{8};   // several polls of the probe even when others are slow
constexpr seconds kLongestPhase{20};
// How far a published state may lag behind the line: a poll's two exchanges with all their
// attempts, the adapter's 100 ms refresh, and room for a busy machine.
constexpr seconds kWindow{4};
constexpr seconds kRssWarmUp{30};
constexpr seconds kRssEvery{5};
constexpr long kRssToleranceKiB = 4096;

struct Options {
    int seconds = 600;
    unsigned seed = std::random_device{}();
    std::string station = LEVRANO_STATION_FILE;
    std::string module = LEVRANO_MODULE_FILE;
    std::string work;  // empty: a new temporary folder, removed after a passing run
};

const char* kHelp = R"(Usage: levrano-soak [--seconds N] [--seed N] [--station FILE] [--module FILE] [--work DIR]

Runs levrano-station with the module against ten simulated probes (addresses 1 to 10 on a
pseudo-terminal, 9600N8, time-out 200 ms, poll pause 20 ms) for N seconds [600]. Every 8 to
20 s each probe moves to a new phase: good answers with a new reading, up to 10 stray bytes,
answers late within the time-out, no density answer, silence, 11 or more stray bytes, a wrong
check byte, a cut frame, another probe's address or one data character too few.

Checked at the end: every state the station published (--log-states) fits what the probe
served then (exact values for good answers, 20 for silence, 30 for broken frames), no reading
of a refused frame was ever published, the station's resident memory stays flat after the
first 30 s, and SIGTERM stops it cleanly (exit status 0, its "stopped" record).
Exit status: 0 when every check passed, 1 otherwise, 2 for a wrong command line.
)";

Options ParseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            std::cout << kHelp;
            std::exit(0);
        }
        if (i + 1 >= argc) throw std::invalid_argument(option + " needs a value");
        const std::string value = argv[++i];
        const auto number = [&](auto& out) {
            const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), out);
            if (error != std::errc() || end != value.data() + value.size())
                throw std::invalid_argument(option + ": \"" + value + "\" is not a number");
        };
        if (option == "--seconds") number(o.seconds);
        else if (option == "--seed") number(o.seed);
        else if (option == "--station") o.station = value;
        else if (option == "--module") o.module = value;
        else if (option == "--work") o.work = value;
        else throw std::invalid_argument(option + ": unknown option");
    }
    if (o.seconds < 60) throw std::invalid_argument("--seconds: at least 60");
    return o;
}

std::string MakeWorkFolder(const Options& o) {
    if (!o.work.empty()) {
        std::filesystem::create_directories(o.work);
        return std::filesystem::absolute(o.work).string();
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "levrano-soak-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder");
    return pattern;
}

void WriteConfiguration(const std::string& path) {
    std::ofstream(path) << "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<levrano>\r\n  <port number=\"1\" mode=\"9600N8\" timeout=\""
                        << kTimeout.count() << "\" delay=\"" << kDelay.count() << "\"/>\r\n  <tanks default=\"true\"/>\r\n</levrano>\r\n";
}

// The probes' phases, applied to the simulator as they begin and kept for the check.
class FaultSchedule {
public:
    FaultSchedule(gauge_sim::Simulator& sim, std::mt19937& random) : sim_(sim), random_(random) {}

    void Begin(int address, const Phase& phase) {
        auto& list = phases_[address];
        if (!list.empty()) list.back().end = phase.start;
        list.push_back(phase);
        const gauge_sim::Faults faults = FaultsOf(phase.kind, random_, kTimeout);
        const auto values = gauge_sim::ValueSource::Constant(SimulatorReading(phase.reading));
        // A request between the two calls must meet either phase, never a mix the module could
        // mistake for a good reading: frames that break get their fault before their values.
        if (BreaksFrames(phase.kind)) {
            sim_.SetFaults(address, faults);
            sim_.SetValues(address, values);
        } else {
            sim_.SetValues(address, values);
            sim_.SetFaults(address, faults);
        }
        next_[address] = phase.start + PhaseLength();
        ++kinds_[phase.kind];
    }

    // Starts the phases that are due; returns when the next one is.
    Clock::time_point Advance(Clock::time_point now) {
        Clock::time_point earliest = Clock::time_point::max();
        for (auto& [address, due] : next_) {
            if (due <= now) Begin(address, NextPhase(phases_[address].back(), random_, now));
            earliest = std::min(earliest, next_[address]);
        }
        return earliest;
    }

    void End(Clock::time_point at) {
        for (auto& [address, list] : phases_) list.back().end = at;
    }

    const std::map<int, std::vector<Phase>>& Phases() const { return phases_; }
    const std::map<PhaseKind, int>& Kinds() const { return kinds_; }

private:
    Clock::duration PhaseLength() {
        return milliseconds(std::uniform_int_distribution<long>(milliseconds(kShortestPhase).count(),
                                                                milliseconds(kLongestPhase).count())(random_));
    }

    gauge_sim::Simulator& sim_;
    std::mt19937& random_;
    std::map<int, std::vector<Phase>> phases_;
    std::map<int, Clock::time_point> next_;
    std::map<PhaseKind, int> kinds_;
};

struct MemoryWatch {
    std::optional<long> start, end, peak;

    void Sample(StationProcess& station, Clock::duration running) {
        const std::optional<long> rss = station.ResidentKiB();
        if (!rss || running < kRssWarmUp) return;
        if (!start) start = rss;
        end = rss;
        peak = std::max(peak.value_or(0), *rss);
    }
    bool Flat() const { return start && end && *end - *start <= kRssToleranceKiB; }
};

int Run(const Options& o) {
    const std::string work = MakeWorkFolder(o);
    const std::string config = work + "/levrano.xml", log = work + "/states.log", output = work + "/station.out";
    WriteConfiguration(config);
    std::mt19937 random(o.seed);
    std::cout << "soak: " << o.seconds << " s, seed " << o.seed << ", files in " << work << std::endl;

    gauge_sim::SimulatorOptions simOptions;
    for (int address = 1; address <= kProbes; ++address) simOptions.probes.push_back({address, {}, {}});
    gauge_sim::Simulator sim(simOptions);
    FaultSchedule schedule(sim, random);
    const Clock::time_point started = Clock::now();
    for (int address = 1; address <= kProbes; ++address)
        schedule.Begin(address, Phase{PhaseKind::Good, RandomGoodReading(random), started, started});
    const std::string line = sim.OpenPseudoTerminal();
    sim.Start();

    StationProcess station(o.station, {"--config", config, "--module", o.module, "--tanks", std::to_string(kProbes),
                                       "--port", "1=" + line, "--log-states", log},
                           output);
    MemoryWatch memory;
    const Clock::time_point deadline = started + seconds(o.seconds);
    Clock::time_point nextSample = started;
    while (Clock::now() < deadline && station.Running()) {
        const Clock::time_point now = Clock::now();
        if (now >= nextSample) {
            memory.Sample(station, now - started);
            nextSample = now + kRssEvery;
        }
        const Clock::time_point wake = std::min({schedule.Advance(now), nextSample, deadline});
        std::this_thread::sleep_until(wake);
    }
    const bool ranToTheEnd = station.Running();
    const std::optional<int> exitStatus = station.Stop(seconds(20));
    schedule.End(Clock::now());
    sim.Stop();

    const StateLogFile states = ReadStateLog(log);
    const CheckReport report = CheckStates(states.states, schedule.Phases(), kWindow);

    std::cout << "phases:";
    for (const auto& [kind, count] : schedule.Kinds()) std::cout << ' ' << KindName(kind) << '=' << count;
    std::cout << "\nstates published: " << report.states << " (";
    for (const auto& [code, count] : report.byCode) std::cout << "status " << code << ": " << count << "; ";
    std::cout << "unreadable lines: " << states.unreadLines << ")\n";
    for (int address = 1; address <= kProbes; ++address) {
        const gauge_sim::ProbeCounters c = sim.Counters(address);
        std::cout << "probe " << address << ": " << c.requests << " requests, " << c.answers << " answers, "
                  << c.faults << " with a fault\n";
    }
    std::cout << "states that fit no phase: " << report.violations << "\n";
    for (const std::string& example : report.examples) std::cout << "  " << example << "\n";
    std::cout << "readings of refused frames published: " << report.brokenReadingsPublished << "\n";
    std::cout << "station resident memory: " << memory.start.value_or(-1) << " KiB at " << kRssWarmUp.count()
              << " s, " << memory.end.value_or(-1) << " KiB at the end, peak " << memory.peak.value_or(-1) << " KiB\n";
    std::cout << "station stop: " << (exitStatus ? "exit status " + std::to_string(*exitStatus) : "did not end in 20 s")
              << (states.stopped ? ", stop logged" : ", no stop logged") << "\n";

    const bool passed = ranToTheEnd && exitStatus == 0 && states.stopped && report.states > 0 &&
                        report.violations == 0 && report.brokenReadingsPublished == 0 && states.unreadLines == 0 &&
                        memory.Flat();
    if (!ranToTheEnd) std::cout << "the station ended before the soak did; its output: " << output << "\n";
    std::cout << (passed ? "soak passed" : "soak FAILED") << std::endl;
    if (passed && o.work.empty()) std::filesystem::remove_all(work);
    return passed ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    try {
        options = ParseOptions(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "levrano-soak: " << e.what() << "\n(--help lists the options)\n";
        return 2;
    }
    try {
        return Run(options);
    } catch (const std::exception& e) {
        std::cerr << "levrano-soak: " << e.what() << std::endl;
        return 1;
    }
}
