// The configuration dialog, driven with the mouse and the keyboard as its driver fills it.
#include <QComboBox>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <functional>
#include <string>
#include <vector>

#include "common/cp1251.h"
#include "config/UfmConfig.h"
#include "dialog_user.h"
#include "platform/qt_text.h"

namespace levrano {
namespace {

using Box = TfmConfig::TConnectionBox;
using test::Click;
using test::Control;
using test::OnNextModal;
using test::PressKey;

// Sorted by number, as the station's query returns them.
const TTankEntry kTanks[] = {
    {12, 1, 3, true, true, true, true, true},
    {15, 2, 0, true, true, true, true, true},
    {17, 3, -4, true, true, true, true, true},
    {20, 4, 7, true, false, true, false, true},
    {31, 123456789, 2147483647, true, true, true, true, true},
};
constexpr int kLastRow = 4;

void Fill(TfmConfig& dialog, bool defaultTanks) { test::FillStation(dialog, defaultTanks, kTanks); }

QString Text(std::string_view cp) { return ToQString(cp); }

// Whether any modal dialog opens during `action`; one that does is closed at once.
bool ModalOpensDuring(const std::function<void()>& action) {
    bool fired = false;
    bool opened = false;
    QTimer::singleShot(0, [&] {
        fired = true;
        if (QWidget* modal = QApplication::activeModalWidget()) {
            opened = true;
            modal->close();
        }
    });
    action();
    EXPECT_TRUE(QTest::qWaitFor([&] { return fired; }));
    return opened;
}

class ConfigDialog : public ::testing::Test {
protected:
    void SetUp() override {
        Fill(dialog, false);
        dialog.SetOkHandler([this] {
            ++okCalls;
            return true;
        });
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    }

    QTableView* List() { return Control<QTableView>(dialog, "lvTanks"); }
    QPushButton* EditButton() { return Control<QPushButton>(dialog, "btEdit"); }
    QCheckBox* DefaultBox() { return Control<QCheckBox>(dialog, "cbDefault"); }

    void ShowPage(int index) {
        QTabBar* bar = Control<QTabWidget>(dialog, "pcPages")->tabBar();
        Click(bar, bar->tabRect(index).center());
    }

    QRect CellRect(int row, int column) { return List()->visualRect(List()->model()->index(row, column)); }
    QString Cell(int row, int column) { return List()->model()->index(row, column).data().toString(); }

    QStringList Column(int column) {
        QStringList texts;
        for (int row = 0; row < List()->model()->rowCount(); ++row) texts << Cell(row, column);
        return texts;
    }

    void ClickRow(int row, Qt::KeyboardModifiers modifiers = {}) {
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, modifiers, CellRect(row, 0).center());
    }

    // Through the window, so that the list gets press, release, press, double click, release
    // as from a real mouse.
    void DoubleClickRow(int row) {
        QWidget* viewport = List()->viewport();
        const QPoint at = viewport->mapTo(&dialog, CellRect(row, 0).center());
        QTest::mouseDClick(dialog.windowHandle(), Qt::LeftButton, {}, at);
    }

