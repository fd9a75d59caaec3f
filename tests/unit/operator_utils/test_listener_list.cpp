// TListenerList: slot reuse, notification order and what the callback may do during a pass.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "operator/listener_list.h"
#include "support/test_host.h"

namespace levrano {
namespace {

using test::TestGaugeListener;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// A list of gauge listeners whose callback records who was called and can act during the pass.
class ListenerListTest : public ::testing::Test {
protected:
    static IInterface* I(TestGaugeListener& listener) { return listener.AsInterface(); }

    // Run by the callback for each listener before it is recorded; may set the stop flag.
    std::function<void(IInterface* listener, bool& stop)> during;
    std::vector<IInterface*> called;
    std::vector<std::pair<std::int32_t, std::int32_t>> values;
    TestGaugeListener a, b, c, d, e;

    std::unique_ptr<TListenerList> list = std::make_unique<TListenerList>(
        IID_ITankGaugeListener,
        [this](TListenerList& self, std::int32_t first, IInterface* listener, std::int32_t second, bool& stop) {
            EXPECT_EQ(list.get(), &self);
            called.push_back(listener);
            values.emplace_back(first, second);
            if (during) during(listener, stop);
        });

    std::vector<IInterface*> Pass() {
        called.clear();
        list->Notify(11, 22);
        return called;
    }
};

TEST_F(ListenerListTest, AddTakesOneReferenceAndRefusesDuplicates) {
    EXPECT_TRUE(list->Add(I(a)));
    EXPECT_EQ(1, a.Refs());
    EXPECT_FALSE(list->Add(I(a)));
    EXPECT_EQ(1, a.Refs());
    EXPECT_THAT(Pass(), ElementsAre(I(a)));
    EXPECT_THAT(values, ElementsAre(std::pair(11, 22)));
}

TEST_F(ListenerListTest, ListenerWithoutTheInterfaceIsRefusedAndKeepsNoReference) {
    test::TestHost plain;  // answers IInterface only
    EXPECT_FALSE(list->Add(plain.AsInterface()));
    EXPECT_EQ(0, plain.Refs());
    EXPECT_FALSE(list->Add(nullptr));
    EXPECT_THAT(Pass(), IsEmpty());
}

TEST_F(ListenerListTest, RemovedListenerLeavesASlotThatTheNextAddTakes) {
    for (auto* l : {&a, &b, &c}) list->Add(I(*l));
    EXPECT_TRUE(list->Remove(I(b)));
    EXPECT_EQ(0, b.Refs());
    EXPECT_TRUE(list->Add(I(d)));
    EXPECT_THAT(Pass(), ElementsAre(I(a), I(d), I(c)));
}

TEST_F(ListenerListTest, RemovingAnUnknownListenerReleasesNothing) {
    list->Add(I(a));
    EXPECT_FALSE(list->Remove(I(b)));
    EXPECT_EQ(0, b.Refs());
    EXPECT_TRUE(list->Remove(I(a)));
    EXPECT_FALSE(list->Remove(I(a)));
    EXPECT_EQ(0, a.Refs()) << "released twice";
}

TEST_F(ListenerListTest, ListenersAreComparedByReferenceNotByObject) {
    // One object reached through two interfaces occupies two slots, and each is stored as passed.
    class TwoFaced : public test::HostObject<IStatus, ITankGaugeListener> {
    public:
        std::int32_t GetCode() override { return 0; }
        char* GetText(char* buffer) override { return buffer; }
        bool IsOk() override { return true; }
        void StateChanged(IInterface*) override {}
    } object;
    IInterface* asStatus = static_cast<IStatus*>(&object);
    IInterface* asListener = static_cast<ITankGaugeListener*>(&object);
    ASSERT_NE(asStatus, asListener);

    EXPECT_TRUE(list->Add(asStatus));
    EXPECT_TRUE(list->Add(asListener));
    EXPECT_EQ(2, object.Refs());
    EXPECT_THAT(Pass(), ElementsAre(asStatus, asListener));
    list->RemoveAll();  // before the object goes
    EXPECT_EQ(0, object.Refs());
}

TEST_F(ListenerListTest, ListenerRemovedBeforeItsTurnIsNotCalled) {
    for (auto* l : {&a, &b, &c}) list->Add(I(*l));
    during = [this](IInterface* listener, bool&) {
        if (listener == I(a)) list->Remove(I(c));
    };
    EXPECT_THAT(Pass(), ElementsAre(I(a), I(b)));
    EXPECT_EQ(0, c.Refs());
}

TEST_F(ListenerListTest, ListenerRemovingItselfStaysAliveUntilItsCallReturns) {
    list->Add(I(a));
    std::int32_t refsAfterRemoval = -1;
    during = [&](IInterface* listener, bool&) {
        list->Remove(listener);
        refsAfterRemoval = a.Refs();
    };
    Pass();
    EXPECT_EQ(1, refsAfterRemoval);
    EXPECT_EQ(0, a.Refs());
}

TEST_F(ListenerListTest, AddedIntoAnEmptySlotAheadIsCalledInTheSamePass) {
    for (auto* l : {&a, &b, &c}) list->Add(I(*l));
    list->Remove(I(b));
    during = [this](IInterface* listener, bool&) {
        if (listener == I(a)) list->Add(I(d));
    };
    EXPECT_THAT(Pass(), ElementsAre(I(a), I(d), I(c)));
}

TEST_F(ListenerListTest, AppendedDuringAPassWaitsForTheNextPass) {
    for (auto* l : {&a, &b}) list->Add(I(*l));
    during = [this](IInterface* listener, bool&) {
        if (listener == I(a)) list->Add(I(e));
    };
    EXPECT_THAT(Pass(), ElementsAre(I(a), I(b)));
    during = nullptr;
    EXPECT_THAT(Pass(), ElementsAre(I(a), I(b), I(e)));
}

TEST_F(ListenerListTest, StopFlagEndsThePassAtOnce) {
    for (auto* l : {&a, &b, &c}) list->Add(I(*l));
    during = [this](IInterface* listener, bool& stop) { stop = listener == I(b); };
    EXPECT_THAT(Pass(), ElementsAre(I(a), I(b)));
    // The next pass starts afresh.
    during = nullptr;
    EXPECT_THAT(Pass(), ElementsAre(I(a), I(b), I(c)));
}

TEST_F(ListenerListTest, RemoveAllReleasesEveryoneAndKeepsTheSlotsForReuse) {
    for (auto* l : {&a, &b, &c}) list->Add(I(*l));
    list->RemoveAll();
    for (auto* l : {&a, &b, &c}) EXPECT_EQ(0, l->Refs());
    EXPECT_THAT(Pass(), IsEmpty());
    list->Add(I(d));
    list->Add(I(a));
    EXPECT_THAT(Pass(), ElementsAre(I(d), I(a)));
}

TEST_F(ListenerListTest, DestructionReleasesEveryListenerStillRegistered) {
    for (auto* l : {&a, &b, &c, &d}) list->Add(I(*l));
    list->Remove(I(b));
    list.reset();
    for (auto* l : {&a, &b, &c, &d}) EXPECT_EQ(0, l->Refs());
}

}  // namespace
}  // namespace levrano
