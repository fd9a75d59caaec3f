#include "operator_host.h"

#include <gtest/gtest.h>

#include <QTest>


namespace levrano::test {

void SetupRecordingPort::SetState(DCB settings) {
    dcb_ = settings;
    setup_.push_back("SetState");
}

void SetupRecordingPort::SetOption(std::int32_t option) { setup_.push_back("SetOption " + std::to_string(option)); }

void SetupRecordingPort::SetTimeout(std::int32_t milliseconds) {
    setup_.push_back("SetTimeout " + std::to_string(milliseconds));
}

void SetupRecordingPort::SetInterval(std::int32_t milliseconds) {
    setup_.push_back("SetInterval " + std::to_string(milliseconds));
}

std::string Config(std::string_view body) { return "<boot>" + std::string(body) + "</boot>"; }

OperatorHost::OperatorHost() : port(IntfPtr<SetupRecordingPort>::Adopt(NewCounted<SetupRecordingPort>())) {
    app.SetPort(1, port.get());
}

OperatorHost::~OperatorHost() {
    app.FireStop();
    module.Reset();
    app.ReleaseModuleObjects();
}

void OperatorHost::Load(std::string_view config) {
    const TempConfigFile file(config);
    TestHost host(&app);
    module = library.LoadOrFail(file.Path(), host.AsInterface());
}

IntfPtr<ITankGauge> OperatorHost::Gauge(std::size_t n) const {
    if (n >= app.Registrations().size()) {
        ADD_FAILURE() << "no gauge " << n << " among " << app.Registrations().size();
        return {};
    }
    return app.Registrations()[n].Service.Query<ITankGauge>();
}

Snapshot OperatorHost::State(std::size_t n) const {
    const IntfPtr<ITankGauge> gauge = Gauge(n);
    if (!gauge) return {};
    return Read(IntfPtr<ITankState>::Adopt(gauge->GetState()).get());
}

void OperatorHost::Answer(int address, const gauge_sim::Reading& reading) {
    port->Script(gauge_sim::RequestFrame('L', address), {gauge_sim::AnswerFrame(address, gauge_sim::LevelData(reading))});
    port->Script(gauge_sim::RequestFrame('M', address),
                 {gauge_sim::AnswerFrame(address, gauge_sim::DensityData(reading.density))});
}

void OperatorHost::Silence(int address) {
    port->Script(gauge_sim::RequestFrame('L', address), {""});
    port->Script(gauge_sim::RequestFrame('M', address), {""});
}

std::vector<int> OperatorHost::PolledAddresses() const {
    std::vector<int> addresses;
    for (const std::string& request : port->Writes())
        if (request.size() == gauge_sim::kRequestLength && request[1] == 'L')
            addresses.push_back((request[2] - '0') * 10 + (request[3] - '0'));
    return addresses;
}

bool OperatorHost::WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    return QTest::qWaitFor(done, static_cast<int>(timeout.count()));
}

void OperatorHost::RunEvents(std::chrono::milliseconds duration) { QTest::qWait(static_cast<int>(duration.count())); }

}  // namespace levrano::test
