#include "gauge/tank_sensor.h"

#include <array>
#include <chrono>
#include <cmath>
#include <string_view>

#include "common/cp1251.h"
#include "platform/event.h"

namespace levrano {

namespace {

constexpr std::uint8_t kStx = 0x02;
constexpr std::uint8_t kEtx = 0x03;

constexpr int kAttempts = 3;
constexpr std::chrono::milliseconds kRetryPause{200};
// Stray bytes the STX search skips: it reads at most this many bytes plus the STX.
constexpr int kStraySkipped = 10;
// Bytes from the STX through the ETX that a frame may hold.
constexpr int kMaxFrame = 200;
// Bytes of a frame around its data text: STX, 7 header bytes, 1 trailer byte, ETX.
constexpr int kFrameOverhead = 10;
constexpr int kDataOffset = 8;

// Working storage of one exchange; the room covers the longest frame the limit lets through.
using FrameBuffer = std::array<std::uint8_t, 255>;

// Minimum data text of each command: the characters its decoding reads.
constexpr int kLevelDataLength = 32;
constexpr int kDensityDataLength = 5;

// A change below these (in the probe's units) is not worth telling the host about.
constexpr long double kLevelThreshold = 0.0005L;
constexpr long double kTemperatureThreshold = 0.2L;
constexpr long double kDensityThreshold = 0.2L;
constexpr long double kMassThreshold = 0.2L;

// The seven values of one poll.
struct Reading {
    float level = 0, volume = 0, waterLevel = 0, waterVolume = 0, temperature = 0, density = 0, mass = 0;
};

// Holds the line for one probe's exchanges; gives it back however the poll ends.
class PortLock {
public:
    explicit PortLock(ICPort* port) : port_(port) { port_->Lock(); }
    ~PortLock() { port_->Unlock(); }
    PortLock(const PortLock&) = delete;
    PortLock& operator=(const PortLock&) = delete;

private:
    ICPort* port_;
};

std::uint8_t Xor(const std::uint8_t* bytes, int count) {
    std::uint8_t x = 0;
    for (int i = 0; i < count; ++i) x ^= bytes[i];
    return x;
}

// One byte from the port; false on a time-out, an error or a count other than one.
bool ReadByte(ICPort* port, std::uint8_t& byte) {
    std::int32_t received = 0;
    const auto status = IntfPtr<IStatus>::Adopt(port->Read(1, &byte, 1, &received));
    return status && status->IsOk() && received == 1;
}

// Reads until an STX, skipping at most kStraySkipped other bytes. A failed read ends the search
// whatever it left in the buffer.
bool FindStx(ICPort* port, FrameBuffer& frame) {
    frame[0] = 0;
    for (int i = 0; i <= kStraySkipped; ++i) {
        if (!ReadByte(port, frame[0])) return false;
        if (frame[0] == kStx) return true;
    }
    return false;
}

// Reads the rest of a frame after its STX; returns the bytes held through the ETX (k), or 0 when
// the frame breaks off or outgrows the limit.
int ReadBody(ICPort* port, FrameBuffer& frame) {
    for (int held = 1;;) {
        if (!ReadByte(port, frame[static_cast<std::size_t>(held)])) return 0;
        ++held;
        if (held > kMaxFrame) return 0;
        if (frame[static_cast<std::size_t>(held - 1)] == kEtx) return held;
    }
}

bool IsDecimalDigit(std::uint8_t c) { return c >= '0' && c <= '9'; }

// The address in positions 3-4; -1 unless both are decimal digits, so that no other byte pair
// (such as "(" and 0x85, which the plain formula reads as 5) passes for an address.
int FrameAddress(const FrameBuffer& frame) {
    if (!IsDecimalDigit(frame[3]) || !IsDecimalDigit(frame[4])) return -1;
    return (frame[3] - 0x30) * 10 + (frame[4] - 0x30);
}

// The decimal integer at 1-based character position `first`, `length` characters long: an
// optional sign, then digits up to the first other character; no digit reads as 0.
long long Field(std::string_view text, std::size_t first, std::size_t length) {
    const std::string_view field = text.substr(first - 1, length);
    std::size_t i = 0;
    bool negative = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-')) negative = field[i++] == '-';
    long long value = 0;
    for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) value = value * 10 + (field[i] - '0');
    return negative ? -value : value;
}

// The "L" data text: levels in hundredths of a millimetre, volumes in litres, the temperature in
// tenths of a degree with its sign apart. Divisions run in extended precision and only the
// quotient is rounded to the stored float.
void DecodeLevelData(std::string_view text, Reading& r) {
    r.level = static_cast<float>(Field(text, 1, 7) / 100.0L / 1000.0L);
    r.waterLevel = static_cast<float>(Field(text, 8, 7) / 100.0L / 1000.0L);
    r.volume = static_cast<float>(Field(text, 15, 5) / 1000.0L);
    r.waterVolume = static_cast<float>(Field(text, 20, 4) / 1000.0L);
    const long double temperature = Field(text, 30, 3) / 10.0L;
    r.temperature = static_cast<float>(text[28] == '-' ? -temperature : temperature);
}

// The "M" data text: the density in hundredths of a kilogram per cubic metre.
float DecodeDensityData(std::string_view text) { return static_cast<float>(Field(text, 1, 5) / 100.0L); }

bool Exceeds(float fresh, float stored, long double threshold) {
    return std::fabs(static_cast<long double>(fresh) - static_cast<long double>(stored)) > threshold;
}

// Whether a poll's result differs enough from the stored record to be stored and told. A status
// change always counts; a repeated failure never does; volumes take no part.
bool IsChange(const TTankSensor& stored, std::int32_t status, const Reading& fresh) {
    if (status != stored.Status) return true;
    if (status != kStatusValid) return false;
    return Exceeds(fresh.level, stored.Level, kLevelThreshold) ||
           Exceeds(fresh.temperature, stored.Temperature, kTemperatureThreshold) ||
           Exceeds(fresh.density, stored.Density, kDensityThreshold) ||
           Exceeds(fresh.mass, stored.Mass, kMassThreshold) ||
           Exceeds(fresh.waterLevel, stored.WaterLevel, kLevelThreshold);
}

}  // namespace

