#include "operator/operator_module.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string_view>

#include "common/cp1251.h"
#include "common/exception.h"
#include "gauge/portcontroller.h"
#include "gauge/tank_sensor.h"
#include "host/cportIntf.h"
#include "operator/tank_adapter.h"
#include "xml/xmldoc.h"

namespace levrano {

namespace {

constexpr std::string_view kNoticeFormat = "резервуар %d -> датчик %d"_cp;
constexpr std::uint32_t kBaudRate = 9600;

// What a served tank's probe measures.
struct ProbeFlags {
    bool HasH = true, HasV = true, HasD = true, HasT = true, HasW = true;
};

// A host result that must be there: a missing one is the failed cast it would be.
template <typename T>
IntfPtr<T> Required(T* result) {
    IntfPtr<T> held = IntfPtr<T>::Adopt(result);
    if (!held) throw Exception("Interface not supported");
    return held;
}

// The line settings of the "port" element: 9600 baud, binary, one stop bit, the RTS control as
// given, and the frame of "mode" (compared exactly; any other text is 8 bits without parity).
DCB LineSettings(std::int32_t rtsControl, const std::string& mode) {
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = kBaudRate;
    dcb.Flags = static_cast<std::uint32_t>(rtsControl) * (1u << kDcbRtsControlShift) + kDcbBinary;
    dcb.ByteSize = 8;
    dcb.Parity = kNoParity;
    if (mode == "9600E7") {
        dcb.ByteSize = 7;
        dcb.Parity = kEvenParity;
    } else if (mode == "9600O7") {
        dcb.ByteSize = 7;
        dcb.Parity = kOddParity;
    }
    return dcb;
}

class TModule : public RefCounted<IInterface> {
public:
    // The host let go of the module and its listener (or building failed) without a stop event:
    // the work ends here, and no stop event will release the host either.
    ~TModule() override {
        if (!Controller) return;
        try {
            StopPolling();
            OperatorApplication().Reset();
        } catch (...) {
            // A host whose release fails: the module goes all the same.
        }
    }

    void Build(TXmlDocument& document, IOperatorApplication* application);

private:
    void ServeTanks(TXmlNode* tanks, IOperatorApplication* application);
    // The probe address of a tank by the tank entries: 0 when none names it; the first decides.
    static std::int32_t ConfiguredAddress(TXmlNode* tanks, std::int32_t tankId, ProbeFlags& flags);
    void Serve(IOperatorApplication* application, ITank* tank, std::int32_t address, const ProbeFlags& flags);
    void SetUpPort(TXmlDocument& document, IOperatorApplication* application);
    void InstallListener();

    void StartPolling();
    // Releases the port, ends the thread and frees the probes, whose gauges then forget them.
    // Once done, later starts and stops find no controller and do nothing.
    void StopPolling();

