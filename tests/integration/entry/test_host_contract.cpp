// The host SDK headers against the positions hosts call by: every operation in its place,
// reserved slots included, a derived interface continuing its parent's count.
#include <gtest/gtest.h>

#include <string>

#include "host/OperatorIntf.h"
#include "host/configIntf.h"
#include "host/cportIntf.h"
#include "support/test_host.h"

namespace levrano {
namespace {

using test::SlotOf;

struct SlotCase {
    const char* operation;
    int actual;
    int expected;
};

void PrintTo(const SlotCase& c, std::ostream* out) { *out << c.operation; }

class SlotPositions : public ::testing::TestWithParam<SlotCase> {};

#define SLOT(Interface, Operation, position) SlotCase{#Interface "." #Operation, SlotOf(&Interface::Operation), position}

const SlotCase kSlots[] = {
    // Operator host
    SLOT(IEnum, GetCount, 1), SLOT(IEnum, GetItem, 4), SLOT(IEnumItem, EnumItemReserved2, 2),
    SLOT(ITank, GetTankId, 3), SLOT(ITank, GetNumber, 4), SLOT(ITank, LevelToVolume, 19),
    SLOT(ITank, TankReserved20, 20), SLOT(ITanks, GetItem, 4), SLOT(ITanks, TanksReserved10, 10),
    SLOT(IEntry, Submit, 5), SLOT(IOperatorApplication, CreateEntry, 3), SLOT(IOperatorApplication, GetTanks, 7),
    SLOT(IOperatorApplication, RegisterService, 12), SLOT(IOperatorApplication, GetService, 13),
    SLOT(IOperatorApplication, AddListener, 14), SLOT(ITankGaugeListener, StateChanged, 1),
    SLOT(ILoadObserver, BeginLoad, 3), SLOT(ILoadObserver, EndLoad, 4), SLOT(ILoadObserver, LoadFailed, 8),
    // Module objects
    SLOT(IStatus, GetCode, 1), SLOT(IStatus, GetText, 2), SLOT(IStatus, IsOk, 3), SLOT(ITankState, GetReserved, 1),
    SLOT(ITankState, GetLevel, 2), SLOT(ITankState, GetMass, 8), SLOT(ITankState, GetStatus, 9),
    SLOT(ITankState, GetReservedFlags, 10), SLOT(ITankState, PassValue, 11), SLOT(IApplicationListener, OnStart, 4),
    SLOT(IApplicationListener, OnStop, 5), SLOT(IApplicationListener, Event7, 7), SLOT(IApplicationListener, Event8, 8),
    SLOT(ITankGauge, GetState, 1), SLOT(ITankGauge, SendCommand, 2), SLOT(ITankGauge, AddListener, 3),
    SLOT(ITankGauge, RemoveListener, 4), SLOT(IConfigModule, Configure, 1),
    // Serial port and configurator host
    SLOT(ICPortProvider, GetPort, 1), SLOT(ICPort, SetState, 4), SLOT(ICPort, SetOption, 6),
    SLOT(ICPort, SetTimeout, 8), SLOT(ICPort, SetInterval, 10), SLOT(ICPort, Lock, 11), SLOT(ICPort, Unlock, 12),
    SLOT(ICPort, Purge, 13), SLOT(ICPort, Read, 14), SLOT(ICPort, Write, 15), SLOT(IConfigApplication, GetDatabase, 2),
    SLOT(IHostDatabase, GetHandle, 2),
};

#undef SLOT

TEST_P(SlotPositions, OperationSitsWhereHostsCallIt) { EXPECT_EQ(GetParam().expected, GetParam().actual); }

INSTANTIATE_TEST_SUITE_P(HostSdk, SlotPositions, ::testing::ValuesIn(kSlots), [](const auto& info) {
    std::string name = info.param.operation;
    name[name.find('.')] = '_';
    return name;
});

// The test host is what later integration tests lean on: its objects answer by position too.
TEST(TestHostBySlot, ObserverRecordsCallsMadeByPosition) {
    test::TestLoadObserver observer;
    ILoadObserver* asObserver = &observer;
    test::CallSlot<void>(asObserver, 3);
    test::CallSlot<void>(asObserver, 8, "text");
    test::CallSlot<void>(asObserver, 4);
    EXPECT_EQ(observer.Calls(),
              (std::vector<test::ObserverCall>{{"BeginLoad", {}}, {"LoadFailed", "text"}, {"EndLoad", {}}}));
}

}  // namespace
}  // namespace levrano
