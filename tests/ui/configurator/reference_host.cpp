#include "reference_host.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "ui/dialogs/dialog_user.h"

namespace levrano::test {

ReferenceHost::ReferenceHost(const configurator::TConnection& database, const std::string& configFile)
    : station(configurator::TStationDatabase::Attach(database)),
      host(library, configFile, station.Handle()),
      window(QString::fromStdString(database.database), QString::fromStdString(configFile),
             [this] { return host.Configure(); }) {
    window.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
}

void ReferenceHost::ClickConfigure(const std::function<void(QDialog&)>& user) {
    OnNextModal(user);
    Click(Control<QPushButton>(window, "btConfigure"));
}

QString ReferenceHost::Result() const { return Control<QLabel>(window, "lbResult")->text(); }

}  // namespace levrano::test
