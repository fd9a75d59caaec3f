// A configurator host at work: the module loaded through dlopen by the test host's configurator
// application, a real station database whose attachment the host's database object hands out, a
// configuration file, and a person at the module's dialogs.
//
//     ConfiguratorSession s(kFile, {{12, 1}, {15, 2}});
//     const bool confirmed = s.Configure([](QDialog& d) {
//         ConfigDialogUser user(d);
//         user.ShowPage(1);
//         user.Ok();
//     });
//
// Every message box that appears during Configure is read and closed as a user would close it;
// its text is kept in Messages().
#pragma once

#include <QColor>
#include <QDialog>
#include <QLineEdit>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "support/firebird_fixture.h"
#include "support/test_host.h"
#include "ui/dialogs/dialog_user.h"

namespace levrano::test {

struct StationTank {
    std::int32_t id;
    std::int32_t number;
};

// The statements that make the station's table "Tank" holding these tanks.
std::vector<std::string> StationSetup(const std::vector<StationTank>& tanks);

// The bytes of a configuration file: the declaration, then the lines given, each ended by CR LF.
// Lines are UTF-8 and become Windows-1251.
std::string ConfigText(const std::vector<std::string_view>& lines);

// The whole content of a file; empty when there is none.
std::string FileBytes(const std::string& path);

// Calls Configure on the module object through IConfigModule, as a host does. While it runs,
// `user` acts on the first modal dialog (none: the test expects no dialog) and message boxes are
// closed, their texts (Windows-1251) appended to `messages`. Returns the confirmed result.
bool RunConfigure(IInterface* module, const std::function<void(QDialog&)>& user, std::vector<std::string>& messages);

class ConfiguratorSession {
public:
    ConfiguratorSession(std::string_view file, const std::vector<StationTank>& tanks);
    ~ConfiguratorSession();

    bool Configure(const std::function<void(QDialog&)>& user = {});

    std::string File() const;  // the configuration file's bytes now
    const std::vector<std::string>& Messages() const { return messages_; }

    LoadedModule library;  // first, so that the module's code outlives every object below
    FirebirdDatabase station;
    TestConfigApplication app;
    TestHost host{nullptr, &app};
    TempConfigFile config;
    IntfPtr<IInterface> module;

private:
    std::vector<std::string> messages_;
};

// The configuration dialog, found by the names of its controls and driven with mouse and keys.
class ConfigDialogUser {
public:
    explicit ConfigDialogUser(QDialog& dialog) : dialog_(dialog) {}

    QString Caption() const { return dialog_.windowTitle(); }
    void ShowPage(int index);
    // Clicks into the box, selects what it holds and types `text` over it (empty: deletes it).
    void Retype(const char* box, const QString& text);
    QString BoxText(const char* box) const;
    // The format box's list, moved by the arrow keys.
    void StepMode(Qt::Key arrow);
    QString ModeText() const;

    bool DefaultTicked() const;
    void ClickDefault();
    QStringList Column(int column) const;
    QColor Foreground(int row, int column) const;  // invalid: the list's own text colour
    bool EditEnabled() const;
    void ClickRow(int row);
    void DoubleClickRow(int row);
    // Whether `action` opens another modal dialog; one that opens is closed at once.
    bool OpensDialog(const std::function<void()>& action);
    // Selects the row, then "Изменить"; `user` acts on the editing dialog.
    void EditRow(int row, const std::function<void(QDialog&)>& user);

    void Ok();
    void Cancel();

private:
    QRect CellRect(int row, int column) const;

    QDialog& dialog_;
};

// Clicks into the box, selects what it holds, deletes it and types `text`.
void RetypeInto(QLineEdit* box, const QString& text);

// The tank editing dialog.
void RetypeAddress(QDialog& edit, const QString& text);
// The parameter boxes as on screen, top to bottom: level, volume, density, temperature, water.
std::vector<bool> Parameters(QDialog& edit);
// Sets each parameter box, in the same order, by clicking it when it differs.
void SetParameters(QDialog& edit, const std::vector<bool>& ticked);
void ClickOk(QDialog& dialog);

}  // namespace levrano::test