    std::unique_ptr<TController> Controller;
    IntfPtr<ICPort> Port;
};

void TModule::Build(TXmlDocument& document, IOperatorApplication* application) {
    OperatorApplication() = IntfPtr<IOperatorApplication>::Borrow(application);
    Controller = std::make_unique<TController>(TTankSensor::Class());
    ServeTanks(FindNode(&document, "tanks", true), application);
    SetUpPort(document, application);
    InstallListener();
}

void TModule::ServeTanks(TXmlNode* tanks, IOperatorApplication* application) {
    const bool byPosition = ReadBool(tanks, {}, "default", true);
    const IntfPtr<ITanks> list = Required(application->GetTanks());
    const std::int32_t count = list->GetCount();
    for (std::int32_t i = 0; i < count; ++i) {
        const IntfPtr<ITank> tank = Required(list->GetItem(i)).Cast<ITank>();
        ProbeFlags flags;
        const std::int32_t address = byPosition ? i + 1 : ConfiguredAddress(tanks, tank->GetTankId(), flags);
        if (address > 0) Serve(application, tank.get(), address, flags);
    }
}

std::int32_t TModule::ConfiguredAddress(TXmlNode* tanks, std::int32_t tankId, ProbeFlags& flags) {
    // Every child is a tank entry, whatever its element name.
    for (std::int32_t i = 0; i < Count(tanks); ++i) {
        TXmlNode* entry = Child(tanks, i);
        if (ReadInteger(entry, {}, "tankid", 0) != tankId) continue;
        const std::int32_t address = ReadInteger(entry, {}, "address", 0);
        flags.HasH = ReadBool(entry, {}, "hasH", true);
        flags.HasV = ReadBool(entry, {}, "hasV", true);
        flags.HasD = ReadBool(entry, {}, "hasD", true);
        flags.HasT = ReadBool(entry, {}, "hasT", true);
        flags.HasW = ReadBool(entry, {}, "hasW", true);
        return address;
    }
    return 0;
}

void TModule::Serve(IOperatorApplication* application, ITank* tank, std::int32_t address, const ProbeFlags& flags) {
    char notice[96];
    std::snprintf(notice, sizeof notice, kNoticeFormat.data(), tank->GetNumber(), address);
    if (const auto entry = IntfPtr<IEntry>::Adopt(application->CreateEntry(notice))) entry->Submit();

    auto* probe = static_cast<TTankSensor*>(Controller->AddSensor());
    probe->Address = static_cast<std::uint8_t>(address);  // the line carries the low eight bits
    probe->Tank = IntfPtr<ITank>::Borrow(tank);
    probe->HasH = flags.HasH;
    probe->HasV = flags.HasV;
    probe->HasD = flags.HasD;
    probe->HasT = flags.HasT;
    probe->HasW = flags.HasW;

    // The host's reference keeps the gauge; the module keeps none.
    const auto gauge = IntfPtr<TTankAdapter>::Adopt(NewCounted<TTankAdapter>(probe, tank));
    application->RegisterService(gauge->AsInterface(), tank, IID_ITankGauge);
}

void TModule::SetUpPort(TXmlDocument& document, IOperatorApplication* application) {
    const std::int32_t number = ReadInteger(&document, "port", "number", 1);
    const auto provider = Required(application->GetService(0, IID_ICPortProvider, number)).Cast<ICPortProvider>();
    Port = Required(provider->GetPort());

    const std::int32_t rtsControl = ReadInteger(&document, "port", "rtscontrol", 0);
    const std::string mode = ReadString(&document, "port", "mode", "9600N8");
    Port->SetState(LineSettings(rtsControl, mode));
    Port->SetOption(0);
    Port->SetTimeout(ReadInteger(&document, "port", "timeout", 300));
    Port->SetInterval(ReadInteger(&document, "port", "interval", 20));
    Controller->Delay = ReadInteger(&document, "port", "delay", 500);
}

void TModule::InstallListener() {
    // The handlers hold the module: a host may release it before its stop event.
    const auto self = IntfPtr<TModule>::Borrow(this);
    TApplicationListener::Install([self](IInterface*) { self->StartPolling(); },
                                  [self](IInterface*) { self->StopPolling(); });
}

void TModule::StartPolling() {
    if (Controller) Controller->Start(Port.get());
}

void TModule::StopPolling() {
    if (!Controller) return;
    Port.Reset();
    Controller->Stop();
    Controller.reset();
}

}  // namespace

IInterface* NewOperatorModule(TXmlDocument& document, IOperatorApplication* application, const std::string&) {
    auto module = IntfPtr<TModule>::Adopt(NewCounted<TModule>());
    module->Build(document, application);
    return module.Detach()->AsInterface();
}

TApplicationListener::TApplicationListener(THandler onStart, THandler onStop)
    : StartHandler(std::move(onStart)), StopHandler(std::move(onStop)) {}

void TApplicationListener::Install(THandler onStart, THandler onStop) {
    const auto listener =
        IntfPtr<TApplicationListener>::Adopt(NewCounted<TApplicationListener>(std::move(onStart), std::move(onStop)));
    OperatorApplication()->AddListener(listener.get());
}

void TApplicationListener::Run(const THandler& handler, IInterface* sender) noexcept {
    try {
        const auto held = IntfPtr<IInterface>::Borrow(sender);
        if (handler) handler(held.get());
    } catch (...) {
        // A start that cannot make its thread leaves the tanks in their last state.
    }
}

void TApplicationListener::Event1(IInterface*) {}
void TApplicationListener::Event2(IInterface*) {}
void TApplicationListener::Event3(IInterface*) {}
void TApplicationListener::OnStart(IInterface* sender) { Run(StartHandler, sender); }

void TApplicationListener::OnStop(IInterface* sender) {
    Run(StopHandler, sender);
    try {
        OperatorApplication().Reset();
    } catch (...) {
        // The host's own release failed; the reference is gone all the same.
    }
}

void TApplicationListener::Event6(IInterface*) {}
void TApplicationListener::Event7(IInterface*, std::int32_t, std::int32_t, GUID) {}
void TApplicationListener::Event8(IInterface*) {}

}  // namespace levrano
