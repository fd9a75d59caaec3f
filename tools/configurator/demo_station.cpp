#include "configurator/demo_station.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "common/cp1251.h"

namespace levrano::configurator {

namespace fs = std::filesystem;

const std::vector<TStationTank>& DemoTanks() {
    static const std::vector<TStationTank> tanks = {{12, 1}, {15, 2}, {17, 3}, {20, 4}};
    return tanks;
}

std::string StarterConfiguration() {
    return std::string("<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n"
                       "<levrano>\r\n"
                       "  <boot name=\"") +
           std::string("Уровнемеры Levrano"_cp) +
           "\"/>\r\n"
           "  <port number=\"1\" mode=\"9600N8\" timeout=\"300\" delay=\"500\" interval=\"20\" rtscontrol=\"0\"/>\r\n"
           "  <Tanks default=\"true\"/>\r\n"
           "</levrano>\r\n";
}

TDemoStation CreateDemoStation(const std::string& folder) {
    const fs::path where = fs::absolute(folder);
    const TDemoStation demo{(where / "station.fdb").string(), (where / "levrano.xml").string()};
    for (const std::string& file : {demo.database, demo.configFile})
        if (fs::exists(file)) throw std::runtime_error(file + " exists already; nothing was changed");
    fs::create_directories(where);

    TConnection local;
    local.database = demo.database;
    TStationDatabase::Create(local, DemoTanks());  // detached again at once
    std::ofstream out(demo.configFile, std::ios::binary);
    out << StarterConfiguration();
    out.close();
    if (!out) {
        // Half a demo is no demo.
        std::error_code ignored;
        fs::remove(demo.configFile, ignored);
        fs::remove(demo.database, ignored);
        throw std::runtime_error("cannot write " + demo.configFile);
    }
    return demo;
}

}  // namespace levrano::configurator
