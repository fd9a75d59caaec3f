#include "platform/host_window.h"

#include <QApplication>
#include <QThread>
#include <QWidget>
#include <QWindow>

namespace levrano {

namespace {

bool IsMainWindowOfThisThread(const QWindow* window) {
    return window->type() == Qt::Window && window->thread() == QThread::currentThread();
}

QWidget* WidgetOf(const QWindow* window, const QWidgetList& widgets) {
    for (QWidget* widget : widgets)
        if (widget->windowHandle() == window) return widget;
    return nullptr;
}

}  // namespace

void* HostWindow() {
    const auto* application = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!application || application->thread() != QThread::currentThread()) return nullptr;
    // topLevelWindows keeps creation order, topLevelWidgets does not; dialogs need the widget.
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (const QWindow* window : QGuiApplication::topLevelWindows()) {
        if (!IsMainWindowOfThisThread(window)) continue;
        if (QWidget* widget = WidgetOf(window, widgets)) return widget;
    }
    return nullptr;
}

}  // namespace levrano
