// What "ОК" writes into the configuration file, and what leaving the dialog otherwise does not.
#include <QTableView>
#include <gtest/gtest.h>

#include "common/cp1251.h"
#include "configurator_session.h"
#include "platform/qt_text.h"

namespace levrano {
namespace {

using namespace levrano::test;

const std::vector<StationTank> kTwoTanks = {{12, 1}, {15, 2}};

// The station of the reference example: root R, a caption, tanks 12 and 15.
TEST(Saving, ExampleStationGivesTheReferenceFileByteForByte) {
    ConfiguratorSession s(ConfigText({"<R>", "<boot name=\"Свойства\"/>", "</R>"}), kTwoTanks);

    const bool confirmed = s.Configure([](QDialog& d) {
        ConfigDialogUser user(d);
        user.Retype("edPort", "2");
        user.StepMode(Qt::Key_Down);
        EXPECT_EQ(user.ModeText(), "9600E7");
        EXPECT_EQ(user.BoxText("edTimeout"), "500");  // shown although the file has none
        user.Retype("edDelay", "1000");
        user.ShowPage(1);
        ASSERT_TRUE(user.DefaultTicked());
        user.ClickDefault();
        user.EditRow(0, [](QDialog& edit) {
            RetypeAddress(edit, "1");
            SetParameters(edit, {true, true, false, true, true});
            ClickOk(edit);
        });
        user.EditRow(1, [](QDialog& edit) {
            RetypeAddress(edit, "2");
            SetParameters(edit, {true, true, true, true, true});
            ClickOk(edit);
        });
        user.Ok();
    });

    EXPECT_TRUE(confirmed);
    EXPECT_TRUE(s.Messages().empty());
    const std::string expected = ConfigText({
        "<R>",
        "  <boot",
        "    name=\"Свойства\"",
        "  />",
        "  <port",
        "    number=\"2\"",
        "    mode=\"9600E7\"",
        "    timeout=\"500\"",
        "    delay=\"1000\"",
        "  />",
        "  <Tanks",
        "    default=\"false\"",
        "  >",
        "    <item",
        "      tankid=\"12\"",
        "      address=\"1\"",
        "      hasH=\"true\"",
        "      hasV=\"true\"",
        "      hasD=\"false\"",
        "      hasT=\"true\"",
        "      hasW=\"true\"",
        "    />",
        "    <item",
        "      tankid=\"15\"",
        "      address=\"2\"",
        "      hasH=\"true\"",
        "      hasV=\"true\"",
        "      hasD=\"true\"",
        "      hasT=\"true\"",
        "      hasW=\"true\"",
        "    />",
        "  </Tanks>",
        "</R>",
    });
    EXPECT_EQ(s.File(), expected);
}

// Values the dialog does not show are kept as they were, save after save.
TEST(Saving, IntervalRtsControlAndBootSurviveEverySave) {
    ConfiguratorSession s(ConfigText({"<station version=\"3\">", "<boot name=\"Уровнемеры\"/>",
                                      "<port number=\"4\" interval=\"35\" rtscontrol=\"2\" timeout=\"700\"/>",
                                      "<extra note=\"x\"/>", "</station>"}),
                          kTwoTanks);

    for (const char* delay : {"900", "1200"}) {
        EXPECT_TRUE(s.Configure([delay](QDialog& d) {
            ConfigDialogUser user(d);
            user.Retype("edDelay", delay);
            user.Ok();
        }));
        EXPECT_EQ(s.File(), ConfigText({
                                "<station",
                                "  version=\"3\"",
                                ">",
                                "  <boot",
                                "    name=\"Уровнемеры\"",
                                "  />",
                                "  <port",
                                "    number=\"4\"",
                                "    interval=\"35\"",
                                "    rtscontrol=\"2\"",
                                "    timeout=\"700\"",
                                "    mode=\"9600N8\"",
                                std::string("    delay=\"") + delay + "\"",
                                "  />",
                                "  <extra",
                                "    note=\"x\"",
                                "  />",
                                "  <Tanks",
                                "    default=\"true\"",
                                "  />",
                                "</station>",
                            }))
            << "after the save with delay " << delay;
    }
}

TEST(Saving, EmptiedBoxesWriteEmptyValues) {
    ConfiguratorSession s(ConfigText({"<R>", "<port number=\"3\" mode=\"9600O7\" timeout=\"250\" delay=\"800\"/>", "</R>"}),
                          kTwoTanks);

    EXPECT_TRUE(s.Configure([](QDialog& d) {
        ConfigDialogUser user(d);
        EXPECT_EQ(user.BoxText("edPort"), "3");
        EXPECT_EQ(user.ModeText(), "9600O7");
        user.Retype("edPort", "");
        user.Retype("edTimeout", "");
        user.Ok();
    }));

    EXPECT_EQ(s.File(), ConfigText({"<R>", "  <port", "    number=\"\"", "    mode=\"9600O7\"", "    timeout=\"\"",
                                    "    delay=\"800\"", "  />", "  <Tanks", "    default=\"true\"", "  />", "</R>"}));
}

// A file without "Tanks": every tank listed without a probe, the box ticked; "ОК" appends the
// element, any other way out leaves the file as it was.
TEST(Saving, MissingTanksElementIsAppendedOnlyByOk) {
    const std::string file = ConfigText({"<R>", "<port number=\"1\"/>", "</R>"});
    struct Case {
        const char* name;
        std::function<void(ConfigDialogUser&, QDialog&)> leave;
        bool confirmed;
        std::string result;
    };
    const std::vector<Case> cases = {
        {"OK", [](ConfigDialogUser& user, QDialog&) { user.Ok(); }, true,
         ConfigText({"<R>", "  <port", "    number=\"1\"", "    mode=\"9600N8\"", "    timeout=\"500\"",
                     "    delay=\"500\"", "  />", "  <Tanks", "    default=\"true\"", "  />", "</R>"})},
        {"Cancel", [](ConfigDialogUser& user, QDialog&) { user.Cancel(); }, false, file},
        {"close box", [](ConfigDialogUser&, QDialog& d) { d.close(); }, false, file},
    };
    for (const Case& c : cases) {
        ConfiguratorSession s(file, kTwoTanks);
        const bool confirmed = s.Configure([&c](QDialog& d) {
            ConfigDialogUser user(d);
            user.ShowPage(1);
            EXPECT_TRUE(user.DefaultTicked());
            user.ClickDefault();
            EXPECT_EQ(user.Column(0), QStringList({"1", "2"}));
            EXPECT_EQ(user.Column(1), QStringList({ToQString("<нет>"_cp), ToQString("<нет>"_cp)}));
            user.ClickDefault();
            c.leave(user, d);
        });
        EXPECT_EQ(confirmed, c.confirmed) << c.name;
        EXPECT_EQ(s.File(), c.result) << c.name;
    }
}

TEST(Saving, EditsLeftWithCancelChangeNothing) {
    const std::string file = ConfigText({"<R>", "<port number=\"1\" mode=\"9600N8\" timeout=\"300\" delay=\"500\"/>",
                                         "<Tanks default=\"false\">", "<item tankid=\"12\" address=\"1\"/>",
                                         "</Tanks>", "</R>"});
    ConfiguratorSession s(file, kTwoTanks);

    EXPECT_FALSE(s.Configure([](QDialog& d) {
        ConfigDialogUser user(d);
        user.Retype("edPort", "7");
        user.StepMode(Qt::Key_Down);
        user.ShowPage(1);
        user.EditRow(0, [](QDialog& edit) {
            RetypeAddress(edit, "9");
            SetParameters(edit, {false, false, false, false, false});
            ClickOk(edit);
        });
        EXPECT_EQ(user.Column(1), QStringList({"9", ToQString("<нет>"_cp)}));
        user.ClickDefault();
        user.Cancel();
    }));

    EXPECT_EQ(s.File(), file);
}

}  // namespace
}  // namespace levrano