TTankSensor::~TTankSensor() {
    Lock();
    if (adapter_) adapter_->SensorGone();
    adapter_ = nullptr;
    Unlock();
}

SensorClass TTankSensor::Class() {
    return [](TController* owner) -> std::unique_ptr<TSensor> { return std::make_unique<TTankSensor>(owner); };
}

void TTankSensor::SetAdapter(TSensorAdapter* adapter) {
    Lock();
    adapter_ = adapter;
    Unlock();
}

std::int32_t TTankSensor::Exchange(char command, int minDataLength) {
    ICPort* port = Owner()->Port();
    std::uint8_t request[6] = {kStx, static_cast<std::uint8_t>(command), static_cast<std::uint8_t>(0x30 + Address / 10),
                               static_cast<std::uint8_t>(0x30 + Address % 10), kEtx, 0};
    request[5] = Xor(request, 5);

    FrameBuffer frame{};
    std::int32_t result = kStatusInitializing;
    for (int attempt = 1; result != kStatusValid && attempt <= kAttempts; ++attempt) {
        if (attempt > 1) Sleep(kRetryPause);
        port->Purge();
        IntfPtr<IStatus>::Adopt(port->Write(request, sizeof request));  // a lost request shows as silence

        result = kStatusNoLink;
        if (!FindStx(port, frame)) continue;

        result = kStatusLineFailure;
        const int held = ReadBody(port, frame);
        if (held == 0 || held - kFrameOverhead < minDataLength) continue;
        std::uint8_t check = 0;
        if (!ReadByte(port, check)) continue;
        if (Xor(frame.data(), held) != check || FrameAddress(frame) != Address) continue;

        result = kStatusValid;
        dataText_.assign(reinterpret_cast<const char*>(frame.data()) + kDataOffset,
                         static_cast<std::size_t>(held - kFrameOverhead));
    }
    return result;
}

void TTankSensor::Poll() {
    Reading fresh;
    std::int32_t status;
    {
        PortLock line(Owner()->Port());
        status = Exchange('L', kLevelDataLength);
        if (status == kStatusValid) {
            DecodeLevelData(dataText_, fresh);
            // Without a density the level reading still stands; density and mass read 0.
            if (Exchange('M', kDensityDataLength) == kStatusValid) fresh.density = DecodeDensityData(dataText_);
            fresh.mass = fresh.volume * fresh.density;
        }
    }
    // Only this thread writes the record, so it is read here without the lock.
    if (!IsChange(*this, status, fresh)) return;

    Lock();
    Status = status;
    if (status == kStatusValid) {
        Level = fresh.level;
        Volume = fresh.volume;
        WaterLevel = fresh.waterLevel;
        WaterVolume = fresh.waterVolume;
        Temperature = fresh.temperature;
        Density = fresh.density;
        Mass = fresh.mass;
    }
    if (adapter_) adapter_->Signal();
    Unlock();
}

std::string StatusText(std::int32_t code) {
    switch (code) {
        case 1: return "looking for signal or lackof float";
        case 2: return "chk error of data linearization";
        case 3: return "chk error of parameter";
        case kStatusInitializing: return std::string("Инициализация"_cp);
        case kStatusNoLink: return std::string("Нет связи"_cp);
        case kStatusLineFailure: return std::string("Сбой по линии связи"_cp);
        default: return std::string("Ошибка "_cp) + std::to_string(code);
    }
}

}  // namespace levrano
