// The configuration dialog "fmConfig": the serial line on the page "Связь" and the tank-to-probe
// table on the page "Датчики". It holds the boxes' texts and the tank entries in memory; loading
// and saving the file belong to whoever drives it. Texts in and out are Windows-1251.
#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "config/UfmTankEdit.h"

class QComboBox;
class QTabWidget;
class QTableView;

namespace levrano {

class TTankListModel;

class TfmConfig : public QDialog {
    Q_OBJECT

public:
    // The boxes of the page "Связь", each holding one attribute of "port".
    enum class TConnectionBox { Port, Mode, Timeout, Delay };

    explicit TfmConfig(QWidget* owner);

    void SetCaption(std::string_view caption);
    void SetBoxText(TConnectionBox box, std::string_view text);
    std::string BoxText(TConnectionBox box) const;

    // The pages exist only once inserted; "Связь" goes first, "Датчики" second.
    void InsertConnectionPage();
    void InsertSensorsPage();

    // "По умолчанию": every tank is served by its position in the list.
    void SetDefaultTanks(bool ticked);
    bool DefaultTanks() const;

    // Appends a row captioned with the tank's number; the dialog keeps its own copy.
    void AddTank(const TTankEntry& entry);
    // The entries in list order, with the user's edits.
    const std::vector<TTankEntry>& Tanks() const;

    // Runs on "ОК": true closes the dialog with mrOk, false keeps it open (the handler has told
    // the user why). The handler must not throw. Without one, "ОК" simply closes with mrOk.
    void SetOkHandler(std::function<bool()> handler);

    // mrOk, mrCancel, or mrClosed for the close box.
    int ShowModal();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;

private:
    QWidget* NewConnectionPage();
    QWidget* NewSensorsPage();
    void InsertPage(int index, QWidget* page, std::string_view title);
    void UpdateEditButton();
    void EditSelectedTank();
    int SelectedRow() const;

    QPushButton* ok_;
    QPushButton* cancel_;
    QTabWidget* pages_;
    QWidget* connectionPage_;
    QWidget* sensorsPage_;
    QLineEdit* port_ = nullptr;
    QComboBox* mode_ = nullptr;
    QLineEdit* timeout_ = nullptr;
    QLineEdit* delay_ = nullptr;
    QCheckBox* default_ = nullptr;
    QTableView* list_ = nullptr;
    QPushButton* edit_ = nullptr;
    TTankListModel* model_;
    std::function<bool()> okHandler_;
};

}  // namespace levrano
