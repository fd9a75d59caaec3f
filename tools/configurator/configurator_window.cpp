#include "configurator/configurator_window.h"

#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace levrano::configurator {

namespace {

QLabel* PathLabel(const QString& path, QWidget* parent) {
    auto* label = new QLabel(path, parent);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

}  // namespace

TConfiguratorWindow::TConfiguratorWindow(const QString& database, const QString& configFile,
                                         std::function<bool()> configure)
    : configure_(std::move(configure)) {
    setWindowTitle(QStringLiteral("Конфигуратор Levrano"));
    auto* central = new QWidget(this);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("База данных станции:"), PathLabel(database, central));
    form->addRow(QStringLiteral("Файл настроек модуля:"), PathLabel(configFile, central));

    button_ = new QPushButton(QStringLiteral("Настроить уровнемеры…"), central);
    button_->setObjectName(QStringLiteral("btConfigure"));
    result_ = new QLabel(central);
    result_->setObjectName(QStringLiteral("lbResult"));

    auto* column = new QVBoxLayout(central);
    column->addLayout(form);
    column->addWidget(button_, 0, Qt::AlignLeft);
    column->addWidget(result_);
    column->addStretch();
    setCentralWidget(central);
    connect(button_, &QPushButton::clicked, this, &TConfiguratorWindow::Configure);
}

void TConfiguratorWindow::Configure() {
    button_->setEnabled(false);
    result_->clear();
    lastConfirmed_ = configure_();
    result_->setText(lastConfirmed_ ? QStringLiteral("Настройки сохранены.") : QStringLiteral("Настройки не изменены."));
    button_->setEnabled(true);
}

}  // namespace levrano::configurator
