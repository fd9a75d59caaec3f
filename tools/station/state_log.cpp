#include "station/state_log.h"

#include <chrono>
#include <cstdio>
#include <stdexcept>

#include "common/intf_ptr.h"

namespace levrano::station {

namespace {

// The clock every process of the machine shares, so that a reader can line entries up with its
// own events.
long long MonotonicMicroseconds() {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

StateLog::StateLog(const std::string& path) {
    if (path.empty()) return;
    out_.open(path, std::ios::out | std::ios::trunc);
    if (!out_) throw std::runtime_error("--log-states: cannot create " + path);
}

void StateLog::Published(std::int32_t tankNumber, ITankState* state) {
    if (!out_.is_open() || !state) return;
    const auto status = IntfPtr<IStatus>::Adopt(state->GetStatus());
    char line[512];
    std::snprintf(line, sizeof line, "%lld %d %d %.17g %.17g %.17g %.17g %.17g %.17g %.17g\n", MonotonicMicroseconds(),
                  tankNumber, status ? status->GetCode() : -1, state->GetLevel(), state->GetVolume(),
                  state->GetWaterLevel(), state->GetWaterVolume(), state->GetDensity(), state->GetTemperature(),
                  state->GetMass());
    out_ << line << std::flush;
}

void StateLog::Stopped() {
    if (out_.is_open()) out_ << MonotonicMicroseconds() << " stopped\n" << std::flush;
}

}  // namespace levrano::station
