#include "operator/tank_adapter.h"

#include <chrono>
#include <cmath>
#include <string>

#include "common/exception.h"
#include "operator/status.h"
#include "operator/tank_state.h"

namespace levrano {

namespace {

constexpr std::chrono::milliseconds kRefreshDelay{100};

// Holds a probe's lock for a scope, however the scope ends.
class SensorLock {
public:
    explicit SensorLock(TSensor& sensor) : sensor_(sensor) { sensor_.Lock(); }
    ~SensorLock() { sensor_.Unlock(); }
    SensorLock(const SensorLock&) = delete;
    SensorLock& operator=(const SensorLock&) = delete;

private:
    TSensor& sensor_;
};

// The host's volume for a level. A host failure of any kind, or a volume that is no number,
// becomes the calibration failure rather than a half-filled snapshot.
double HostVolume(ITank* tank, double level) {
    double volume = NAN;
    try {
        if (tank) volume = tank->LevelToVolume(level);
    } catch (...) {
        volume = NAN;
    }
    if (!std::isfinite(volume)) throw Exception(std::string(kCalibrationFailureText), kStatusCalibrationFailure);
    return volume;
}

// The values of a valid reading: what the probe measures, the volumes it does not measure from
// the host's calibration, and the mass from density and volume unless the probe gives both.
TTankValues ValidValues(const TTankSensor& probe, ITank* tank) {
    TTankValues v;
    v.Level = probe.HasH ? probe.Level : 0;
    if (probe.HasV)
        v.Volume = probe.Volume;
    else if (probe.HasH)
        v.Volume = HostVolume(tank, v.Level);
    v.Density = probe.HasD ? probe.Density : 0;
    v.Temperature = probe.HasT ? probe.Temperature : 0;
    if (probe.HasW) {
        v.WaterLevel = probe.WaterLevel;
        v.WaterVolume = probe.HasV ? probe.WaterVolume : HostVolume(tank, v.WaterLevel);
    }
    v.Mass = probe.HasV && probe.HasD ? probe.Mass : v.Density * v.Volume;
    return v;
}

// The snapshot of a probe's record; the caller holds the probe's lock. A failure status carries
// no values, not even earlier ones.
IntfPtr<ITankState> Snapshot(const TTankSensor& probe, ITank* tank) {
    if (probe.Status != kStatusValid)
        return IntfPtr<ITankState>::Adopt(NewTankState(probe.Status, StatusText(probe.Status)));
    try {
        return IntfPtr<ITankState>::Adopt(NewTankState(kStatusValid, {}, ValidValues(probe, tank)));
    } catch (const Exception& failure) {
        return IntfPtr<ITankState>::Adopt(NewTankState(failure.Code(), failure.Message()));
    }
}

}  // namespace

TTankAdapter::TTankAdapter(TTankSensor* sensor, ITank* tank)
    : Sensor(sensor),
      Tank(IntfPtr<ITank>::Borrow(tank)),
      State(IntfPtr<ITankState>::Adopt(NewTankState(kStatusInitializing, StatusText(kStatusInitializing)))),
      Listeners(IID_ITankGaugeListener,
                [this](TListenerList&, std::int32_t, IInterface* listener, std::int32_t, bool&) { NotifyListener(listener); }),
      Timer(kRefreshDelay, [this] { Refresh(); }) {
    if (Sensor) Sensor->SetAdapter(this);
}

TTankAdapter::~TTankAdapter() {
    if (Sensor) Sensor->SetAdapter(nullptr);
}

ITankState* TTankAdapter::GetState() { return IntfPtr<ITankState>(State).Detach(); }

IStatus* TTankAdapter::SendCommand(IInterface*) {
    try {
        return NewStatus(kStatusValid, {});
    } catch (...) {
        return nullptr;
    }
}

void TTankAdapter::AddListener(IInterface* listener) {
    try {
        Listeners.Add(listener);
    } catch (...) {
        // A listener whose own query fails is not registered.
    }
}

void TTankAdapter::RemoveListener(IInterface* listener) {
    try {
        Listeners.Remove(listener);
    } catch (...) {
        // The slot is already empty when the listener's release fails.
    }
}

void TTankAdapter::Signal() noexcept {
    if (Armed) return;
    try {
        Timer.Arm();
        Armed = true;
    } catch (...) {
        // Not armed: the next stored change tries again.
    }
}

void TTankAdapter::SensorGone() noexcept {
    // The controller frees its probes on the user-interface thread, the timer's own.
    Disarm();
    Sensor = nullptr;
}

void TTankAdapter::Disarm() {
    Armed = false;
    Timer.Disarm();
}

void TTankAdapter::Refresh() noexcept {
    try {
        // A listener may drop the host's last reference to this gauge; the pass ends first.
        const IntfPtr<ITankGauge> self = IntfPtr<ITankGauge>::Borrow(this);
        // Listeners are told after the probe's lock is released: they may call back freely.
        if (TakeSnapshot()) Listeners.Notify(0, 0);
    } catch (...) {
        // Nothing may leave a timer handler; the next signal refreshes again.
    }
}

bool TTankAdapter::TakeSnapshot() {
    if (!Sensor) return false;  // polling has ended and its probe is freed: the state stays
    const SensorLock lock(*Sensor);
    Disarm();
    State = Snapshot(*Sensor, Tank.get());
    return true;
}

void TTankAdapter::NotifyListener(IInterface* listener) {
    try {
        if (const auto gaugeListener = IntfPtr<IInterface>::Borrow(listener).Query<ITankGaugeListener>())
            gaugeListener->StateChanged(AsInterface());
    } catch (...) {
        // One failing listener does not keep the others from being told.
    }
}

}  // namespace levrano
