#include "bench_host.h"

#include <dlfcn.h>
#include <malloc.h>
#include <stdlib.h>

#include <QEventLoop>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "common/refcounted.h"
#include "host/module.h"

namespace levrano::bench {

namespace {

class BenchTank : public host_kit::TankBase {
public:
    explicit BenchTank(std::int32_t number) : number_(number) {}
    std::int32_t GetTankId() override { return number_; }
    std::int32_t GetNumber() override { return number_; }
    double LevelToVolume(double level) override { return level * 10; }

private:
    const std::int32_t number_;
};

class BenchTanks : public host_kit::TanksBase {
public:
    explicit BenchTanks(int count) {
        for (int number = 1; number <= count; ++number) tanks_.push_back(IntfPtr<ITank>::Adopt(NewCounted<BenchTank>(number)));
    }
    std::int32_t GetCount() override { return static_cast<std::int32_t>(tanks_.size()); }
    IInterface* GetItem(std::int32_t index) override {
        if (index < 0 || index >= GetCount()) return nullptr;
        return IntfPtr<ITank>(tanks_[static_cast<std::size_t>(index)]).Detach();
    }

private:
    std::vector<IntfPtr<ITank>> tanks_;
};

// The module's notices ("tank N -> probe N") are of no interest here.
class BenchEntry : public host_kit::EntryBase {
public:
    void Submit() override {}
};

class BenchLoadObserver : public host_kit::LoadObserverBase {
public:
    const std::string& Failure() const { return failure_; }
    void BeginLoad() override {}
    void EndLoad() override {}
    void LoadFailed(const char* text) override { failure_ = text ? text : "(no text)"; }

private:
    std::string failure_;
};

LoadModuleFn ModuleEntry() {
    static const LoadModuleFn entry = [] {
        void* library = dlopen(LEVRANO_MODULE_FILE, RTLD_NOW | RTLD_LOCAL);
        if (!library) throw std::runtime_error(std::string("cannot load the module: ") + dlerror());
        auto* found = reinterpret_cast<LoadModuleFn>(dlsym(library, "LoadModule"));
        if (!found) throw std::runtime_error("the module exports no LoadModule");
        return found;
    }();
    return entry;
}

std::size_t HeapInUse() {
    const struct mallinfo2 heap = mallinfo2();
    return heap.uordblks + heap.hblkhd;
}

// A configuration file in a fresh temporary folder, gone with the object.
class ConfigFile {
public:
    explicit ConfigFile(const std::string& content) {
        std::string folder = (std::filesystem::temp_directory_path() / "levrano-bench-XXXXXX").string();
        if (!mkdtemp(folder.data())) throw std::runtime_error("cannot make a temporary folder");
        folder_ = folder;
        std::ofstream(Path(), std::ios::binary) << content;
    }
    ~ConfigFile() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    ConfigFile(const ConfigFile&) = delete;
    ConfigFile& operator=(const ConfigFile&) = delete;
    std::string Path() const { return (folder_ / "levrano.xml").string(); }

private:
    std::filesystem::path folder_;
};

std::string ConfigText(const BenchStation::Settings& s) {
    return "<station>\n  <port number=\"1\" mode=\"" + s.mode + "\" timeout=\"" + std::to_string(s.timeoutMs) +
           "\" delay=\"" + std::to_string(s.delayMs) + "\"/>\n  <tanks default=\"true\"/>\n</station>\n";
}

}  // namespace

// ---- RecordingPort ------------------------------------------------------------------------------

IStatus* RecordingPort::Write(const void* buffer, std::int32_t count) {
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    if (bytes && count >= 4 && bytes[1] == 'L') {
        const int address = (bytes[2] - '0') * 10 + (bytes[3] - '0');
        std::lock_guard<std::mutex> guard(mutex_);
        levelRequests_.push_back({address, Clock::now()});
    }
    return TermiosPort::Write(buffer, count);
}

std::vector<Clock::time_point> RecordingPort::LevelRequests(int address) const {
    std::lock_guard<std::mutex> guard(mutex_);
    std::vector<Clock::time_point> times;
    for (const Request& r : levelRequests_)
        if (r.address == address) times.push_back(r.at);
    return times;
}

std::size_t RecordingPort::LevelRequestCount() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return levelRequests_.size();
}

