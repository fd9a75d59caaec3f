// Adopting the host's attachment, disconnecting, and losing the connection.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/exception.h"
#include "db_session.h"

namespace levrano::test {
namespace {

TEST(Adoption, HostAttachmentOutlivesTheModulesObjects) {
    FirebirdDatabase host({"create table \"Tank\" (\"TankId\" integer, \"Number\" integer)",
                           "insert into \"Tank\" values (7, 1)", "insert into \"Tank\" values (8, 2)"});
    {
        // The configurator's road: create, adopt, start, read, free in order.
        auto database = std::make_unique<TIscDatabase>("gds32.dll");
        auto transaction = std::make_unique<TIscTransaction>(database.get());
        auto query = std::make_unique<TIscQuery>(transaction.get());
        query->SetSQL("select \"TankId\", \"Number\" from \"Tank\" order by \"Number\"");
        database->SetHandle(host.Handle());
        transaction->StartTransaction();
        query->Open();
        std::vector<int> read;
        while (!query->Eof()) {
            read.push_back(query->Field(0).AsInteger());
            read.push_back(query->Field(1).AsInteger());
            query->Next();
        }
        EXPECT_EQ(read, (std::vector<int>{7, 1, 8, 2}));
        query.reset();
        EXPECT_FALSE(transaction->Active());
        transaction.reset();
        database.reset();
    }
    // No detach happened: the host still works on its attachment.
    host.Execute("insert into \"Tank\" values (9, 3)");
    EXPECT_EQ(host.QueryInteger("select count(*) from \"Tank\""), 3);
}

TEST(Adoption, SetHandleDisconnectsFirstAndAnnouncesEachAdoption) {
    FirebirdDatabase host;
    TIscDatabase database("gds32.dll");
    std::vector<std::string> events;
    database.OnConnect = [&events](TIscDatabase* d) { events.push_back("connect " + std::to_string(*d->Handle() != 0)); };
    database.BeforeDisconnect = [&events](TIscDatabase*) { events.push_back("before disconnect"); };
    database.AfterDisconnect = [&events](TIscDatabase* d) { events.push_back("after disconnect " + std::to_string(d->Connected())); };
    database.SetHandle(0);
    EXPECT_TRUE(events.empty());
    EXPECT_FALSE(database.Connected());
    database.SetHandle(host.Handle());
    database.SetHandle(host.Handle());
    EXPECT_TRUE(database.Connected());
    database.SetHandle(0);
    EXPECT_FALSE(database.Connected());
    EXPECT_EQ(events, (std::vector<std::string>{"connect 1", "before disconnect", "after disconnect 0", "connect 1",
                                                "before disconnect", "after disconnect 0"}));
    EXPECT_EQ(host.QueryInteger("select count(*) from rdb$database"), 1);
}

TEST(Adoption, DisconnectEndsTransactionsLastFirstAndDropsTheirStatements) {
    FirebirdDatabase host({"create table t (a integer)"});
    TIscDatabase database("gds32.dll");
    database.SetHandle(host.Handle());
    TIscTransaction first(&database);
    TIscTransaction second(&database);
    TIscQuery insert(&first);
    TIscQuery select(&second);
    std::vector<std::string> ended;
    first.AfterEnd = [&ended](TIscTransaction*, TIscAction) { ended.push_back("first"); };
    second.AfterEnd = [&ended](TIscTransaction*, TIscAction) { ended.push_back("second"); };
    first.StartTransaction();
    second.StartTransaction();
    insert.SetSQL("insert into t values (1)");
    ASSERT_TRUE(insert.Execute());
    select.SetSQL("select a from t");
    select.Open();
    database.Disconnect();
    EXPECT_EQ(ended, (std::vector<std::string>{"second", "first"}));
    EXPECT_FALSE(first.Active());
    EXPECT_FALSE(second.Active());
    EXPECT_FALSE(insert.Prepared());
    EXPECT_FALSE(select.Prepared());
    EXPECT_EQ(host.QueryInteger("select count(*) from t"), 1);  // ended by the default commit
}

TEST(Adoption, TransactionOutlivingItsDatabaseForgetsIt) {
    FirebirdDatabase host;
    auto database = std::make_unique<TIscDatabase>("gds32.dll");
    database->SetHandle(host.Handle());
    TIscTransaction transaction(database.get());
    transaction.StartTransaction();
    database.reset();
    EXPECT_FALSE(transaction.Active());
    EXPECT_EQ(transaction.Database(), nullptr);
    EXPECT_THROW(transaction.StartTransaction(), Exception);
}

TEST(Libraries, ChangingTheLibraryReachesTransactionsAndQueries) {
    TIscDatabase database("gds32.dll");
    TIscTransaction transaction(&database);
    TIscQuery query(&transaction);
    database.SetLibraryName("libfbclient.so.2");
    EXPECT_EQ(database.LibraryName(), "libfbclient.so.2");
    EXPECT_EQ(database.Library(), FindLibrary("libfbclient.so.2"));
    EXPECT_EQ(transaction.Library(), database.Library());
    EXPECT_EQ(query.Library(), database.Library());
}

// A hand-made status vector: the client reports that the network failed.
void FailNetwork(TIscObject& object) {
    object.Status = {};
    object.Status[0] = 1;
    object.Status[1] = 335544721;  // network error
    object.LastResult = 335544721;
}

TEST(ConnectionLoss, EveryDatabaseOnTheLibraryLosesItsConnection) {
    FirebirdDatabase host;
    TIscDatabase first("gds32.dll");
    TIscDatabase second("gds32.dll");
    TIscDatabase otherLibrary("libfbclient.so.2");  // the same file under another name
    std::vector<std::string> lost;
    for (auto [database, name] : {std::pair{&first, "first"}, {&second, "second"}, {&otherLibrary, "other"}}) {
        database->SetHandle(host.Handle());
        database->OnConnectionLost = [&lost, name = std::string(name)](TIscDatabase*) { lost.push_back(name); };
    }
    TIscTransaction transaction(&second);
    int reports = 0;
    transaction.OnError = [&reports](std::int32_t code, TIscMessageLines&, bool& raise) {
        EXPECT_EQ(code, 335544721);
        ++reports;
        raise = false;
    };
    FailNetwork(transaction);
    transaction.CheckStatus();
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(lost, (std::vector<std::string>{"first", "second"}));
    EXPECT_FALSE(first.Connected());
    EXPECT_FALSE(second.Connected());
    EXPECT_TRUE(otherLibrary.Connected());
    EXPECT_EQ(host.QueryInteger("select count(*) from rdb$database"), 1);
}

TEST(ConnectionLoss, ARaisedReportLeavesTheConnections) {
    FirebirdDatabase host;
    TIscDatabase database("gds32.dll");
    database.SetHandle(host.Handle());
    FailNetwork(database);
    EXPECT_THROW(database.CheckStatus(), Exception);
    EXPECT_TRUE(database.Connected());
}

TEST(ConnectionLoss, HandlerMayFreeADatabaseThatTheWalkHasNotReached) {
    FirebirdDatabase host;
    TIscDatabase survivor("gds32.dll");
    auto doomed = std::make_unique<TIscDatabase>("gds32.dll");
    survivor.SetHandle(host.Handle());
    doomed->SetHandle(host.Handle());
    bool doomedLost = false;
    doomed->OnConnectionLost = [&doomedLost](TIscDatabase*) { doomedLost = true; };
    survivor.OnConnectionLost = [&doomed](TIscDatabase*) { doomed.reset(); };
    survivor.OnError = [](std::int32_t, TIscMessageLines&, bool& raise) { raise = false; };
    FailNetwork(survivor);
    survivor.CheckStatus();
    EXPECT_FALSE(survivor.Connected());
    EXPECT_EQ(doomed, nullptr);
    EXPECT_FALSE(doomedLost);
}

}  // namespace
}  // namespace levrano::test
