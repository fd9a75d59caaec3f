// What the dialog shows when Configure opens it: the file's values or the dialog's own defaults,
// and the station's tanks merged with the file's tank entries.
#include <gtest/gtest.h>

#include "common/cp1251.h"
#include "configurator_session.h"
#include "platform/qt_text.h"

namespace levrano {
namespace {

using namespace levrano::test;

const QString kNone = ToQString("<нет>"_cp);

struct OpeningCase {
    const char* name;
    std::vector<std::string_view> file;
    QString caption;
    QStringList boxes;  // port, format, time-out, cycle
    bool defaultTicked;
};

void PrintTo(const OpeningCase& c, std::ostream* out) { *out << c.name; }

class Opening : public ::testing::TestWithParam<OpeningCase> {};

TEST_P(Opening, ShowsTheFilesValuesOrTheDialogsDefaults) {
    const OpeningCase& c = GetParam();
    ConfiguratorSession s(ConfigText(c.file), {{12, 1}});

    EXPECT_FALSE(s.Configure([&c](QDialog& d) {
        ConfigDialogUser user(d);
        EXPECT_EQ(user.Caption(), c.caption);
        EXPECT_EQ(QStringList({user.BoxText("edPort"), user.ModeText(), user.BoxText("edTimeout"), user.BoxText("edDelay")}),
                  c.boxes);
        EXPECT_EQ(user.DefaultTicked(), c.defaultTicked);
        user.Cancel();
    }));
}

INSTANTIATE_TEST_SUITE_P(
    Files, Opening,
    ::testing::Values(
        OpeningCase{"Empty", {"<R/>"}, ToQString("Свойства"_cp), {"1", "9600N8", "500", "500"}, true},
        OpeningCase{"Everything",
                    {"<R>", "<boot name=\"Уровнемеры №2\"/>",
                     "<port number=\"3\" mode=\"9600O7\" timeout=\"250\" delay=\"1500\"/>",
                     "<Tanks default=\"false\"/>", "</R>"},
                    QString::fromUtf8("Уровнемеры №2"),
                    {"3", "9600O7", "250", "1500"},
                    false},
        // Shown as read, also what the user could not type, and with names in any letter case.
        OpeningCase{"AsRead",
                    {"<R>", "<BOOT NAME=\"\"/>", "<Port Number=\"COM3\" Mode=\"9600 e7\" Timeout=\"-5\"/>",
                     "<tanks default=\"TRUE\"/>", "</R>"},
                    QString(),
                    {"COM3", "9600 e7", "-5", "500"},
                    true}),
    [](const auto& info) { return std::string(info.param.name); });

// Tanks 12, 15 and 17; the file names tanks 99 (gone), 12 (twice) and 17 (without a probe).
const std::vector<StationTank> kStation = {{15, 2}, {12, 1}, {17, 3}};
const std::string kMergedFile = ConfigText({
    "<R>",
    "<Tanks default=\"false\">",
    "<item tankid=\"99\" address=\"5\"/>",
    "<sensor tankid=\"12\" address=\"3\" hasH=\"true\" hasV=\"false\" hasD=\"true\" hasT=\"false\" hasW=\"true\"/>",
    "<item tankid=\"12\" address=\"8\"/>",
    "<item tankid=\"17\" address=\"0\"/>",
    "</Tanks>",
    "</R>",
});

TEST(TankList, StationTanksInNumberOrderWithTheFirstEntryOfEachAndOnlyProbesWritten) {
    ConfiguratorSession s(kMergedFile, kStation);

    EXPECT_TRUE(s.Configure([](QDialog& d) {
        ConfigDialogUser user(d);
        user.ShowPage(1);
        EXPECT_FALSE(user.DefaultTicked());
        EXPECT_EQ(user.Column(0), QStringList({"1", "2", "3"}));
        EXPECT_EQ(user.Column(1), QStringList({"3", kNone, kNone}));
        EXPECT_FALSE(user.Foreground(0, 1).isValid());
        // The entry's flags reach the editing dialog, and come back unchanged.
        user.EditRow(0, [](QDialog& edit) {
            EXPECT_EQ(Parameters(edit), (std::vector<bool>{true, false, true, false, true}));
            ClickOk(edit);
        });
        user.Ok();
    }));

    EXPECT_EQ(s.File(), ConfigText({"<R>", "  <Tanks", "    default=\"false\"", "  >", "    <item", "      tankid=\"12\"",
                                    "      address=\"3\"", "      hasH=\"true\"", "      hasV=\"false\"",
                                    "      hasD=\"true\"", "      hasT=\"false\"", "      hasW=\"true\"", "    />",
                                    "  </Tanks>", "  <port", "    number=\"1\"", "    mode=\"9600N8\"",
                                    "    timeout=\"500\"", "    delay=\"500\"", "  />", "</R>"}));
}

TEST(TankList, ServedByPositionShowsGreyPositionsAllowsNoEditingAndWritesNoEntries) {
    std::string file = kMergedFile;
    file.replace(file.find("\"false\""), 7, "\"true\"");
    ConfiguratorSession s(file, kStation);

    EXPECT_TRUE(s.Configure([](QDialog& d) {
        ConfigDialogUser user(d);
        user.ShowPage(1);
        EXPECT_TRUE(user.DefaultTicked());
        EXPECT_EQ(user.Column(1), QStringList({"1", "2", "3"}));
        for (int row = 0; row < 3; ++row) EXPECT_EQ(user.Foreground(row, 1), QColor(192, 192, 192)) << row;
        user.ClickRow(1);
        EXPECT_FALSE(user.EditEnabled());
        EXPECT_FALSE(user.OpensDialog([&] { user.DoubleClickRow(1); }));

        user.ClickDefault();  // the file's addresses again
        EXPECT_EQ(user.Column(1), QStringList({"3", kNone, kNone}));
        EXPECT_TRUE(user.EditEnabled());
        user.ClickDefault();
        EXPECT_FALSE(user.EditEnabled());
        user.Ok();
    }));

    EXPECT_EQ(s.File(), ConfigText({"<R>", "  <Tanks", "    default=\"true\"", "  />", "  <port", "    number=\"1\"",
                                    "    mode=\"9600N8\"", "    timeout=\"500\"", "    delay=\"500\"", "  />", "</R>"}));
}

TEST(TankList, EnterInTheAddressBoxConfirmsTheEditAndOkWritesIt) {
    ConfiguratorSession s(ConfigText({"<R>", "<Tanks default=\"false\"/>", "</R>"}), {{12, 1}, {15, 2}});

    EXPECT_TRUE(s.Configure([](QDialog& d) {
        ConfigDialogUser user(d);
        user.ShowPage(1);
        OnNextModal([](QDialog& edit) {
            RetypeAddress(edit, "300");
            SetParameters(edit, {true, false, false, false, true});
            Control<QWidget>(edit, "edAddress")->setFocus();
            PressKey(edit, Qt::Key_Return);
        });
        user.ClickRow(1);
        user.DoubleClickRow(1);
        EXPECT_EQ(user.Column(1), QStringList({kNone, "300"}));
        user.Ok();
    }));

    EXPECT_NE(s.File().find("<item\r\n      tankid=\"15\"\r\n      address=\"300\"\r\n      hasH=\"true\"\r\n"
                            "      hasV=\"false\"\r\n      hasD=\"false\"\r\n      hasT=\"false\"\r\n      hasW=\"true\"\r\n"),
              std::string::npos)
        << s.File();
    EXPECT_EQ(s.File().find("tankid=\"12\""), std::string::npos);
}

TEST(TankList, StationWithoutTanksGivesAnEmptyListAndNoEntries) {
    ConfiguratorSession s(kMergedFile, {});

    EXPECT_TRUE(s.Configure([](QDialog& d) {
        ConfigDialogUser user(d);
        user.ShowPage(1);
        EXPECT_TRUE(user.Column(0).isEmpty());
        EXPECT_FALSE(user.EditEnabled());
        user.Ok();
    }));

    EXPECT_NE(s.File().find("  <Tanks\r\n    default=\"false\"\r\n  />\r\n"), std::string::npos) << s.File();
    EXPECT_EQ(s.File().find("item"), std::string::npos);
}

}  // namespace
}  // namespace levrano
