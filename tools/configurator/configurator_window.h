// The configurator host's main window: what it configures, a button that opens the module's
// configuration dialog, and the result of the last configuration. Being the host's main window,
// it owns the module's dialog.
#pragma once

#include <QMainWindow>
#include <functional>

class QLabel;
class QPushButton;

namespace levrano::configurator {

class TConfiguratorWindow : public QMainWindow {
    Q_OBJECT

public:
    // `configure` runs one configuration and tells whether the user confirmed it.
    TConfiguratorWindow(const QString& database, const QString& configFile, std::function<bool()> configure);

    // The last configuration's result; false before the first.
    bool LastConfirmed() const { return lastConfirmed_; }

public slots:
    void Configure();

private:
    std::function<bool()> configure_;
    QPushButton* button_;
    QLabel* result_;
    bool lastConfirmed_ = false;
};

}  // namespace levrano::configurator