    TfmConfig dialog{nullptr};
    int okCalls = 0;
};

TEST_F(ConfigDialog, EditButtonIsEnabledExactlyWithASelectedRowAndTheBoxCleared) {
    ShowPage(1);
    struct Step {
        const char* name;
        std::function<void()> act;
        bool enabled;
    };
    const std::vector<Step> steps = {
        {"filled, nothing selected", [] {}, false},
        {"row 1 clicked", [this] { ClickRow(1); }, true},
        {"default ticked", [this] { Click(DefaultBox()); }, false},
        {"another row clicked while ticked", [this] { ClickRow(2); }, false},
        {"default cleared", [this] { Click(DefaultBox()); }, true},
        {"selected row deselected", [this] { ClickRow(2, Qt::ControlModifier); }, false},
        {"row 0 clicked", [this] { ClickRow(0); }, true},
        {"ticked by the driver", [this] { dialog.SetDefaultTanks(true); }, false},
    };
    for (const Step& step : steps) {
        step.act();
        EXPECT_EQ(EditButton()->isEnabled(), step.enabled) << step.name;
    }
}

TEST_F(ConfigDialog, AddressColumnShowsPositionsInGreyWhileTicked) {
    ShowPage(1);
    const QString none = Text("<нет>"_cp);
    const QStringList fromFile = {"3", none, none, "7", "2147483647"};
    EXPECT_EQ(Column(0), QStringList({"1", "2", "3", "4", "123456789"}));
    EXPECT_EQ(Column(1), fromFile);
    EXPECT_FALSE(List()->model()->index(0, 1).data(Qt::ForegroundRole).isValid());

    Click(DefaultBox());
    EXPECT_EQ(Column(1), QStringList({"1", "2", "3", "4", "5"}));
    EXPECT_EQ(Column(0), QStringList({"1", "2", "3", "4", "123456789"}));
    for (int column : {0, 1})
        EXPECT_EQ(List()->model()->index(3, column).data(Qt::ForegroundRole).value<QColor>(), QColor(192, 192, 192));

    Click(DefaultBox());
    EXPECT_EQ(Column(1), fromFile);
}

// What the delegate really paints, read back from the list's pixels.
class Ink {
public:
    Ink(const QImage& image, const QRect& cell) : cell_(cell), background_(image.pixelColor(cell.topLeft() + QPoint(1, 1))) {
        for (int y = cell.top(); y <= cell.bottom(); ++y)
            for (int x = cell.left(); x <= cell.right(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c == background_) continue;
                box_ |= QRect(x, y, 1, 1);
                darkest_ = std::min(darkest_, qGray(c.rgb()));
            }
        for (int y = box_.top(); y <= box_.bottom(); ++y)
            for (int x = box_.right() - 2; x <= box_.right(); ++x)
                if (image.pixelColor(x, y) != background_) tail_ |= QRect(x, y, 1, 1);
    }
    QColor Background() const { return background_; }
    bool Any() const { return !box_.isNull(); }
    int Darkest() const { return darkest_; }
    int Indent() const { return box_.left() - cell_.left(); }
    int OffCentre() const { return (box_.top() + box_.bottom()) - (cell_.top() + cell_.bottom()); }  // in half pixels
    // Height of the last three columns of ink: an ellipsis ends in dots on the base line.
    int TailHeight() const { return tail_.height(); }

private:
    QRect cell_;
    QColor background_;
    QRect box_;
    QRect tail_;
    int darkest_ = 255;
};

TEST_F(ConfigDialog, RowsAreDrawnWithHighlightGreyIndentAndEllipsis) {
    ShowPage(1);
    ClickRow(0);
    DefaultBox()->setFocus();  // the selection must stay visible without the focus
    const QPalette palette = List()->palette();

    QImage image = List()->viewport()->grab().toImage();
    const Ink selected(image, CellRect(0, 1));
    EXPECT_EQ(selected.Background(), palette.color(QPalette::Active, QPalette::Highlight));
    EXPECT_TRUE(selected.Any());
    const Ink plain(image, CellRect(3, 1));
    EXPECT_EQ(plain.Background(), palette.color(QPalette::Active, QPalette::Base));
    EXPECT_LT(plain.Darkest(), 100);
    EXPECT_GE(plain.Indent(), 5);
    EXPECT_LE(plain.Indent(), 7);
    EXPECT_LE(std::abs(plain.OffCentre()), 3);

    // The longest address does not fit its 60 pixels: it ends in an ellipsis, not in a cut digit.
    const Ink longest(image, CellRect(kLastRow, 1));
    EXPECT_GE(longest.TailHeight(), 1);
    EXPECT_LE(longest.TailHeight(), 2);
    EXPECT_GE(Ink(image, CellRect(3, 1)).TailHeight(), 5);

    Click(DefaultBox());
    image = List()->viewport()->grab().toImage();
    const Ink grey(image, CellRect(3, 1));
    EXPECT_TRUE(grey.Any());
    EXPECT_GE(grey.Darkest(), 185);
    EXPECT_EQ(Ink(image, CellRect(0, 0)).Background(), palette.color(QPalette::Active, QPalette::Highlight));
}

TEST_F(ConfigDialog, DoubleClickEditsTheRowOnlyWhileEditIsEnabled) {
    ShowPage(1);
    Click(DefaultBox());
    EXPECT_FALSE(ModalOpensDuring([this] { DoubleClickRow(1); }));
    EXPECT_FALSE(ModalOpensDuring([this] { Click(EditButton()); }));

    Click(DefaultBox());
    QString numberShown = QStringLiteral("?");
    OnNextModal([&](QDialog& edit) {
        numberShown = Control<QLineEdit>(edit, "edNumber")->text();
        QTest::keyClicks(Control<QLineEdit>(edit, "edAddress"), QStringLiteral("9"));
        PressKey(edit, Qt::Key_Return);
    });
    DoubleClickRow(1);
    EXPECT_EQ(numberShown, QStringLiteral("2"));
    EXPECT_EQ(Cell(1, 1), QStringLiteral("9"));
    EXPECT_EQ(dialog.Tanks()[1], (TTankEntry{15, 2, 9, false, false, false, false, false}));
}

TEST_F(ConfigDialog, EditingThenCancelLeavesTheRow) {
    ShowPage(1);
    ClickRow(3);
    OnNextModal([](QDialog& edit) {
        QLineEdit* address = Control<QLineEdit>(edit, "edAddress");
        EXPECT_EQ(address->text(), QStringLiteral("7"));
        QTest::keyClicks(address, QStringLiteral("5"));
        Click(Control<QPushButton>(edit, "btCancel"));
    });
    Click(EditButton());
    EXPECT_EQ(Cell(3, 1), QStringLiteral("7"));
    EXPECT_EQ(dialog.Tanks()[3], kTanks[3]);
}

TEST_F(ConfigDialog, EnterAndEscapeDoNotCloseIt) {
    struct Target {
        const char* control;
        int page;
    };
    const Target targets[] = {{"edPort", 0}, {"cbMode", 0}, {"edDelay", 0}, {"cbDefault", 1}, {"lvTanks", 1}};
    for (const Target& target : targets) {
        ShowPage(target.page);
        Control(dialog, target.control)->setFocus();
        ASSERT_EQ(test::FocusedName(dialog), QLatin1String(target.control));
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            PressKey(dialog, key);
            EXPECT_TRUE(dialog.isVisible()) << target.control << " key " << key;
        }
    }
    EXPECT_EQ(okCalls, 0);
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) EXPECT_FALSE(button->isDefault());
}