// ---- Host objects -------------------------------------------------------------------------------

BenchApplication::BenchApplication(int tanks, ICPort* port)
    : tanks_(IntfPtr<ITanks>::Adopt(NewCounted<BenchTanks>(tanks))),
      port_(IntfPtr<ICPortProvider>::Adopt(NewCounted<serial::TermiosPortProvider>(IntfPtr<ICPort>::Borrow(port)))) {}

void BenchApplication::ReleaseModuleObjects() {
    gauges_.clear();
    ReleaseListeners();
}

IEntry* BenchApplication::CreateEntry(const char*) {
    try {
        return NewCounted<BenchEntry>();
    } catch (...) {
        return nullptr;
    }
}

ITanks* BenchApplication::GetTanks() { return IntfPtr<ITanks>(tanks_).Detach(); }

void BenchApplication::RegisterService(IInterface* service, ITank*, GUID iid) {
    if (!(iid == IID_ITankGauge)) return;
    if (auto gauge = IntfPtr<IInterface>::Borrow(service).Query<ITankGauge>()) gauges_.push_back(std::move(gauge));
}

IInterface* BenchApplication::GetService(std::int32_t, GUID iid, std::int32_t number) {
    if (!(iid == IID_ICPortProvider) || number != 1) return nullptr;
    return IntfPtr<ICPortProvider>(port_).Detach();
}

// ---- BenchStation -------------------------------------------------------------------------------

BenchStation::BenchStation(const Settings& settings, ICPort* port)
    : application_(IntfPtr<BenchApplication>::Adopt(NewCounted<BenchApplication>(settings.tanks, port))) {
    const LoadModuleFn loadModule = ModuleEntry();
    const ConfigFile config(ConfigText(settings));
    const std::string path = config.Path();
    const auto observer = IntfPtr<BenchLoadObserver>::Adopt(NewCounted<BenchLoadObserver>());

    IInterface* loaded = nullptr;
    const std::size_t heapBefore = HeapInUse();
    const auto started = Clock::now();
    loadModule(&loaded, path.c_str(), application_.get(), observer.get());
    load_.milliseconds = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
    load_.heapBytes = static_cast<double>(HeapInUse()) - static_cast<double>(heapBefore);

    module_ = IntfPtr<IInterface>::Adopt(loaded);
    if (!module_) {
        application_->ReleaseModuleObjects();
        throw std::runtime_error("the module did not load: " + observer->Failure());
    }
    if (Gauges().size() != static_cast<std::size_t>(settings.tanks))
        throw std::runtime_error("the module registered " + std::to_string(Gauges().size()) + " gauges for " +
                                 std::to_string(settings.tanks) + " tanks");
}

BenchStation::~BenchStation() {
    application_->FireStop();
    if (listener_)
        for (const auto& gauge : Gauges()) gauge->RemoveListener(listener_.get());
    application_->ReleaseModuleObjects();
    module_.Reset();
}

void BenchStation::Listen(IntfPtr<host_kit::GaugeListener> listener) {
    listener_ = std::move(listener);
    for (const auto& gauge : Gauges()) gauge->AddListener(listener_.get());
}

std::int32_t BenchStation::StatusCode(std::size_t gauge) const {
    const auto state = IntfPtr<ITankState>::Adopt(Gauges().at(gauge)->GetState());
    const auto status = state ? IntfPtr<IStatus>::Adopt(state->GetStatus()) : IntfPtr<IStatus>();
    return status ? status->GetCode() : -1;
}

double BenchStation::Level(std::size_t gauge) const {
    const auto state = IntfPtr<ITankState>::Adopt(Gauges().at(gauge)->GetState());
    return state ? state->GetLevel() : 0;
}

// ---- Event loop ---------------------------------------------------------------------------------

void RunUntil(const std::function<bool()>& done, std::chrono::milliseconds patience, const std::string& what) {
    const auto deadline = Clock::now() + patience;
    while (!done()) {
        if (Clock::now() >= deadline) throw std::runtime_error("waited in vain for " + what);
        RunFor(std::chrono::milliseconds(2));
    }
}

void RunFor(std::chrono::milliseconds span) {
    QEventLoop loop;
    QTimer::singleShot(span, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace levrano::bench
