// The station's side of the operator interfaces: its tanks with their calibrations, the tank
// list, notice entries, the application object that the module binds to (tanks, services, the
// gauges and listeners it hands over) and the gauge listener.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/intf_ptr.h"
#include "host-kit/host_objects.h"
#include "host/cportIntf.h"
#include "serial/port_map.h"
#include "station/calibration.h"
#include "station/station_database.h"

namespace levrano::station {

class StationTank : public host_kit::TankBase {
public:
    StationTank(TankRecord record, Calibration calibration) : record_(record), calibration_(std::move(calibration)) {}

    std::int32_t GetTankId() override { return record_.id; }
    std::int32_t GetNumber() override { return record_.number; }
    double LevelToVolume(double level) override { return calibration_.Volume(level); }

private:
    const TankRecord record_;
    const Calibration calibration_;
};

class StationTanks : public host_kit::TanksBase {
public:
    explicit StationTanks(std::vector<IntfPtr<ITank>> tanks) : tanks_(std::move(tanks)) {}

    std::int32_t GetCount() override { return static_cast<std::int32_t>(tanks_.size()); }
    IInterface* GetItem(std::int32_t index) override;  // none outside the list

private:
    const std::vector<IntfPtr<ITank>> tanks_;
};

class StationApplication : public host_kit::OperatorApplicationBase {
public:
    using NoticeHandler = std::function<void(const std::string& text)>;  // Windows-1251
    using ProblemHandler = std::function<void(const std::string& text)>;  // UTF-8

    StationApplication(const std::vector<TankRecord>& tanks, const CalibrationTable& calibrations,
                       serial::PortMap ports, NoticeHandler notice, ProblemHandler problem);

    // A gauge the module registered, with the position of its tank in the list.
    struct Gauge {
        std::size_t tank;
        IntfPtr<ITankGauge> gauge;
        IInterface* identity;  // as registered: what StateChanged passes
    };
    const std::vector<Gauge>& Gauges() const { return gauges_; }

    // Drops the gauges and listeners the module handed over (after the stop event).
    void ReleaseModuleObjects();

    IEntry* CreateEntry(const char* text) override;
    ITanks* GetTanks() override;
    void RegisterService(IInterface* service, ITank* tank, GUID iid) override;
    // The provider of a port number mapped by --port, opened at the first request.
    IInterface* GetService(std::int32_t owner, GUID iid, std::int32_t number) override;

private:
    std::vector<IntfPtr<ITank>> tanks_;
    IntfPtr<ITanks> tankList_;
    const serial::PortMap ports_;
    std::map<std::int32_t, IntfPtr<ICPortProvider>> providers_;
    const NoticeHandler notice_;
    const ProblemHandler problem_;
    std::vector<Gauge> gauges_;
};

// The observer of the one LoadModule call: what failed, if anything.
class StationLoadObserver : public host_kit::LoadObserverBase {
public:
    bool Failed() const { return failed_; }
    const std::string& Failure() const { return failure_; }  // Windows-1251

    void BeginLoad() override {}
    void EndLoad() override {}
    void LoadFailed(const char* text) override;

private:
    bool failed_ = false;
    std::string failure_;
};

}  // namespace levrano::station
