// levrano-gauge-sim: the probe simulator as a program (see --help).
#include <csignal>
#include <iostream>

#include "gauge-sim/command_line.h"
#include "gauge-sim/simulator.h"

using namespace levrano::gauge_sim;

namespace {

void PrintCounters(const Simulator& sim) {
    for (int address : sim.Addresses()) {
        const ProbeCounters c = sim.Counters(address);
        std::cerr << "probe " << address << ": " << c.requests << " requests, " << c.answers << " answers, "
                  << c.faults << " faults\n";
    }
    const LineCounters line = sim.Line();
    std::cerr << "line: " << line.unknownAddress << " requests for other addresses, " << line.discardedBytes
              << " bytes discarded\n";
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const CommandLine options = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
        if (options.help) {
            std::cout << HelpText();
            return 0;
        }
        // The serving thread inherits the mask: the signals are taken here, by sigwait.
        sigset_t stopSignals;
        sigemptyset(&stopSignals);
        sigaddset(&stopSignals, SIGINT);
        sigaddset(&stopSignals, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

        Simulator sim({options.format, options.probes, options.trace ? &std::cerr : nullptr});
        if (options.device.empty())
            std::cout << sim.OpenPseudoTerminal() << std::endl;
        else
            sim.OpenDevice(options.device);
        sim.Start();

        int signal = 0;
        sigwait(&stopSignals, &signal);
        sim.Stop();
        PrintCounters(sim);
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "levrano-gauge-sim: " << e.what() << "\n(--help lists the options)\n";
        return 2;
    }
}
