// levrano-configurator's pieces in-process, put together as its program does: the station's
// attachment, the module loaded for the configuration file, and the main window whose button
// opens the module's dialog.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <string>

#include "configurator/configurator_host.h"
#include "configurator/configurator_window.h"
#include "configurator/station_database.h"

namespace levrano::test {

class ReferenceHost {
public:
    ReferenceHost(const configurator::TConnection& database, const std::string& configFile);

    // Clicks the window's button while `user` acts on the module's dialog.
    void ClickConfigure(const std::function<void(QDialog&)>& user);
    QString Result() const;  // what the window says of the last configuration

    configurator::TStationDatabase station;
    configurator::TModuleLibrary library{LEVRANO_MODULE_PATH};
    configurator::TConfiguratorHost host;
    configurator::TConfiguratorWindow window;
};

}  // namespace levrano::test
