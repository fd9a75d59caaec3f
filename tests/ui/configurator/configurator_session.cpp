#include "configurator_session.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <fstream>
#include <iterator>

#include "common/cp1251.h"
#include "platform/qt_text.h"

namespace levrano::test {

namespace {

// Reads and closes every message box while it is active; polled, since a box may open inside
// any of the module's modal loops. A dialog that the test does not expect is closed as a failure.
class ModalWatch {
public:
    ModalWatch(std::vector<std::string>& texts, bool dialogExpected) : texts_(texts), dialogExpected_(dialogExpected) {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Look(); });
        timer_.start();
    }

private:
    void Look() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) return;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            texts_.push_back(FromQString(box->text()));
            Click(box->button(QMessageBox::Ok));
        } else if (auto* dialog = qobject_cast<QDialog*>(modal); dialog && !dialogExpected_) {
            ADD_FAILURE() << "a dialog opened: " << dialog->objectName().toStdString();
            dialog->done(kLeftOpen);
        }
    }

    std::vector<std::string>& texts_;
    const bool dialogExpected_;
    QTimer timer_;
};

}  // namespace

void RetypeInto(QLineEdit* box, const QString& text) {
    Click(box);
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, text);
}

std::vector<std::string> StationSetup(const std::vector<StationTank>& tanks) {
    std::vector<std::string> setup = {
        R"(create table "Tank" ("TankId" integer not null primary key, "Number" integer not null))"};
    for (const StationTank& tank : tanks)
        setup.push_back("insert into \"Tank\" values (" + std::to_string(tank.id) + ", " + std::to_string(tank.number) + ")");
    return setup;
}

std::string ConfigText(const std::vector<std::string_view>& lines) {
    std::string text = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n";
    for (std::string_view line : lines) text += cp1251::FromUtf8(line) + "\r\n";
    return text;
}

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool RunConfigure(IInterface* module, const std::function<void(QDialog&)>& user, std::vector<std::string>& messages) {
    const auto configurator = IntfPtr<IInterface>::Borrow(module).Query<IConfigModule>();
    if (!configurator) {
        ADD_FAILURE() << "the module object does not answer IConfigModule";
        return false;
    }
    if (user) OnNextModal(user);
    const ModalWatch watch(messages, static_cast<bool>(user));
    bool confirmed = true;  // so that a failure that leaves it unset shows
    configurator->Configure(0, &confirmed);
    return confirmed;
}

ConfiguratorSession::ConfiguratorSession(std::string_view file, const std::vector<StationTank>& tanks)
    : station(StationSetup(tanks)), app(station.Handle()), config(file) {
    module = library.LoadOrFail(config.Path(), host.AsInterface());
}

ConfiguratorSession::~ConfiguratorSession() { module.Reset(); }

bool ConfiguratorSession::Configure(const std::function<void(QDialog&)>& user) {
    return RunConfigure(module.get(), user, messages_);
}

std::string ConfiguratorSession::File() const { return FileBytes(config.Path()); }

// ---- The configuration dialog -------------------------------------------------------------------

void ConfigDialogUser::ShowPage(int index) {
    QTabBar* bar = Control<QTabWidget>(dialog_, "pcPages")->tabBar();
    Click(bar, bar->tabRect(index).center());
}

void ConfigDialogUser::Retype(const char* box, const QString& text) { RetypeInto(Control<QLineEdit>(dialog_, box), text); }

QString ConfigDialogUser::BoxText(const char* box) const { return Control<QLineEdit>(dialog_, box)->text(); }

void ConfigDialogUser::StepMode(Qt::Key arrow) {
    auto* mode = Control<QComboBox>(dialog_, "cbMode");
    Click(mode->lineEdit());
    QTest::keyClick(mode->lineEdit(), arrow);
}

QString ConfigDialogUser::ModeText() const { return Control<QComboBox>(dialog_, "cbMode")->currentText(); }

bool ConfigDialogUser::DefaultTicked() const { return Control<QCheckBox>(dialog_, "cbDefault")->isChecked(); }

void ConfigDialogUser::ClickDefault() { Click(Control<QCheckBox>(dialog_, "cbDefault")); }

QStringList ConfigDialogUser::Column(int column) const {
    const QAbstractItemModel* model = Control<QTableView>(dialog_, "lvTanks")->model();
    QStringList texts;
    for (int row = 0; row < model->rowCount(); ++row) texts << model->index(row, column).data().toString();
    return texts;
}

QColor ConfigDialogUser::Foreground(int row, int column) const {
    const QAbstractItemModel* model = Control<QTableView>(dialog_, "lvTanks")->model();
    return model->index(row, column).data(Qt::ForegroundRole).value<QColor>();
}

bool ConfigDialogUser::EditEnabled() const { return Control<QPushButton>(dialog_, "btEdit")->isEnabled(); }

QRect ConfigDialogUser::CellRect(int row, int column) const {
    const auto* list = Control<QTableView>(dialog_, "lvTanks");
    return list->visualRect(list->model()->index(row, column));
}

void ConfigDialogUser::ClickRow(int row) {
    QTest::mouseClick(Control<QTableView>(dialog_, "lvTanks")->viewport(), Qt::LeftButton, {}, CellRect(row, 0).center());
}

// Through the window, so that the list gets the whole sequence of a real double click.
void ConfigDialogUser::DoubleClickRow(int row) {
    QWidget* viewport = Control<QTableView>(dialog_, "lvTanks")->viewport();
    QTest::mouseDClick(dialog_.windowHandle(), Qt::LeftButton, {}, viewport->mapTo(&dialog_, CellRect(row, 0).center()));
}

bool ConfigDialogUser::OpensDialog(const std::function<void()>& action) {
    bool looked = false;
    bool opened = false;
    QTimer::singleShot(0, [&] {
        looked = true;
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == &dialog_) return;
        opened = true;
        modal->close();
    });
    action();
    EXPECT_TRUE(QTest::qWaitFor([&] { return looked; }));
    return opened;
}

void ConfigDialogUser::EditRow(int row, const std::function<void(QDialog&)>& user) {
    ClickRow(row);
    OnNextModal(user);
    Click(Control<QPushButton>(dialog_, "btEdit"));
}

void ConfigDialogUser::Ok() { ClickOk(dialog_); }

void ConfigDialogUser::Cancel() { Click(Control<QPushButton>(dialog_, "btCancel")); }

// ---- The tank editing dialog --------------------------------------------------------------------

void RetypeAddress(QDialog& edit, const QString& text) { RetypeInto(Control<QLineEdit>(edit, "edAddress"), text); }

namespace {
// The parameter boxes from top to bottom.
const char* const kParameterBoxes[] = {"cbLevel", "cbVolume", "cbDensity", "cbTemperature", "cbWater"};
}  // namespace

std::vector<bool> Parameters(QDialog& edit) {
    std::vector<bool> ticked;
    for (const char* name : kParameterBoxes) ticked.push_back(Control<QCheckBox>(edit, name)->isChecked());
    return ticked;
}

void SetParameters(QDialog& edit, const std::vector<bool>& ticked) {
    for (std::size_t i = 0; i < std::size(kParameterBoxes) && i < ticked.size(); ++i) {
        auto* box = Control<QCheckBox>(edit, kParameterBoxes[i]);
        if (box->isChecked() != ticked[i]) Click(box);
        EXPECT_EQ(box->isChecked(), ticked[i]) << kParameterBoxes[i];
    }
}

void ClickOk(QDialog& dialog) { Click(Control<QPushButton>(dialog, "btOk")); }

}  // namespace levrano::test
