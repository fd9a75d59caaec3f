// TTankState: one immutable snapshot of a tank's measurements with its status, as the host reads
// it through ITankState.
#pragma once

#include <cstdint>
#include <string>

#include "common/intf_ptr.h"
#include "common/refcounted.h"
#include "host/OperatorIntf.h"

namespace levrano {

// The seven measured values of a snapshot; a value not measured is 0.
struct TTankValues {
    double Level = 0;
    double Volume = 0;
    double WaterLevel = 0;
    double WaterVolume = 0;
    double Density = 0;
    double Temperature = 0;
    double Mass = 0;
};

class TTankState : public RefCounted<ITankState> {
public:
    TTankState(IntfPtr<IStatus> status, const TTankValues& values);

    std::int32_t GetReserved() override;
    double GetLevel() override;
    double GetVolume() override;
    double GetWaterLevel() override;
    double GetWaterVolume() override;
    double GetDensity() override;
    double GetTemperature() override;
    double GetMass() override;
    IStatus* GetStatus() override;  // one new reference
    std::uint8_t GetReservedFlags() override;
    std::int32_t PassValue(std::int32_t value) override;

private:
    const IntfPtr<IStatus> Status;
    const TTankValues Values;
};

// A new snapshot with one reference for the caller: a TStatus of `code` and its Windows-1251
// `text`, and the values (all 0 unless given).
ITankState* NewTankState(std::int32_t code, std::string text, const TTankValues& values = {});

}  // namespace levrano
