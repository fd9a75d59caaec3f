// Driving the dialogs as a person at the screen would: finding controls, pressing keys where the
// focus is, and acting inside a modal dialog's own loop without ever hanging.
#pragma once

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>
#include <span>

#include "common/cp1251.h"
#include "config/UfmConfig.h"

namespace levrano {

inline void PrintTo(const TTankEntry& e, std::ostream* os) {
    *os << "{id " << e.TankId << ", number " << e.Number << ", address " << e.Address << ", H" << e.HasH << " V"
        << e.HasV << " D" << e.HasD << " W" << e.HasW << " T" << e.HasT << "}";
}

}  // namespace levrano

namespace levrano::test {

// A control by its name. Without it nothing else in the test can run.
template <typename T = QWidget>
T* Control(const QWidget& root, const char* name) {
    T* control = root.findChild<T*>(QLatin1String(name));
    if (!control) {
        ADD_FAILURE() << "no control named " << name;
        std::abort();
    }
    return control;
}

// The key goes where the window's focus is, as it does on a keyboard.
inline void PressKey(QWidget& window, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* target = window.focusWidget() ? window.focusWidget() : &window;
    QTest::keyClick(target, key, modifiers);
}

inline void Click(QWidget* widget, QPoint at = QPoint()) { QTest::mouseClick(widget, Qt::LeftButton, {}, at); }

// On the indicator: a check box reacts only to clicks on its indicator and its text.
inline void Click(QCheckBox* box) { Click(box, QPoint(6, box->height() / 2)); }

// The result a dialog gets when a test leaves it open.
inline constexpr int kLeftOpen = -100;

// Runs `user` on the next modal dialog, from inside its modal loop. A dialog that the user
// leaves open is closed with kLeftOpen and the test fails, so nothing waits forever.
inline void OnNextModal(std::function<void(QDialog&)> user) {
    QTimer::singleShot(0, [user = std::move(user)] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            ADD_FAILURE() << "no modal dialog is open";
            return;
        }
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog));
        user(*dialog);
        if (dialog->isVisible()) {
            ADD_FAILURE() << "the dialog was left open";
            dialog->done(kLeftOpen);
        }
    });
}

// The object name of the focused control, or of the named control that contains it (an
// editable combo box focuses its inner line edit).
inline QString FocusedName(const QWidget& window) {
    for (QWidget* w = window.focusWidget(); w && w != &window; w = w->parentWidget())
        if (!w->objectName().isEmpty()) return w->objectName();
    return {};
}

// Fills the configuration dialog in the order its driver does, with a station's usual line.
inline void FillStation(TfmConfig& dialog, bool defaultTanks, std::span<const TTankEntry> tanks) {
    using Box = TfmConfig::TConnectionBox;
    dialog.SetCaption("Свойства"_cp);
    dialog.SetBoxText(Box::Port, "2");
    dialog.SetBoxText(Box::Mode, "9600E7");
    dialog.SetBoxText(Box::Timeout, "500");
    dialog.SetBoxText(Box::Delay, "1000");
    dialog.InsertConnectionPage();
    dialog.SetDefaultTanks(defaultTanks);
    for (const TTankEntry& entry : tanks) dialog.AddTank(entry);
    dialog.InsertSensorsPage();
}

}  // namespace levrano::test
