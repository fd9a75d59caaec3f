// levrano-station: the reference operator host (see --help). It loads the module as a station's
// operator workstation does and shows what the module publishes.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <filesystem>
#include <iostream>

#include "common/cp1251.h"
#include "common/refcounted.h"
#include "host/module.h"
#include "station/options.h"
#include "station/state_log.h"
#include "station/station_host.h"
#include "station/tank_table.h"

using namespace levrano;
using namespace levrano::station;

namespace {

int stopPipe[2] = {-1, -1};

void OnStopSignal(int) {
    const char byte = 's';
    [[maybe_unused]] const ssize_t ignored = write(stopPipe[1], &byte, 1);
}

// Ctrl-C and SIGTERM end the event loop through a pipe: a signal handler may only write.
void QuitOnStopSignals(QCoreApplication& app) {
    if (pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("cannot make the signal pipe");
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    auto* notifier = new QSocketNotifier(stopPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
}

std::vector<TankRecord> StationTankList(const Options& options) {
    if (!options.database.empty()) return ReadStationTanks(options.database, options.user, options.password);
    std::vector<TankRecord> tanks;
    for (int i = 1; i <= *options.tanks; ++i) tanks.push_back({i, i});
    return tanks;
}

LoadModuleFn OpenModule(const std::string& file) {
    // The library stays loaded until the process ends, as in any host.
    void* library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) throw std::runtime_error(std::string("cannot load the module: ") + dlerror());
    auto* entry = reinterpret_cast<LoadModuleFn>(dlsym(library, "LoadModule"));
    if (!entry) throw std::runtime_error(file + " exports no LoadModule");
    return entry;
}

int Run(const Options& options, QCoreApplication& app) {
    QuitOnStopSignals(app);
    const std::vector<TankRecord> tanks = StationTankList(options);
    TankTable table(tanks, std::cout, isatty(STDOUT_FILENO) == 1);
    StateLog stateLog(options.stateLog);
    const auto station = IntfPtr<StationApplication>::Adopt(NewCounted<StationApplication>(
        tanks, options.calibrations, options.ports,
        [&table](const std::string& notice) {
            std::cout << "notice: " << cp1251::ToUtf8(notice) << std::endl;
            if (const auto parsed = ParseNotice(notice)) table.SetAddress(parsed->first, parsed->second);
        },
        [](const std::string& problem) { std::cerr << "levrano-station: " << problem << std::endl; }));

    // Loading the library makes the executable's folder the current directory: the file's path
    // must not depend on it.
    const std::string config = std::filesystem::absolute(options.config).string();
    const LoadModuleFn loadModule = OpenModule(options.module);
    const auto observer = IntfPtr<StationLoadObserver>::Adopt(NewCounted<StationLoadObserver>());
    IInterface* loaded = nullptr;
    loadModule(&loaded, config.c_str(), station.get(), observer.get());
    IntfPtr<IInterface> module = IntfPtr<IInterface>::Adopt(loaded);
    if (!module) {
        std::cerr << "levrano-station: the module did not load: " << cp1251::ToUtf8(observer->Failure()) << std::endl;
        station->ReleaseModuleObjects();
        return 1;
    }

    const auto listener = IntfPtr<host_kit::GaugeListener>::Adopt(NewCounted<host_kit::GaugeListener>([&](IInterface* gauge) {
        for (const auto& g : station->Gauges()) {
            if (g.identity != gauge) continue;
            const auto state = IntfPtr<ITankState>::Adopt(g.gauge->GetState());
            table.Update(g.tank, state.get());
            table.Show();
            stateLog.Published(tanks[g.tank].number, state.get());
        }
    }));
    for (const auto& g : station->Gauges()) {
        g.gauge->AddListener(listener.get());
        table.Update(g.tank, IntfPtr<ITankState>::Adopt(g.gauge->GetState()).get());
    }
    table.Show();

    if (options.duration) QTimer::singleShot(static_cast<int>(*options.duration * 1000), &app, &QCoreApplication::quit);
    station->FireStart();
    app.exec();

    station->FireStop();
    for (const auto& g : station->Gauges()) g.gauge->RemoveListener(listener.get());
    station->ReleaseModuleObjects();
    module.Reset();
    stateLog.Stopped();
    std::cout << "stopped" << std::endl;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    try {
        options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc), LEVRANO_MODULE_FILE);
    } catch (const std::exception& e) {
        std::cerr << "levrano-station: " << e.what() << "\n(--help lists the options)\n";
        return 2;
    }
    if (options.help) {
        std::cout << HelpText(LEVRANO_MODULE_FILE);
        return 0;
    }
    QCoreApplication app(argc, argv);
    try {
        return Run(options, app);
    } catch (const std::exception& e) {
        std::cerr << "levrano-station: " << e.what() << std::endl;
        return 1;
    }
}
