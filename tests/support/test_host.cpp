#include "test_host.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "common/cp1251.h"

namespace levrano::test {

// ---- HostObjectBase -----------------------------------------------------------------------------

std::vector<GUID> HostObjectBase::Queries() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return queries_;
}

bool HostObjectBase::WasAskedFor(const GUID& iid) const {
    const std::vector<GUID> asked = Queries();
    return std::find(asked.begin(), asked.end(), iid) != asked.end();
}

std::vector<std::string> HostObjectBase::UnexpectedCalls() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return unexpected_;
}

void HostObjectBase::RecordQuery(const GUID& iid) {
    std::lock_guard<std::mutex> guard(mutex_);
    queries_.push_back(iid);
}

void HostObjectBase::Unexpected(std::string operation) {
    std::lock_guard<std::mutex> guard(mutex_);
    unexpected_.push_back(std::move(operation));
}

// ---- Operator host ------------------------------------------------------------------------------

TestTank::TestTank(std::int32_t id, std::int32_t number, Calibration calibration)
    : id_(id), number_(number), calibration_(calibration ? std::move(calibration) : [](double level) { return level * 10; }) {}

double TestTank::LevelToVolume(double level) {
    ++levelToVolumeCalls_;
    return calibration_(level);
}

IInterface* TestTanks::GetItem(std::int32_t index) {
    if (index < 0 || index >= GetCount()) return nullptr;
    TestTank& tank = *tanks_[static_cast<std::size_t>(index)];
    tank.AddRef();
    return static_cast<ITank*>(&tank);
}

void TestEntry::Submit() {
    ++submits_;
    notices_.push_back(text_);
}

ICPort* TestPortProvider::GetPort() {
    if (port_) port_->AddRef();
    return port_;
}

TestOperatorApplication::TestOperatorApplication() = default;

TestOperatorApplication::~TestOperatorApplication() { ReleaseModuleObjects(); }

TestTank& TestOperatorApplication::AddTank(std::int32_t id, std::int32_t number, TestTank::Calibration calibration) {
    tanks_.push_back(std::make_unique<TestTank>(id, number, std::move(calibration)));
    return *tanks_.back();
}

void TestOperatorApplication::SetPort(std::int32_t number, ICPort* port) {
    ports_.push_back({number, std::make_unique<TestPortProvider>(port)});
}

void TestOperatorApplication::FireStart() {
    for (const auto& listener : std::vector(listeners_)) listener->OnStart(AsInterface());
}

void TestOperatorApplication::FireStop() {
    for (const auto& listener : std::vector(listeners_)) listener->OnStop(AsInterface());
}

void TestOperatorApplication::ReleaseModuleObjects() {
    registrations_.clear();
    listeners_.clear();
}

void TestOperatorApplication::ReleaseRegistration(std::size_t n) { registrations_.at(n).Service.Reset(); }

std::int32_t TestOperatorApplication::HeldReferences() const {
    std::int32_t held = Refs() + tankList_.Refs();
    for (const auto& tank : tanks_) held += tank->Refs();
    for (const auto& entry : entries_) held += entry->Refs();
    for (const auto& port : ports_) held += port.Provider->Refs();
    return held;
}

std::vector<std::string> TestOperatorApplication::AllUnexpectedCalls() const {
    std::vector<std::string> all = UnexpectedCalls();
    const auto add = [&all](const HostObjectBase& object) {
        for (auto& call : object.UnexpectedCalls()) all.push_back(std::move(call));
    };
    add(tankList_);
    for (const auto& tank : tanks_) add(*tank);
    for (const auto& entry : entries_) add(*entry);
    for (const auto& port : ports_) add(*port.Provider);
    return all;
}

IEntry* TestOperatorApplication::CreateEntry(const char* text) {
    entries_.push_back(std::make_unique<TestEntry>(text ? text : "", notices_));
    entries_.back()->AddRef();
    return entries_.back().get();
}

ITanks* TestOperatorApplication::GetTanks() {
    ++getTanksCalls_;
    tankList_.AddRef();
    return &tankList_;
}

