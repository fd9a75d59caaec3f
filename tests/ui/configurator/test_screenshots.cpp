// Pictures of levrano-configurator with the demo station, for the documentation. Saved only when
// LEVRANO_SCREENSHOT_DIR names a folder, e.g. docs/screenshots of the source tree.
#include <QDir>
#include <QPushButton>
#include <QTableView>
#include <gtest/gtest.h>

#include "configurator/demo_station.h"
#include "configurator_session.h"
#include "reference_host.h"

namespace levrano {
namespace {

using namespace levrano::test;

void Save(QWidget& widget, const QString& folder, const char* name) {
    const QString path = QDir(folder).filePath(QLatin1String(name));
    EXPECT_TRUE(widget.grab().save(path, "PNG")) << path.toStdString();
}

TEST(Screenshots, ConfiguratorHostWithTheDemoStation) {
    const QString folder = QString::fromLocal8Bit(qgetenv("LEVRANO_SCREENSHOT_DIR"));
    if (folder.isEmpty()) GTEST_SKIP() << "LEVRANO_SCREENSHOT_DIR is not set";
    ASSERT_TRUE(QDir().mkpath(folder));

    TempConfigFile place("");
    const configurator::TDemoStation demo = configurator::CreateDemoStation(place.Folder() + "demo");
    configurator::TConnection local;
    local.database = demo.database;
    ReferenceHost h(local, demo.configFile);
    h.window.adjustSize();
    Save(h.window, folder, "configurator-window.png");

    h.ClickConfigure([&](QDialog& d) {
        ConfigDialogUser user(d);
        user.Retype("edPort", "2");
        Save(d, folder, "configurator-connection.png");
        user.ShowPage(1);
        user.ClickDefault();
        const auto address = [](const char* text, std::vector<bool> ticked) {
            return [text, ticked](QDialog& edit) {
                RetypeAddress(edit, text);
                SetParameters(edit, ticked);
                ClickOk(edit);
            };
        };
        user.EditRow(0, address("1", {true, true, false, true, true}));
        user.EditRow(1, address("2", {true, true, true, true, true}));
        user.EditRow(3, address("4", {true, true, true, true, false}));
        user.ClickRow(1);
        Save(d, folder, "configurator-sensors.png");
        user.EditRow(1, [&](QDialog& edit) {
            Save(edit, folder, "configurator-tank-edit.png");
            Click(Control<QPushButton>(edit, "btCancel"));
        });
        user.Cancel();
    });
}

}  // namespace
}  // namespace levrano