TEST_F(ConfigDialog, EnterPressesOnlyAFocusedButton) {
    Control<QPushButton>(dialog, "btOk")->setFocus();
    PressKey(dialog, Qt::Key_Return);
    EXPECT_EQ(okCalls, 1);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), mrOk);
}

TEST(ConfigDialogModal, ResultTellsHowTheUserLeft) {
    struct Case {
        const char* name;
        bool handlerAgrees;
        std::function<void(QDialog&)> user;
        int result;
        int okCalls;
    };
    const auto click = [](const char* name) {
        return [name](QDialog& d) { Click(Control<QPushButton>(d, name)); };
    };
    const std::vector<Case> cases = {
        {"OK, saved", true, click("btOk"), mrOk, 1},
        {"OK, save failed: stays open until Cancel", false,
         [](QDialog& d) {
             Click(Control<QPushButton>(d, "btOk"));
             EXPECT_TRUE(d.isVisible());
             Click(Control<QPushButton>(d, "btCancel"));
         },
         mrCancel, 1},
        {"Cancel", true, click("btCancel"), mrCancel, 0},
        {"close box", true, [](QDialog& d) { d.close(); }, mrClosed, 0},
    };
    for (const Case& c : cases) {
        TfmConfig dialog(nullptr);
        Fill(dialog, true);
        int calls = 0;
        dialog.SetOkHandler([&] {
            ++calls;
            return c.handlerAgrees;
        });
        OnNextModal(c.user);
        EXPECT_EQ(dialog.ShowModal(), c.result) << c.name;
        EXPECT_EQ(calls, c.okCalls) << c.name;
    }
}

