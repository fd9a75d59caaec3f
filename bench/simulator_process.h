// The levrano-gauge-sim program in a process of its own, so that the CPU time measured in the
// host's process is the host's and the module's alone.
#pragma once

#include <string>
#include <vector>
#include <sys/types.h>

namespace levrano::bench {

class SimulatorProcess {
public:
    // Starts the program with `arguments` on a new pseudo-terminal and waits for its slave's path.
    // Throws std::runtime_error when it cannot be started or names no line.
    explicit SimulatorProcess(const std::vector<std::string>& arguments);
    // Ends the program (SIGTERM) and waits for it.
    ~SimulatorProcess();
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    const std::string& Slave() const { return slave_; }

private:
    void Terminate();

    pid_t pid_ = -1;
    std::string slave_;
};

}  // namespace levrano::bench
