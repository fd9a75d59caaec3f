#include "config/UfmTankEdit.h"

#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <limits>

#include "common/cp1251.h"
#include "platform/qt_text.h"
#include "xml/xmldoc.h"

namespace levrano {

namespace form {

namespace {
// A fully transparent icon, so that the window manager does not show the host's icon.
QIcon NoIcon() {
    QPixmap blank(16, 16);
    blank.fill(Qt::transparent);
    return QIcon(blank);
}
}  // namespace

void SetUp(QDialog* form, int clientWidth, int clientHeight) {
    form->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    form->setFixedSize(clientWidth, clientHeight);
    form->setWindowIcon(NoIcon());
    QFont font = form->font();
    font.setPixelSize(11);
    form->setFont(font);
    QScreen* screen = form->parentWidget() ? form->parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (screen) form->move(screen->availableGeometry().center() - QPoint(clientWidth / 2, clientHeight / 2));
}

QLabel* NewLabel(QWidget* parent, const QRect& geometry, std::string_view text) {
    auto* label = new QLabel(ToQString(text), parent);
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

QLineEdit* NewDigitsBox(QWidget* parent, const QRect& geometry) {
    auto* box = new QLineEdit(parent);
    box->setGeometry(geometry);
    box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    box->setMaxLength(std::numeric_limits<int>::max());
    box->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), box));
    return box;
}

QPushButton* NewButton(QWidget* parent, const QRect& geometry, std::string_view text) {
    auto* button = new QPushButton(ToQString(text), parent);
    button->setGeometry(geometry);
    return button;
}

QCheckBox* NewCheckBox(QWidget* parent, const QRect& geometry, std::string_view text) {
    auto* box = new QCheckBox(ToQString(text), parent);
    box->setGeometry(geometry);
    return box;
}

}  // namespace form

namespace {

// "Редактирование". Enter and Escape act on "ОК" and "Отмена" wherever the focus is: the form
// filters the key presses of all its controls before they see them.
class TfmTankEdit : public QDialog {
public:
    explicit TfmTankEdit(QWidget* owner) : QDialog(owner) {
        setObjectName(QStringLiteral("fmTankEdit"));
        form::SetUp(this, 265, 296);
        setWindowTitle(ToQString("Редактирование"_cp));
        form::NewLabel(this, {16, 16, 113, 22}, "Номер резервуара:"_cp);
        form::NewLabel(this, {16, 48, 113, 22}, "Адрес:"_cp);
        address_ = form::Named(form::NewDigitsBox(this, {136, 48, 120, 22}), "edAddress");
        number_ = form::Named(NewNumberBox(), "edNumber");
        ok_ = form::Named(form::NewButton(this, {96, 262, 75, 25}, "ОК"_cp), "btOk");
        cancel_ = form::Named(form::NewButton(this, {181, 262, 75, 25}, "Отмена"_cp), "btCancel");
        auto* group = new QGroupBox(ToQString("Измеряемые параметры"_cp), this);
        group->setGeometry(16, 88, 241, 161);
        level_ = form::Named(form::NewCheckBox(group, {8, 24, 180, 22}, "Уровень"_cp), "cbLevel");
        volume_ = form::Named(form::NewCheckBox(group, {8, 48, 180, 22}, "Объем"_cp), "cbVolume");
        temperature_ = form::Named(form::NewCheckBox(group, {8, 96, 180, 22}, "Температура"_cp), "cbTemperature");
        density_ = form::Named(form::NewCheckBox(group, {8, 72, 180, 22}, "Плотность"_cp), "cbDensity");
        water_ = form::Named(form::NewCheckBox(group, {8, 120, 180, 22}, "Вода"_cp), "cbWater");

        ok_->setDefault(true);
        connect(ok_, &QPushButton::clicked, this, [this] { done(mrOk); });
        connect(cancel_, &QPushButton::clicked, this, [this] { done(mrCancel); });
        for (QWidget* control : findChildren<QWidget*>()) control->installEventFilter(this);
        address_->setFocus();
    }

    // An entry without a probe opens empty, whatever its flags hold.
    void ShowEntry(const TTankEntry& entry) {
        number_->setText(QString::number(entry.Number));
        if (entry.Address <= 0) return;
        address_->setText(QString::number(entry.Address));
        level_->setChecked(entry.HasH);
        volume_->setChecked(entry.HasV);
        temperature_->setChecked(entry.HasT);
        density_->setChecked(entry.HasD);
        water_->setChecked(entry.HasW);
    }

    void StoreEntry(TTankEntry& entry) const {
        entry.Address = StrToInt32(FromQString(address_->text()));
        entry.HasH = level_->isChecked();
        entry.HasV = volume_->isChecked();
        entry.HasT = temperature_->isChecked();
        entry.HasD = density_->isChecked();
        entry.HasW = water_->isChecked();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && ClickForKey(static_cast<QKeyEvent*>(event)->key())) return true;
        return QDialog::eventFilter(watched, event);
    }

    void keyPressEvent(QKeyEvent* event) override {
        if (!ClickForKey(event->key())) QDialog::keyPressEvent(event);
    }

    // Reached only through the close box: the keys that would reject are taken above.
    void reject() override { done(mrClosed); }

private:
    // Read-only, on the form's face colour, reached by the mouse but not by Tab.
    QLineEdit* NewNumberBox() {
        auto* box = new QLineEdit(this);
        box->setGeometry(136, 16, 120, 22);
        box->setReadOnly(true);
        box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        box->setFocusPolicy(Qt::ClickFocus);
        QPalette palette = box->palette();
        palette.setColor(QPalette::Base, palette.color(QPalette::Window));
        box->setPalette(palette);
        return box;
    }

    bool ClickForKey(int key) {
        QPushButton* button = nullptr;
        if (key == Qt::Key_Return || key == Qt::Key_Enter) button = ok_;
        if (key == Qt::Key_Escape) button = cancel_;
        if (!button) return false;
        button->click();
        return true;
    }

    QLineEdit* address_;
    QLineEdit* number_;
    QPushButton* ok_;
    QPushButton* cancel_;
    QCheckBox* level_;
    QCheckBox* volume_;
    QCheckBox* temperature_;
    QCheckBox* density_;
    QCheckBox* water_;
};

}  // namespace

bool EditTank(TTankEntry& entry, QWidget* owner) {
    TfmTankEdit dialog(owner);
    dialog.ShowEntry(entry);
    if (dialog.exec() != mrOk) return false;
    dialog.StoreEntry(entry);
    return true;
}

}  // namespace levrano
