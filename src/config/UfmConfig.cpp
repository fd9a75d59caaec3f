#include "config/UfmConfig.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableView>

#include "common/cp1251.h"
#include "platform/qt_text.h"

namespace levrano {

// The rows of the tank list: the entries themselves, and what each cell shows.
class TTankListModel final : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void Add(const TTankEntry& entry) {
        const int row = static_cast<int>(entries_.size());
        beginInsertRows(QModelIndex(), row, row);
        entries_.push_back(entry);
        endInsertRows();
    }

    const std::vector<TTankEntry>& Entries() const { return entries_; }

    void SetEntry(int row, const TTankEntry& entry) {
        entries_[row] = entry;
        emit dataChanged(index(row, 0), index(row, 1));
    }

    // While tanks are served by position, the address column shows the position instead.
    void ShowPositions(bool positions) {
        positions_ = positions;
        if (!entries_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, 1));
    }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : static_cast<int>(entries_.size());
    }

    int columnCount(const QModelIndex& parent = QModelIndex()) const override { return parent.isValid() ? 0 : 2; }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid()) return {};
        if (role == Qt::DisplayRole) return index.column() == 0 ? CaptionText(index.row()) : AddressText(index.row());
        if (role == Qt::ForegroundRole && positions_) return QColor(192, 192, 192);
        return {};
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal) return {};
        if (role == Qt::DisplayRole) return ToQString(section == 0 ? "Резервуар"_cp : "Адрес"_cp);
        return {};
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

private:
    QString CaptionText(int row) const { return QString::number(entries_[row].Number); }

    QString AddressText(int row) const {
        if (positions_) return QString::number(row + 1);
        const std::int32_t address = entries_[row].Address;
        return address < 1 ? ToQString("<нет>"_cp) : QString::number(address);
    }

    std::vector<TTankEntry> entries_;
    bool positions_ = false;
};

namespace {

// Draws one cell: highlight colours on the selected row (also while the list has no focus), the
// model's grey or the list's text colour elsewhere, text 5 pixels in, one line, centred
// vertically, shortened with an ellipsis.
class TTankRowDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const bool selected = option.state & QStyle::State_Selected;
        const QPalette& palette = option.palette;
        QColor text = palette.color(QPalette::Active, selected ? QPalette::HighlightedText : QPalette::Text);
        const QVariant foreground = index.data(Qt::ForegroundRole);
        if (!selected && foreground.isValid()) text = foreground.value<QColor>();

        painter->save();
        painter->fillRect(option.rect, palette.color(QPalette::Active, selected ? QPalette::Highlight : QPalette::Base));
        painter->setPen(text);
        painter->setFont(option.font);
        const QRect cell = option.rect.adjusted(5, 0, 0, 0);
        const QString shown = option.fontMetrics.elidedText(index.data().toString(), Qt::ElideRight, cell.width());
        painter->drawText(cell, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
        painter->restore();
    }
};

QTableView* NewTankList(QWidget* parent, TTankListModel* model) {
    auto* list = new QTableView(parent);
    list->setGeometry(8, 32, 193, 161);
    list->setModel(model);
    list->setItemDelegate(new TTankRowDelegate(list));
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setTabKeyNavigation(false);  // Tab leaves the list, as it does every other control
    list->setShowGrid(true);
    list->setWordWrap(false);
    list->verticalHeader()->hide();
    list->verticalHeader()->setMinimumSectionSize(1);
    list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 4);
    QHeaderView* header = list->horizontalHeader();
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->resizeSection(0, 100);
    header->resizeSection(1, 60);
    return list;
}

// A tab sheet with its borderless panel at 0, 0; hidden until the page is inserted.
QWidget* NewPanel(QWidget* page, const char* name, int width, int height) {
    page->hide();
    auto* panel = form::Named(new QWidget(page), name);
    panel->setGeometry(0, 0, width, height);
    return panel;
}

}  // namespace

TfmConfig::TfmConfig(QWidget* owner) : QDialog(owner), model_(new TTankListModel(this)) {
    setObjectName(QStringLiteral("fmConfig"));
    form::SetUp(this, 264, 324);
    setWindowTitle(QStringLiteral("fmConfig"));
    ok_ = form::Named(form::NewButton(this, {96, 288, 75, 25}, "ОК"_cp), "btOk");
    cancel_ = form::Named(form::NewButton(this, {184, 288, 75, 25}, "Отмена"_cp), "btCancel");
    pages_ = form::Named(new QTabWidget(this), "pcPages");
    pages_->setGeometry(8, 8, 249, 265);
    connectionPage_ = NewConnectionPage();
    sensorsPage_ = NewSensorsPage();

    // No default button: Enter only presses a button that has the focus (see keyPressEvent).
    for (QPushButton* button : {ok_, cancel_, edit_}) button->setAutoDefault(false);
    connect(ok_, &QPushButton::clicked, this, [this] {
        if (!okHandler_ || okHandler_()) done(mrOk);
    });
    connect(cancel_, &QPushButton::clicked, this, [this] { done(mrCancel); });
    connect(edit_, &QPushButton::clicked, this, &TfmConfig::EditSelectedTank);
    connect(list_, &QAbstractItemView::doubleClicked, this, &TfmConfig::EditSelectedTank);
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this, &TfmConfig::UpdateEditButton);
    connect(default_, &QCheckBox::toggled, this, [this](bool ticked) {
        model_->ShowPositions(ticked);
        UpdateEditButton();
    });
    UpdateEditButton();
}

