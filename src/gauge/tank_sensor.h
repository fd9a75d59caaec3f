// One probe of a Levrano tank gauge: the "L" and "M" exchanges, decoding, change thresholds and
// the probe's record, and the texts of its status codes.
#pragma once

#include <cstdint>
#include <string>

#include "common/intf_ptr.h"
#include "gauge/portcontroller.h"
#include "host/OperatorIntf.h"

namespace levrano {

// Status codes of a probe.
inline constexpr std::int32_t kStatusValid = 0;
inline constexpr std::int32_t kStatusInitializing = 10;
inline constexpr std::int32_t kStatusNoLink = 20;
inline constexpr std::int32_t kStatusLineFailure = 30;

// What a probe tells about its stored readings (the tank adapter). Both calls are made with the
// probe's lock held, so an adapter that detaches itself under that lock is never called after.
class TSensorAdapter {
public:
    // A changed reading was stored: arm the refresh.
    virtual void Signal() = 0;
    // The probe is being destroyed: forget it.
    virtual void SensorGone() = 0;

protected:
    ~TSensorAdapter() = default;
};

class TTankSensor : public TSensor {
public:
    explicit TTankSensor(TController* owner) : TSensor(owner) {}
    ~TTankSensor() override;

    static SensorClass Class();

    void Poll() override;
    // One request and its answer with up to three attempts: 0, 20 or 30; on 0 the answer's data
    // text is in DataText().
    std::int32_t Exchange(char command, int minDataLength);
    const std::string& DataText() const { return dataText_; }

    // Attaches or detaches the adapter; takes the lock.
    void SetAdapter(TSensorAdapter* adapter);

    // Set before polling starts.
    IntfPtr<ITank> Tank;
    std::uint8_t Address = 0;
    bool HasH = false, HasV = false, HasD = false, HasW = false, HasT = false;

    // The record: written by the polling thread under the lock, read by others under the lock.
    std::int32_t Status = 0;
    float Level = 0, Volume = 0, WaterLevel = 0, WaterVolume = 0, Temperature = 0, Density = 0, Mass = 0;

private:
    TSensorAdapter* adapter_ = nullptr;  // not owned
    std::string dataText_;
};

// Text of a status code in Windows-1251 ("Нет связи", "Ошибка 42", ...). Never called with 0.
std::string StatusText(std::int32_t code);

}  // namespace levrano