TEST(ConfigDialogTexts, BoxesAndCaptionTakeAndGiveWindows1251) {
    TfmConfig dialog(nullptr);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("fmConfig"));
    EXPECT_EQ(dialog.BoxText(Box::Mode), "9600N8");
    dialog.SetCaption("Уровнемеры №2"_cp);
    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("Уровнемеры №2"));

    // Texts from the file are shown as read, also those that the user could not type.
    const std::pair<Box, std::string_view> shown[] = {
        {Box::Port, "COM3"}, {Box::Mode, "Режим 7"_cp}, {Box::Timeout, ""}, {Box::Delay, "1000"}};
    for (const auto& [box, text] : shown) dialog.SetBoxText(box, text);
    for (const auto& [box, text] : shown) EXPECT_EQ(dialog.BoxText(box), std::string(text));

    dialog.InsertConnectionPage();
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QLineEdit* timeout = Control<QLineEdit>(dialog, "edTimeout");
    QTest::keyClicks(timeout, QStringLiteral("4x0-0"));
    EXPECT_EQ(dialog.BoxText(Box::Timeout), "400");

    auto* mode = Control<QComboBox>(dialog, "cbMode");
    QStringList items;
    for (int i = 0; i < mode->count(); ++i) items << mode->itemText(i);
    EXPECT_EQ(items, QStringList({"9600N8", "9600E7", "9600O7"}));
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    mode->setFocus();
    mode->lineEdit()->clear();
    QTest::keyClicks(mode->lineEdit(), QStringLiteral("96"));
    EXPECT_EQ(dialog.BoxText(Box::Mode), "96");  // as typed, not completed to an item
    PressKey(dialog, Qt::Key_Return);
    EXPECT_EQ(mode->count(), 3);  // nor added to the list
    EXPECT_EQ(dialog.BoxText(Box::Mode), "96");
}

TEST(ConfigDialogPages, PagesAppearWhenInsertedAndTabFollowsTheBuildOrder) {
    TfmConfig dialog(nullptr);
    auto* pages = Control<QTabWidget>(dialog, "pcPages");
    EXPECT_EQ(pages->count(), 0);
    dialog.InsertConnectionPage();
    dialog.InsertSensorsPage();
    dialog.InsertSensorsPage();
    ASSERT_EQ(pages->count(), 2);
    EXPECT_EQ(pages->tabText(0), Text("Связь"_cp));
    EXPECT_EQ(pages->tabText(1), Text("Датчики"_cp));

    dialog.AddTank(kTanks[0]);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    const auto walk = [&] {
        Control(dialog, "btOk")->setFocus();
        QStringList visited{test::FocusedName(dialog)};
        for (int i = 0; i < 7; ++i) {
            PressKey(dialog, Qt::Key_Tab);
            visited << test::FocusedName(dialog);
        }
        return visited.join(QLatin1Char(' '));
    };
    EXPECT_EQ(walk(), QStringLiteral("btOk btCancel qt_tabwidget_tabbar edPort cbMode edTimeout edDelay btOk"));
    pages->setCurrentIndex(1);
    Control<QTableView>(dialog, "lvTanks")->selectRow(0);
    EXPECT_EQ(walk(), QStringLiteral("btOk btCancel qt_tabwidget_tabbar cbDefault lvTanks btEdit btOk btCancel"));
}

}  // namespace
}  // namespace levrano
