#include "platform/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <cstdio>

#include "common/cp1251.h"
#include "platform/qt_text.h"

namespace levrano {

namespace {
bool GuiRunsOnThisThread() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr &&
           QThread::currentThread() == QCoreApplication::instance()->thread();
}
}  // namespace

void ShowMessageBox(std::string_view caption, std::string_view text, void* owner) {
    if (!GuiRunsOnThisThread()) {
        std::fprintf(stderr, "%s: %s\n", cp1251::ToUtf8(caption).c_str(), cp1251::ToUtf8(text).c_str());
        return;
    }
    QWidget* parent = static_cast<QWidget*>(owner);
    if (!parent) parent = QApplication::activeWindow();
    QMessageBox box(QMessageBox::Critical, ToQString(caption), ToQString(text), QMessageBox::Ok, parent);
    box.exec();
}

}  // namespace levrano
