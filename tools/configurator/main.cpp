// levrano-configurator: the reference configurator host (see --help).
#include <QApplication>
#include <QTimer>
#include <filesystem>
#include <iostream>

#include "configurator/command_line.h"
#include "configurator/configurator_host.h"
#include "configurator/configurator_window.h"
#include "configurator/demo_station.h"

using namespace levrano::configurator;

namespace {

constexpr int kConfirmed = 0;
constexpr int kNotConfirmed = 1;
constexpr int kError = 2;

int InitDemo(const std::string& folder) {
    const TDemoStation demo = CreateDemoStation(folder);
    std::cout << "created " << demo.database << " and " << demo.configFile << "\n"
              << "configure it with:  levrano-configurator --database " << demo.database << " " << demo.configFile
              << std::endl;
    return kConfirmed;
}

// A local database file is taken as the user meant it, whatever the current folder becomes.
std::string AbsoluteIfLocal(const std::string& database) {
    const bool onServer = database.find(':') != std::string::npos;
    return onServer ? database : std::filesystem::absolute(database).string();
}

int Run(CommandLine options, int& argc, char** argv) {
    QApplication application(argc, argv);
    // The module makes its own folder the current one when it is loaded: paths are fixed first.
    options.configFile = std::filesystem::absolute(options.configFile).string();
    options.database.database = AbsoluteIfLocal(options.database.database);

    const TStationDatabase station = TStationDatabase::Attach(options.database);
    const TModuleLibrary library(options.module);
    TConfiguratorHost host(library, options.configFile, station.Handle());

    TConfiguratorWindow window(QString::fromStdString(options.database.database),
                               QString::fromStdString(options.configFile), [&host] {
                                   const bool confirmed = host.Configure();
                                   std::cout << (confirmed ? "confirmed" : "not confirmed") << std::endl;
                                   return confirmed;
                               });
    window.show();
    if (options.configureAtOnce) {
        QTimer::singleShot(0, &window, [&window] {
            window.Configure();
            window.close();
        });
    }
    QApplication::exec();
    return window.LastConfirmed() ? kConfirmed : kNotConfirmed;
}

}  // namespace

// --help and --init-demo need no display: the QApplication comes only with the window.
int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        const CommandLine options = ParseCommandLine(args, LEVRANO_DEFAULT_MODULE);
        if (options.help) {
            std::cout << HelpText(LEVRANO_DEFAULT_MODULE);
            return kConfirmed;
        }
        if (!options.demoFolder.empty()) return InitDemo(options.demoFolder);
        return Run(options, argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "levrano-configurator: " << e.what() << "\n(--help lists the options)\n";
        return kError;
    }
}
