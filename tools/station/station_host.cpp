#include "station/station_host.h"

#include <exception>

#include "common/refcounted.h"
#include "serial/termios_port.h"

namespace levrano::station {

namespace {

// A notice of the module: handed to the station when submitted.
class StationEntry : public host_kit::EntryBase {
public:
    StationEntry(std::string text, StationApplication::NoticeHandler handler)
        : text_(std::move(text)), handler_(std::move(handler)) {}
    void Submit() override { handler_(text_); }

private:
    const std::string text_;
    const StationApplication::NoticeHandler handler_;
};

}  // namespace

IInterface* StationTanks::GetItem(std::int32_t index) {
    if (index < 0 || index >= GetCount()) return nullptr;
    return IntfPtr<ITank>(tanks_[static_cast<std::size_t>(index)]).Detach();
}

StationApplication::StationApplication(const std::vector<TankRecord>& tanks, const CalibrationTable& calibrations,
                                       serial::PortMap ports, NoticeHandler notice, ProblemHandler problem)
    : ports_(std::move(ports)), notice_(std::move(notice)), problem_(std::move(problem)) {
    for (const TankRecord& record : tanks)
        tanks_.push_back(IntfPtr<ITank>::Adopt(NewCounted<StationTank>(record, calibrations.For(record.number))));
    tankList_ = IntfPtr<ITanks>::Adopt(NewCounted<StationTanks>(tanks_));
}

void StationApplication::ReleaseModuleObjects() {
    gauges_.clear();
    ReleaseListeners();
}

IEntry* StationApplication::CreateEntry(const char* text) {
    try {
        return NewCounted<StationEntry>(text ? text : "", notice_);
    } catch (...) {
        return nullptr;
    }
}

ITanks* StationApplication::GetTanks() { return IntfPtr<ITanks>(tankList_).Detach(); }

void StationApplication::RegisterService(IInterface* service, ITank* tank, GUID iid) {
    if (!(iid == IID_ITankGauge)) return;
    for (std::size_t i = 0; i < tanks_.size(); ++i) {
        if (tanks_[i].get() != tank) continue;
        auto gauge = IntfPtr<IInterface>::Borrow(service).Query<ITankGauge>();
        if (gauge) gauges_.push_back({i, std::move(gauge), service});
        return;
    }
}

IInterface* StationApplication::GetService(std::int32_t, GUID iid, std::int32_t number) {
    if (!(iid == IID_ICPortProvider)) return nullptr;
    try {
        auto& provider = providers_[number];
        if (!provider) {
            const std::string* device = ports_.Find(number);
            if (!device) {
                problem_("the module asks for port " + std::to_string(number) + ", which no --port maps");
                return nullptr;
            }
            provider = serial::OpenPortProvider(*device);
        }
        return IntfPtr<ICPortProvider>(provider).Detach();
    } catch (const std::exception& e) {
        problem_("port " + std::to_string(number) + ": " + e.what());
        providers_.erase(number);
        return nullptr;
    }
}

void StationLoadObserver::LoadFailed(const char* text) {
    failed_ = true;
    failure_ = text ? text : "";
}

}  // namespace levrano::station
