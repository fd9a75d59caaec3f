// The configurator road with the station's database on a Firebird server that the test starts on
// loopback: the reference host attaches as "localhost/PORT:path" with a user and a password, and
// the module reads the tanks through that attachment.
#include <gtest/gtest.h>

#include "configurator_session.h"
#include "reference_host.h"
#include "support/firebird_server.h"

namespace levrano {
namespace {

using namespace levrano::test;

configurator::TConnection OnServer(const FirebirdServer& server, const char* password) {
    configurator::TConnection connection;
    connection.database = server.Address("station.fdb");
    connection.user = FirebirdServer::kUser;
    connection.password = password;
    return connection;
}

TEST(ServerStation, ReferenceHostConfiguresTheTanksOfADatabaseOnAServer) {
    if (!FirebirdServer::Installed()) GTEST_SKIP() << FirebirdServer::kMissing;
    FirebirdServer server;
    const auto connection = OnServer(server, FirebirdServer::kPassword);
    configurator::TStationDatabase::Create(connection, {{31, 7}, {33, 9}, {32, 8}});
    // The server, not a local engine, decides: it refuses a wrong password.
    EXPECT_THROW(configurator::TStationDatabase::Attach(OnServer(server, "wrong")), std::runtime_error);

    TempConfigFile config(ConfigText({"<station>", "<Tanks default=\"false\">", "<item tankid=\"33\" address=\"4\"/>",
                                      "</Tanks>", "</station>"}));
    ReferenceHost h(connection, config.Path());
    h.ClickConfigure([](QDialog& d) {
        ConfigDialogUser user(d);
        user.ShowPage(1);
        EXPECT_EQ(user.Column(0), QStringList({"7", "8", "9"}));
        EXPECT_EQ(user.Column(1).last(), "4");
        user.EditRow(0, [](QDialog& edit) {
            RetypeAddress(edit, "2");
            ClickOk(edit);
        });
        user.Ok();
    });

    EXPECT_TRUE(h.window.LastConfirmed());
    const std::string saved = FileBytes(config.Path());
    const std::size_t first = saved.find("tankid=\"31\"\r\n      address=\"2\"");
    const std::size_t second = saved.find("tankid=\"33\"\r\n      address=\"4\"");
    EXPECT_NE(first, std::string::npos) << saved;
    EXPECT_NE(second, std::string::npos) << saved;
    EXPECT_LT(first, second);
}

}  // namespace
}  // namespace levrano
