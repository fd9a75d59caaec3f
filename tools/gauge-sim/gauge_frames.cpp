#include "gauge-sim/gauge_frames.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace levrano::gauge_sim {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// `value` in units of 1/scale as `width` decimal digits, within 0 and the largest they hold.
std::string Digits(double value, double scale, int width) {
    const long long largest = static_cast<long long>(std::pow(10.0, width)) - 1;
    const long long n = std::clamp(std::llround(value * scale), 0LL, largest);
    char text[24];
    std::snprintf(text, sizeof text, "%0*lld", width, n);
    return text;
}

std::string AddressDigits(int address) {
    return {static_cast<char>('0' + address / 10 % 10), static_cast<char>('0' + address % 10)};
}

bool IsRequest(std::string_view frame) {
    return frame[0] == kStx && IsDigit(frame[2]) && IsDigit(frame[3]) && frame[4] == kEtx &&
           CheckByte(frame.substr(0, 5)) == static_cast<std::uint8_t>(frame[5]);
}

}  // namespace

std::uint8_t CheckByte(std::string_view bytes) {
    std::uint8_t x = 0;
    for (char c : bytes) x ^= static_cast<std::uint8_t>(c);
    return x;
}

std::string RequestFrame(char command, int address) {
    std::string frame = std::string(1, kStx) + command + AddressDigits(address) + kEtx;
    return frame + static_cast<char>(CheckByte(frame));
}

std::string AnswerFrame(int address, std::string_view data) {
    std::string frame = std::string(1, kStx) + "00" + AddressDigits(address) + "000";
    frame.append(data);
    frame += '0';
    frame += kEtx;
    return frame + static_cast<char>(CheckByte(frame));
}

std::string LevelData(const Reading& r) {
    return Digits(r.level, 100'000, 7) + Digits(r.waterLevel, 100'000, 7) + Digits(r.volume, 1000, 5) +
           Digits(r.waterVolume, 1000, 4) + "00000" + (r.temperature < 0 ? '-' : '+') +
           Digits(std::fabs(r.temperature), 10, 3);
}

std::string DensityData(double density) { return Digits(density, 100, 5); }

std::optional<Request> RequestReader::Next() {
    for (;;) {
        const std::size_t stx = pending_.find(kStx);
        const std::size_t noise = stx == std::string::npos ? pending_.size() : stx;
        pending_.erase(0, noise);
        discarded_ += static_cast<std::int64_t>(noise);
        if (pending_.size() < kRequestLength) return std::nullopt;
        if (IsRequest(pending_)) {
            const Request r{pending_[1], (pending_[2] - '0') * 10 + (pending_[3] - '0')};
            pending_.erase(0, kRequestLength);
            return r;
        }
        pending_.erase(0, 1);  // this STX starts no request; look for the next one
        ++discarded_;
    }
}

}  // namespace levrano::gauge_sim