QWidget* TfmConfig::NewConnectionPage() {
    auto* page = new QWidget(this);
    QWidget* panel = NewPanel(page, "pnConnection", 217, 225);
    form::NewLabel(panel, {8, 24, 97, 22}, "Com порт:"_cp);
    form::NewLabel(panel, {8, 88, 97, 22}, "Таймаут, мс:"_cp);
    form::NewLabel(panel, {8, 120, 97, 22}, "Цикл опроса, мс:"_cp);
    form::NewLabel(panel, {8, 56, 97, 22}, "Формат:"_cp);
    port_ = form::Named(form::NewDigitsBox(panel, {112, 24, 100, 22}), "edPort");
    mode_ = form::Named(new QComboBox(panel), "cbMode");
    mode_->setGeometry(112, 56, 100, 22);
    mode_->setEditable(true);
    mode_->setInsertPolicy(QComboBox::NoInsert);
    mode_->setCompleter(nullptr);  // the text is kept exactly as typed
    mode_->addItems({QStringLiteral("9600N8"), QStringLiteral("9600E7"), QStringLiteral("9600O7")});
    mode_->setCurrentIndex(0);
    timeout_ = form::Named(form::NewDigitsBox(panel, {112, 88, 100, 22}), "edTimeout");
    delay_ = form::Named(form::NewDigitsBox(panel, {112, 120, 100, 22}), "edDelay");
    return page;
}

QWidget* TfmConfig::NewSensorsPage() {
    auto* page = new QWidget(this);
    QWidget* panel = NewPanel(page, "pnSensors", 225, 241);
    default_ = form::Named(form::NewCheckBox(panel, {8, 8, 201, 22}, "По умолчанию"_cp), "cbDefault");
    list_ = form::Named(NewTankList(panel, model_), "lvTanks");
    edit_ = form::Named(form::NewButton(panel, {8, 200, 75, 25}, "Изменить"_cp), "btEdit");
    return page;
}

void TfmConfig::SetCaption(std::string_view caption) { setWindowTitle(ToQString(caption)); }

void TfmConfig::SetBoxText(TConnectionBox box, std::string_view text) {
    const QString shown = ToQString(text);
    switch (box) {
        case TConnectionBox::Port: port_->setText(shown); break;
        case TConnectionBox::Mode: mode_->setEditText(shown); break;
        case TConnectionBox::Timeout: timeout_->setText(shown); break;
        case TConnectionBox::Delay: delay_->setText(shown); break;
    }
}

std::string TfmConfig::BoxText(TConnectionBox box) const {
    switch (box) {
        case TConnectionBox::Port: return FromQString(port_->text());
        case TConnectionBox::Mode: return FromQString(mode_->currentText());
        case TConnectionBox::Timeout: return FromQString(timeout_->text());
        case TConnectionBox::Delay: return FromQString(delay_->text());
    }
    return {};
}

void TfmConfig::InsertConnectionPage() { InsertPage(0, connectionPage_, "Связь"_cp); }

void TfmConfig::InsertSensorsPage() { InsertPage(1, sensorsPage_, "Датчики"_cp); }

void TfmConfig::InsertPage(int index, QWidget* page, std::string_view title) {
    if (pages_->indexOf(page) < 0) pages_->insertTab(index, page, ToQString(title));
}

void TfmConfig::SetDefaultTanks(bool ticked) { default_->setChecked(ticked); }

bool TfmConfig::DefaultTanks() const { return default_->isChecked(); }

void TfmConfig::AddTank(const TTankEntry& entry) {
    model_->Add(entry);
    UpdateEditButton();
}

const std::vector<TTankEntry>& TfmConfig::Tanks() const { return model_->Entries(); }

void TfmConfig::SetOkHandler(std::function<bool()> handler) { okHandler_ = std::move(handler); }

int TfmConfig::ShowModal() { return exec(); }

void TfmConfig::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (auto* button = qobject_cast<QPushButton*>(focusWidget())) button->click();
            return;
        case Qt::Key_Escape:
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

// Reached only through the close box: Escape never gets this far.
void TfmConfig::reject() { done(mrClosed); }

void TfmConfig::UpdateEditButton() { edit_->setEnabled(SelectedRow() >= 0 && !default_->isChecked()); }

int TfmConfig::SelectedRow() const {
    const QModelIndexList rows = list_->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

// Edits a copy, so that the model redraws the row when the user confirms.
void TfmConfig::EditSelectedTank() {
    const int row = SelectedRow();
    if (!edit_->isEnabled() || row < 0) return;
    TTankEntry entry = Tanks()[row];
    if (EditTank(entry, this)) model_->SetEntry(row, entry);
}

}  // namespace levrano
