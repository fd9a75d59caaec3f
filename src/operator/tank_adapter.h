// TTankAdapter: the gauge of one host tank (ITankGauge). Its probe signals a changed reading on
// the polling thread; the adapter publishes it as a new TTankState on the user-interface thread,
// 100 ms after the first signal, and tells the host's gauge listeners.
#pragma once

#include <cstdint>
#include <string_view>

#include "common/cp1251.h"
#include "common/intf_ptr.h"
#include "common/refcounted.h"
#include "gauge/tank_sensor.h"
#include "host/OperatorIntf.h"
#include "operator/listener_list.h"
#include "platform/timer.h"

namespace levrano {

// The status published instead of values when the host's calibration (ITank.LevelToVolume) fails
// or gives a volume that is not a finite number.
inline constexpr std::int32_t kStatusCalibrationFailure = 40;
inline constexpr std::string_view kCalibrationFailureText = "Ошибка градуировки"_cp;

class TTankAdapter : public RefCounted<ITankGauge>, private TSensorAdapter {
public:
    // On the user-interface thread, whose event loop then runs every refresh. Attaches itself to
    // the probe; the probe stays the controller's.
    TTankAdapter(TTankSensor* sensor, ITank* tank);
    // Detaches from the probe first, so the polling thread never signals a freed adapter.
    ~TTankAdapter() override;

    // ITankGauge, called by the host on the user-interface thread.
    ITankState* GetState() override;
    IStatus* SendCommand(IInterface* command) override;  // success with empty text, whatever it is given
    void AddListener(IInterface* listener) override;     // ignored without ITankGaugeListener or when present
    void RemoveListener(IInterface* listener) override;

private:
    // TSensorAdapter, called by the probe with its lock held.
    void Signal() noexcept override;
    void SensorGone() noexcept override;

    // The timer's handler: the new snapshot, then the listeners.
    void Refresh() noexcept;
    // Replaces State from the probe's record under its lock; false once the probe is gone.
    bool TakeSnapshot();
    void NotifyListener(IInterface* listener);
    // Under the probe's lock.
    void Disarm();

    TTankSensor* Sensor;  // the controller's; none after the probe was freed
    const IntfPtr<ITank> Tank;
    IntfPtr<ITankState> State;
    TListenerList Listeners;
    OneShotTimer Timer;
    bool Armed = false;  // under the probe's lock: a signal while armed changes nothing
};

}  // namespace levrano
