#include "gauge-sim/sim_probe.h"

namespace levrano::gauge_sim {

namespace {

// Noise on the line before an answer; anything but an STX.
constexpr char kStrayByte = '\0';

void Note(std::string& faults, const std::string& fault) {
    if (!faults.empty()) faults += ',';
    faults += fault;
}

std::optional<std::string> SilenceReason(const Faults& f, char command, double faultsAge) {
    if (f.silent) return "silent";
    if (f.silentAfter && faultsAge >= *f.silentAfter) return "silent-after";
    if (f.silentOnDensity && command == 'M') return "silent-m";
    return std::nullopt;
}

std::string DataText(const ProbeSettings& probe, char command, double valuesAge) {
    const Reading r = probe.values.At(valuesAge);
    std::string data = command == 'L' ? LevelData(r) : DensityData(r.density);
    if (probe.faults.shortData) data.pop_back();
    return data;
}

}  // namespace

Response Respond(const ProbeSettings& probe, char command, double valuesAge, double faultsAge) {
    Response response;
    if (command != 'L' && command != 'M') return response;
    const Faults& f = probe.faults;
    if (auto reason = SilenceReason(f, command, faultsAge)) {
        response.faults = *reason;
        return response;
    }

    if (f.shortData) Note(response.faults, "short");
    int address = probe.address;
    if (f.wrongAddress) {
        address = *f.wrongAddress;
        Note(response.faults, "wrong-address=" + std::to_string(address));
    }
    std::string frame = AnswerFrame(address, DataText(probe, command, valuesAge));
    if (f.badCheck) {
        frame.back() = static_cast<char>(frame.back() ^ 0x01);
        Note(response.faults, "bad-check");
    }
    if (f.cutAfter) {
        const std::size_t keep = *f.cutAfter > 0 ? static_cast<std::size_t>(*f.cutAfter) : frame.size() / 2;
        if (keep < frame.size()) frame.resize(keep);
        Note(response.faults, "cut=" + std::to_string(frame.size()));
    }
    if (f.strayBytes > 0) {
        frame.insert(0, static_cast<std::size_t>(f.strayBytes), kStrayByte);
        Note(response.faults, "stray=" + std::to_string(f.strayBytes));
    }
    if (f.late.count() > 0) {
        response.delay = f.late;
        Note(response.faults, "late=" + std::to_string(f.late.count()));
    }
    response.bytes = std::move(frame);
    return response;
}

}  // namespace levrano::gauge_sim
