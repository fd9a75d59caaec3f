// The tank editing dialog "Редактирование": one tank's probe address and measured parameters,
// edited in memory. Also the few form-building helpers that both configurator dialogs share.
#pragma once

#include <QObject>
#include <QRect>
#include <cstdint>
#include <string_view>

class QCheckBox;
class QDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace levrano {

// One row of the configuration dialog's tank list.
struct TTankEntry {
    std::int32_t TankId = 0;   // column "TankId"
    std::int32_t Number = 0;   // column "Number", the row's caption
    std::int32_t Address = 0;  // probe address; 0 or less: no probe
    bool HasH = true;          // level
    bool HasV = true;          // volume
    bool HasD = true;          // density
    bool HasW = true;          // water
    bool HasT = true;          // temperature

    friend bool operator==(const TTankEntry&, const TTankEntry&) = default;
};

// Results of the module's modal dialogs.
inline constexpr int mrOk = 1;
inline constexpr int mrCancel = 2;
inline constexpr int mrClosed = -1;  // the window's close box

// Shows the dialog modally over `owner`. True when the user confirmed with "ОК"; only then is
// `entry` updated.
bool EditTank(TTankEntry& entry, QWidget* owner);

// Form building shared by the module's dialogs. Texts are Windows-1251; geometry is relative to
// the parent's client area.
namespace form {

// Fixed client size, dialog frame without minimise and maximise buttons, no icon, the
// 11-pixel font, centred on the screen.
void SetUp(QDialog* form, int clientWidth, int clientHeight);
QLabel* NewLabel(QWidget* parent, const QRect& geometry, std::string_view text);
// One-line edit that takes digits only, right-aligned, without a length limit.
QLineEdit* NewDigitsBox(QWidget* parent, const QRect& geometry);
QPushButton* NewButton(QWidget* parent, const QRect& geometry, std::string_view text);
QCheckBox* NewCheckBox(QWidget* parent, const QRect& geometry, std::string_view text);

// Gives a control the name by which the dialog's users find it.
template <typename T>
T* Named(T* control, const char* name) {
    control->setObjectName(QLatin1String(name));
    return control;
}

}  // namespace form

}  // namespace levrano
