// levrano-station as a child process: started with its arguments and its output in files,
// watched for its memory, stopped as a user stops it (SIGTERM).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace levrano::soak {

class StationProcess {
public:
    // Throws std::runtime_error when the program cannot be started.
    StationProcess(const std::string& program, const std::vector<std::string>& args, const std::string& outputFile);
    // Kills the process if it still runs.
    ~StationProcess();
    StationProcess(const StationProcess&) = delete;
    StationProcess& operator=(const StationProcess&) = delete;

    bool Running();
    // Resident memory in KiB, none once the process is gone.
    std::optional<long> ResidentKiB() const;
    // SIGTERM, then waits; the exit status, or none when it did not end in time (then killed).
    std::optional<int> Stop(std::chrono::seconds patience);

private:
    pid_t pid_ = -1;
    std::optional<int> exitStatus_;
};

}  // namespace levrano::soak