void TestOperatorApplication::RegisterService(IInterface* service, ITank* tank, GUID iid) {
    TestTank* hostTank = nullptr;
    for (const auto& candidate : tanks_)
        if (static_cast<ITank*>(candidate.get()) == tank) hostTank = candidate.get();
    registrations_.push_back({IntfPtr<IInterface>::Borrow(service), tank, hostTank, iid});
}

IInterface* TestOperatorApplication::GetService(std::int32_t owner, GUID iid, std::int32_t number) {
    serviceRequests_.push_back({owner, iid, number});
    if (!(iid == IID_ICPortProvider)) return nullptr;
    for (const auto& port : ports_) {
        if (port.Number != number) continue;
        port.Provider->AddRef();
        return port.Provider->AsInterface();
    }
    return nullptr;
}

void TestOperatorApplication::AddListener(IApplicationListener* listener) {
    listeners_.push_back(IntfPtr<IApplicationListener>::Borrow(listener));
}

void TestGaugeListener::StateChanged(IInterface* gauge) {
    calls_.push_back(gauge);
    if (OnStateChanged) OnStateChanged(gauge);
}

// ---- Load observer ------------------------------------------------------------------------------

void PrintTo(const ObserverCall& call, std::ostream* out) {
    *out << call.Operation;
    if (call.Operation == "LoadFailed") *out << "(\"" << cp1251::ToUtf8(call.Text) << "\")";
}

// ---- Configurator host --------------------------------------------------------------------------

std::uint32_t TestHostDatabase::GetHandle() {
    ++getHandleCalls_;
    return Handle;
}

IHostDatabase* TestConfigApplication::GetDatabase() {
    ++getDatabaseCalls_;
    if (!HandsOutDatabase) return nullptr;
    database_.AddRef();
    return &database_;
}

// ---- TestHost -----------------------------------------------------------------------------------

HResult TestHost::QueryInterface(const GUID& iid, void** obj) {
    if (operator_ && iid == IID_IOperatorApplication) {
        RecordQuery(iid);
        return operator_->QueryInterface(iid, obj);
    }
    if (config_ && iid == IID_IConfigApplication) {
        RecordQuery(iid);
        return config_->QueryInterface(iid, obj);
    }
    return HostObject<IInterface>::QueryInterface(iid, obj);
}

// ---- LoadedModule -------------------------------------------------------------------------------

namespace {
// Stands in the out parameter before the call, so that a module that does not clear it shows.
IInterface* const kUncleared = reinterpret_cast<IInterface*>(static_cast<std::uintptr_t>(0x1));
}  // namespace

LoadedModule::LoadedModule(const std::string& file) {
    handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        ADD_FAILURE() << "dlopen " << file << ": " << dlerror();
        return;
    }
    entry_ = reinterpret_cast<LoadModuleFn>(dlsym(handle_, "LoadModule"));
    if (!entry_) ADD_FAILURE() << "dlsym LoadModule: " << dlerror();
}

LoadedModule::~LoadedModule() {
    if (handle_) dlclose(handle_);
}

IntfPtr<IInterface> LoadedModule::Load(const std::string& configPath, IInterface* host, ILoadObserver* observer) const {
    if (!entry_) return {};
    IInterface* module = kUncleared;
    entry_(&module, configPath.c_str(), host, observer);
    if (module == kUncleared) {
        ADD_FAILURE() << "LoadModule left its module out parameter as it was";
        return {};
    }
    return IntfPtr<IInterface>::Adopt(module);
}

IntfPtr<IInterface> LoadedModule::LoadOrFail(const std::string& configPath, IInterface* host) const {
    TestLoadObserver observer;
    IntfPtr<IInterface> module = Load(configPath, host, &observer);
    EXPECT_EQ(observer.Calls(), (std::vector<ObserverCall>{{"BeginLoad", {}}, {"EndLoad", {}}}));
    EXPECT_TRUE(module) << "no module object";
    EXPECT_EQ(0, observer.Refs()) << "observer references kept";
    return module;
}

// ---- TempConfigFile -----------------------------------------------------------------------------

TempConfigFile::TempConfigFile(std::string_view content) {
    std::string pattern = (std::filesystem::temp_directory_path() / "levrano-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
    folder_ = pattern + "/";
    path_ = folder_ + "levrano.xml";
    std::ofstream(path_, std::ios::binary) << content;
}

TempConfigFile::~TempConfigFile() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

}  // namespace levrano::test
