#include "operator_host.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <thread>

#include "common/cp1251.h"

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
