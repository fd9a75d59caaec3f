// The owner of the module's dialogs: the first plain main window of the calling thread.
#include <gtest/gtest.h>

#include <QDialog>
#include <QMainWindow>
#include <QWidget>
#include <memory>
#include <thread>

#include "platform/host_window.h"

namespace levrano {
namespace {

std::unique_ptr<QWidget> Shown(std::unique_ptr<QWidget> widget) {
    widget->show();
    return widget;
}

std::unique_ptr<QWidget> WindowOfType(Qt::WindowType type) {
    auto widget = std::make_unique<QWidget>(nullptr, type);
    widget->resize(50, 50);
    return Shown(std::move(widget));
}

TEST(HostWindow, NoneWhileTheHostHasNoMainWindow) {
    EXPECT_EQ(nullptr, HostWindow());
    const auto dialog = Shown(std::make_unique<QDialog>());
    const auto tool = WindowOfType(Qt::Tool);
    const auto popup = WindowOfType(Qt::Popup);
    const auto splash = WindowOfType(Qt::SplashScreen);
    EXPECT_EQ(nullptr, HostWindow());
}

TEST(HostWindow, FirstMainWindowIsTakenWhateverCameBefore) {
    const auto dialog = Shown(std::make_unique<QDialog>());
    const auto tool = WindowOfType(Qt::Tool);
    const auto first = Shown(std::make_unique<QMainWindow>());
    const auto second = Shown(std::make_unique<QMainWindow>());
    EXPECT_EQ(first.get(), HostWindow());
}

TEST(HostWindow, MainWindowGoneLeavesTheNextOne) {
    auto first = Shown(std::make_unique<QMainWindow>());
    const auto second = WindowOfType(Qt::Window);
    first.reset();
    EXPECT_EQ(second.get(), HostWindow());
}

TEST(HostWindow, NoneOnAThreadThatOwnsNoWindows) {
    const auto main = Shown(std::make_unique<QMainWindow>());
    ASSERT_EQ(main.get(), HostWindow());
    void* found = main.get();
    std::thread([&found] { found = HostWindow(); }).join();
    EXPECT_EQ(nullptr, found);
}

}  // namespace
}  // namespace levrano
