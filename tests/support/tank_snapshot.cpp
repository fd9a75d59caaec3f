#include "support/tank_snapshot.h"

#include <gtest/gtest.h>

#include "common/cp1251.h"
#include "common/intf_ptr.h"

namespace levrano::test {

Snapshot Read(ITankState* state) {
    Snapshot s;
    if (!state) {
        ADD_FAILURE() << "no state";
        return s;
    }
    const auto status = IntfPtr<IStatus>::Adopt(state->GetStatus());
    if (!status) {
        ADD_FAILURE() << "a state without a status";
        return s;
    }
    char text[64] = {};
    s.code = status->GetCode();
    s.text = status->GetText(text);
    s.ok = status->IsOk();
    s.level = state->GetLevel();
    s.volume = state->GetVolume();
    s.waterLevel = state->GetWaterLevel();
    s.waterVolume = state->GetWaterVolume();
    s.density = state->GetDensity();
    s.temperature = state->GetTemperature();
    s.mass = state->GetMass();
    return s;
}

void PrintTo(const Snapshot& s, std::ostream* out) {
    *out << "{" << s.code << " \"" << cp1251::ToUtf8(s.text) << "\" ok=" << s.ok << " level=" << s.level
         << " volume=" << s.volume << " water=" << s.waterLevel << "/" << s.waterVolume << " density=" << s.density
         << " temperature=" << s.temperature << " mass=" << s.mass << "}";
}

Snapshot Valid(double level, double volume, double waterLevel, double waterVolume, double density,
               double temperature, double mass) {
    return {0, "", true, level, volume, waterLevel, waterVolume, density, temperature, mass};
}

Snapshot Failure(std::int32_t code, std::string_view text) {
    Snapshot s;
    s.code = code;
    s.text = text;
    return s;
}

std::int32_t RefCount(IInterface* object) {
    object->AddRef();
    return object->Release();
}

}  // namespace levrano::test
