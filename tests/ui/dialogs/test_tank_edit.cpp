// The tank editing dialog, driven through EditTank with the mouse and the keyboard.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <string>
#include <vector>

#include "common/cp1251.h"
#include "config/UfmTankEdit.h"
#include "dialog_user.h"
#include "platform/qt_text.h"

namespace levrano {

namespace {

using test::Click;
using test::Control;
using test::OnNextModal;
using test::PressKey;

TTankEntry Entry(std::int32_t address, bool h, bool v, bool d, bool w, bool t) {
    return TTankEntry{7, 14, address, h, v, d, w, t};
}

// The check boxes by what they say on screen.
QCheckBox* Box(QDialog& dialog, std::string_view text) {
    for (QCheckBox* box : dialog.findChildren<QCheckBox*>())
        if (box->text() == ToQString(text)) return box;
    ADD_FAILURE() << "no check box " << cp1251::ToUtf8(text);
    std::abort();
}

QLineEdit* AddressBox(QDialog& dialog) { return Control<QLineEdit>(dialog, "edAddress"); }

void ClearAddress(QDialog& dialog) {
    AddressBox(dialog)->setFocus();
    AddressBox(dialog)->selectAll();
    PressKey(dialog, Qt::Key_Delete);
}

void TypeAddress(QDialog& dialog, const char* digits) {
    ClearAddress(dialog);
    QTest::keyClicks(AddressBox(dialog), QLatin1String(digits));
}

void ClickButton(QDialog& dialog, const char* name) { Click(Control<QPushButton>(dialog, name)); }

TEST(TankEdit, EntryWithoutProbeOpensEmptyAndConfirmsWithAllFlagsCleared) {
    for (std::int32_t address : {0, -3}) {
        TTankEntry entry = Entry(address, true, true, true, true, true);
        OnNextModal([](QDialog& dialog) {
            EXPECT_EQ(Control<QLineEdit>(dialog, "edNumber")->text(), QStringLiteral("14"));
            EXPECT_EQ(AddressBox(dialog)->text(), QString());
            for (QCheckBox* box : dialog.findChildren<QCheckBox*>()) EXPECT_FALSE(box->isChecked()) << box->text().toStdString();
            ClickButton(dialog, "btOk");
        });
        EXPECT_TRUE(EditTank(entry, nullptr));
        EXPECT_EQ(entry, Entry(0, false, false, false, false, false)) << "address " << address;
    }
}

TEST(TankEdit, EachBoxShowsAndSetsItsOwnFlag) {
    struct Case {
        std::string_view box;
        bool TTankEntry::*flag;
    };
    const Case cases[] = {{"Уровень"_cp, &TTankEntry::HasH},
                          {"Объем"_cp, &TTankEntry::HasV},
                          {"Плотность"_cp, &TTankEntry::HasD},
                          {"Температура"_cp, &TTankEntry::HasT},
                          {"Вода"_cp, &TTankEntry::HasW}};
    for (const Case& c : cases) {
        // Every flag but this one: the boxes show it, and toggling every box stores its inverse.
        TTankEntry entry = Entry(5, true, true, true, true, true);
        entry.*c.flag = false;
        OnNextModal([&](QDialog& dialog) {
            for (QCheckBox* box : dialog.findChildren<QCheckBox*>()) {
                EXPECT_EQ(box->isChecked(), box->text() != ToQString(c.box)) << box->text().toStdString();
                Click(box);
            }
            ClickButton(dialog, "btOk");
        });
        TTankEntry onlyThis = Entry(5, false, false, false, false, false);
        onlyThis.*c.flag = true;
        EXPECT_TRUE(EditTank(entry, nullptr));
        EXPECT_EQ(entry, onlyThis) << cp1251::ToUtf8(c.box);
    }
}

TEST(TankEdit, ConfirmedEditsReachTheEntry) {
    struct Case {
        const char* name;
        TTankEntry before;
        std::function<void(QDialog&)> user;
        TTankEntry after;
    };
    const std::vector<Case> cases = {
        {"cleared address gives 0", Entry(4, true, false, true, false, true),
         [](QDialog& d) {
             ClearAddress(d);
             ClickButton(d, "btOk");
         },
         Entry(0, true, false, true, false, true)},
        {"Enter in the address box confirms; 300 stays 300", Entry(4, true, true, true, true, true),
         [](QDialog& d) {
             TypeAddress(d, "300");
             PressKey(d, Qt::Key_Return);
         },
         Entry(300, true, true, true, true, true)},
        {"keypad Enter confirms too", Entry(4, true, true, true, true, true),
         [](QDialog& d) {
             TypeAddress(d, "12");
             PressKey(d, Qt::Key_Enter);
         },
         Entry(12, true, true, true, true, true)},
        {"all boxes cleared keeps the tank", Entry(9, true, true, true, true, true),
         [](QDialog& d) {
             for (QCheckBox* box : d.findChildren<QCheckBox*>()) Click(box);
             ClickButton(d, "btOk");
         },
         Entry(9, false, false, false, false, false)},
        {"a new probe with two parameters", Entry(0, true, true, true, true, true),
         [](QDialog& d) {
             TypeAddress(d, "2");
             Click(Box(d, "Плотность"_cp));
             Click(Box(d, "Вода"_cp));
             ClickButton(d, "btOk");
         },
         Entry(2, false, false, true, true, false)},
        {"Enter on the focused Cancel button still confirms", Entry(3, true, true, true, true, true),
         [](QDialog& d) {
             TypeAddress(d, "8");
             Control<QPushButton>(d, "btCancel")->setFocus();
             PressKey(d, Qt::Key_Return);
         },
         Entry(8, true, true, true, true, true)},
        {"Enter on a check box confirms", Entry(3, true, true, true, true, true),
         [](QDialog& d) {
             Click(Box(d, "Вода"_cp));
             PressKey(d, Qt::Key_Return);
         },
         Entry(3, true, true, true, false, true)},
    };
    for (const Case& c : cases) {
        TTankEntry entry = c.before;
        OnNextModal(c.user);
        EXPECT_TRUE(EditTank(entry, nullptr)) << c.name;
        EXPECT_EQ(entry, c.after) << c.name;
    }
}

TEST(TankEdit, LeavingWithoutOkKeepsTheEntry) {
    struct Case {
        const char* name;
        std::function<void(QDialog&)> leave;
    };
    const std::vector<Case> cases = {
        {"Escape in the address box", [](QDialog& d) { PressKey(d, Qt::Key_Escape); }},
        {"Escape on a check box",
         [](QDialog& d) {
             Box(d, "Объем"_cp)->setFocus();
             PressKey(d, Qt::Key_Escape);
         }},
        {"Escape on the OK button",
         [](QDialog& d) {
             Control<QPushButton>(d, "btOk")->setFocus();
             PressKey(d, Qt::Key_Escape);
         }},
        {"Cancel clicked", [](QDialog& d) { ClickButton(d, "btCancel"); }},
        {"close box", [](QDialog& d) { d.close(); }},
    };
    const int expectedResult[] = {mrCancel, mrCancel, mrCancel, mrCancel, mrClosed};
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const TTankEntry before = Entry(6, true, false, true, false, true);
        TTankEntry entry = before;
        int result = 0;
        OnNextModal([&](QDialog& d) {
            TypeAddress(d, "250");
            for (QCheckBox* box : d.findChildren<QCheckBox*>()) Click(box);
            AddressBox(d)->setFocus();
            cases[i].leave(d);
            result = d.result();
        });
        EXPECT_FALSE(EditTank(entry, nullptr)) << cases[i].name;
        EXPECT_EQ(entry, before) << cases[i].name;
        EXPECT_EQ(result, expectedResult[i]) << cases[i].name;
    }
}

TEST(TankEdit, CheckBoxesReadTopToBottomInTheirScreenOrder) {
    TTankEntry entry = Entry(1, true, true, true, true, true);
    std::vector<QString> texts;
    OnNextModal([&](QDialog& d) {
        std::vector<QCheckBox*> boxes;
        for (QCheckBox* box : d.findChildren<QCheckBox*>()) boxes.push_back(box);
        std::sort(boxes.begin(), boxes.end(), [](QCheckBox* a, QCheckBox* b) { return a->y() < b->y(); });
        for (QCheckBox* box : boxes) texts.push_back(box->text());
        ClickButton(d, "btCancel");
    });
    EditTank(entry, nullptr);
    const std::vector<QString> expected = {ToQString("Уровень"_cp), ToQString("Объем"_cp), ToQString("Плотность"_cp),
                                           ToQString("Температура"_cp), ToQString("Вода"_cp)};
    EXPECT_EQ(texts, expected);
}

TEST(TankEdit, TabFollowsTheBuildOrderAndSkipsTheNumberBox) {
    TTankEntry entry = Entry(1, true, true, true, true, true);
    QStringList visited;
    OnNextModal([&](QDialog& d) {
        visited << test::FocusedName(d);
        for (int i = 0; i < 8; ++i) {
            PressKey(d, Qt::Key_Tab);
            visited << test::FocusedName(d);
        }
        PressKey(d, Qt::Key_Tab, Qt::ShiftModifier);
        visited << test::FocusedName(d);
        ClickButton(d, "btCancel");
    });
    EditTank(entry, nullptr);
    EXPECT_EQ(visited.join(QLatin1Char(' ')),
              QStringLiteral("edAddress btOk btCancel cbLevel cbVolume cbTemperature cbDensity cbWater edAddress cbWater"));
}

TEST(TankEdit, AddressBoxTakesAnyNumberOfDigitsOnly) {
    TTankEntry entry = Entry(0, true, true, true, true, true);
    OnNextModal([](QDialog& d) {
        QTest::keyClicks(AddressBox(d), QStringLiteral("1a2-3 4.5"));
        EXPECT_EQ(AddressBox(d)->text(), QStringLiteral("12345"));
        QTest::keyClicks(AddressBox(d), QStringLiteral("67890123456789"));
        EXPECT_EQ(AddressBox(d)->text(), QStringLiteral("1234567890123456789"));
        ClearAddress(d);
        QTest::keyClicks(AddressBox(d), QStringLiteral("42"));
        EXPECT_EQ(AddressBox(d)->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
        QTest::keyClicks(Control<QLineEdit>(d, "edNumber"), QStringLiteral("99"));
        EXPECT_EQ(Control<QLineEdit>(d, "edNumber")->text(), QStringLiteral("14"));
        ClickButton(d, "btOk");
    });
    EXPECT_TRUE(EditTank(entry, nullptr));
    EXPECT_EQ(entry.Address, 42);
}

TEST(TankEdit, OpensCentredOnTheScreenNotOverItsOwner) {
    QWidget owner;
    owner.setGeometry(10, 10, 120, 80);
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    TTankEntry entry = Entry(1, true, true, true, true, true);
    QPoint offCentre(-1000, -1000);
    OnNextModal([&](QDialog& d) {
        offCentre = d.geometry().center() - d.screen()->availableGeometry().center();
        ClickButton(d, "btCancel");
    });
    EditTank(entry, &owner);
    EXPECT_LE(std::abs(offCentre.x()), 2) << offCentre.x();
    EXPECT_LE(std::abs(offCentre.y()), 2) << offCentre.y();
}

}  // namespace
}  // namespace levrano
