// ShowError: a modal error box that waits for the user, captioned "Ошибка".
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "common/cp1251.h"
#include "operator/show_error.h"
#include "platform/qt_text.h"

namespace levrano {
namespace {

struct SeenBox {
    bool found = false;
    QString caption, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
    bool okButton = false;
};

// Waits for the modal box, notes what it shows and presses its button as a user would.
void CloseBoxWhenShown(SeenBox& seen) {
    QTimer::singleShot(10, [&seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return CloseBoxWhenShown(seen);
        seen = {true, box->windowTitle(), box->text(), box->icon(), static_cast<int>(box->buttons().size()),
                box->button(QMessageBox::Ok) != nullptr};
        box->buttons().front()->click();
    });
}

TEST(ShowError, ShowsTheMessageUnderTheErrorCaptionAndWaitsForOk) {
    const std::string message("Ошибка открытия файла \"a.xml\" :No such file or directory"_cp);
    SeenBox seen;
    CloseBoxWhenShown(seen);
    ShowError(Exception(message, 0));
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(ToQString("Ошибка"_cp), seen.caption);
    EXPECT_EQ(ToQString(message), seen.text);
    EXPECT_EQ(QMessageBox::Critical, seen.icon);
    EXPECT_EQ(1, seen.buttons);
    EXPECT_TRUE(seen.okButton);
}

}  // namespace
}  // namespace levrano
