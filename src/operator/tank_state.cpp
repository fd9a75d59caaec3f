#include "operator/tank_state.h"

#include <utility>

#include "operator/status.h"

namespace levrano {

TTankState::TTankState(IntfPtr<IStatus> status, const TTankValues& values) : Status(std::move(status)), Values(values) {}

std::int32_t TTankState::GetReserved() { return 0; }
double TTankState::GetLevel() { return Values.Level; }
double TTankState::GetVolume() { return Values.Volume; }
double TTankState::GetWaterLevel() { return Values.WaterLevel; }
double TTankState::GetWaterVolume() { return Values.WaterVolume; }
double TTankState::GetDensity() { return Values.Density; }
double TTankState::GetTemperature() { return Values.Temperature; }
double TTankState::GetMass() { return Values.Mass; }
IStatus* TTankState::GetStatus() { return IntfPtr<IStatus>(Status).Detach(); }
std::uint8_t TTankState::GetReservedFlags() { return 0; }
std::int32_t TTankState::PassValue(std::int32_t value) { return value; }

ITankState* NewTankState(std::int32_t code, std::string text, const TTankValues& values) {
    return NewCounted<TTankState>(IntfPtr<IStatus>::Adopt(NewStatus(code, std::move(text))), values);
}

}  // namespace levrano
