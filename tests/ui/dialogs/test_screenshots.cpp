// Pictures of both dialogs with a realistic station, for the documentation. Saved only when
// LEVRANO_SCREENSHOT_DIR names a folder, e.g. docs/screenshots of the source tree.
#include <QDir>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>

#include "dialog_user.h"

namespace levrano {
namespace {

void Save(QWidget& widget, const QString& folder, const char* name) {
    const QString path = QDir(folder).filePath(QLatin1String(name));
    EXPECT_TRUE(widget.grab().save(path, "PNG")) << path.toStdString();
}

TEST(Screenshots, BothDialogsWithASampleStation) {
    const QString folder = QString::fromLocal8Bit(qgetenv("LEVRANO_SCREENSHOT_DIR"));
    if (folder.isEmpty()) GTEST_SKIP() << "LEVRANO_SCREENSHOT_DIR is not set";
    ASSERT_TRUE(QDir().mkpath(folder));

    const TTankEntry tanks[] = {{12, 1, 1, true, true, false, true, true},
                                {15, 2, 2, true, true, true, true, true},
                                {17, 3, 0, true, true, true, true, true},
                                {20, 4, 4, true, true, true, false, true},
                                {23, 5, 5, true, true, true, true, true}};
    TfmConfig dialog(nullptr);
    test::FillStation(dialog, false, tanks);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    Save(dialog, folder, "config-connection.png");

    test::Control<QTabWidget>(dialog, "pcPages")->setCurrentIndex(1);
    test::Control<QTableView>(dialog, "lvTanks")->selectRow(0);
    Save(dialog, folder, "config-sensors.png");

    test::OnNextModal([&](QDialog& edit) {
        Save(edit, folder, "tank-edit.png");
        test::Click(test::Control<QPushButton>(edit, "btCancel"));
    });
    test::Click(test::Control<QPushButton>(dialog, "btEdit"));
}

}  // namespace
}  // namespace levrano
