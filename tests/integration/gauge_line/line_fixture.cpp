#include "line_fixture.h"

namespace levrano::test {

DCB MakeDcb(std::uint8_t byteSize, std::uint8_t parity, std::uint32_t rtsControl) {
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = 9600;
    dcb.Flags = kDcbBinary | (rtsControl << kDcbRtsControlShift);
    dcb.ByteSize = byteSize;
    dcb.Parity = parity;
    return dcb;
}

void CountingAdapter::Signal() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        ++signals_;
    }
    changed_.notify_all();
}

bool CountingAdapter::WaitFor(int count, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> guard(mutex_);
    return changed_.wait_for(guard, timeout, [&] { return signals_ >= count; });
}

int CountingAdapter::Count() {
    std::lock_guard<std::mutex> guard(mutex_);
    return signals_;
}

GaugeLine::GaugeLine(gauge_sim::SimulatorOptions options, const DCB& settings, std::int32_t timeoutMs)
    : sim(std::move(options)) {
    const std::string slave = sim.OpenPseudoTerminal();
    sim.Start();
    port = IntfPtr<ICPort>::Adopt(serial::OpenPortProvider(slave)->GetPort());
    port->SetState(settings);
    port->SetOption(0);
    port->SetTimeout(timeoutMs);
    port->SetInterval(20);
}

GaugeLine::~GaugeLine() {
    controller.Stop();
    for (std::int32_t i = 0; i < controller.SensorCount(); ++i)
        static_cast<TTankSensor*>(controller.Sensor(i))->SetAdapter(nullptr);
}

void GaugeLine::Start(const std::vector<std::uint8_t>& addresses, std::int32_t delayMs) {
    for (std::uint8_t address : addresses) {
        auto* probe = static_cast<TTankSensor*>(controller.AddSensor());
        probe->Address = address;
        adapters_.push_back(std::make_unique<CountingAdapter>());
        probe->SetAdapter(adapters_.back().get());
    }
    controller.Delay = delayMs;
    controller.Start(port.get());
}

bool GaugeLine::WaitForStatus(int index, std::int32_t status, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const int reported = Adapter(index).Count();
        if (reported > 0 && Read(index).status == status) return true;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !Adapter(index).WaitFor(reported + 1, left)) return false;
    }
}

GaugeLine::Record GaugeLine::Read(int index) {
    auto* probe = static_cast<TTankSensor*>(controller.Sensor(index));
    probe->Lock();
    const Record r{probe->Status,     probe->Level,       probe->Volume,  probe->WaterLevel,
                   probe->WaterVolume, probe->Temperature, probe->Density, probe->Mass};
    probe->Unlock();
    return r;
}

}  // namespace levrano::test
