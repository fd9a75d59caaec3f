// Which host tanks the operator module serves with which probe, the notices it hands the host,
// and how it sets up the host's serial port: loaded through dlopen, driven as a host drives it.
#include <gtest/gtest.h>

#include <cstring>

#include "common/cp1251.h"
#include "operator_host.h"

namespace levrano {
namespace {

using namespace levrano::test;
using std::chrono::milliseconds;

std::string Notice(int number, int address) {
    return std::string("резервуар "_cp) + std::to_string(number) + " -> " + std::string("датчик "_cp) +
           std::to_string(address);
}

// ---- Tanks by position --------------------------------------------------------------------------

TEST(Serving, ByDefaultEveryTankIsServedInOrderWithAllQuantitiesAndANotice) {
    OperatorHost host;
    for (int i = 0; i < 3; ++i) host.app.AddTank(7 + i, 11 + i);
    host.Load(Config(""));

    EXPECT_EQ(host.app.Notices(), (std::vector<std::string>{Notice(11, 1), Notice(12, 2), Notice(13, 3)}));
    for (const auto& entry : host.app.Entries()) EXPECT_EQ(1, entry->Submits()) << cp1251::ToUtf8(entry->Text());
    ASSERT_EQ(3u, host.app.Registrations().size());
    for (std::size_t i = 0; i < 3; ++i) {
        const Registration& r = host.app.Registrations()[i];
        EXPECT_EQ(host.app.Tanks()[i].get(), r.HostTank) << "gauge " << i;
        EXPECT_EQ(IID_ITankGauge, r.Iid);
        EXPECT_TRUE(host.Gauge(i)) << "the service is the tank's gauge";
    }

    for (int address = 1; address <= 3; ++address) host.Answer(address);
    host.app.FireStart();
    ASSERT_TRUE(host.WaitUntil([&] { return host.State(0).ok && host.State(1).ok && host.State(2).ok; }));
    const std::vector<int> polled = host.PolledAddresses();
    ASSERT_GE(polled.size(), 3u);
    EXPECT_EQ((std::vector<int>{1, 2, 3}), std::vector<int>(polled.begin(), polled.begin() + 3));
    // Every quantity measured: the probe's own volumes and mass, no host calibration.
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(Valid(kLevel, kVolume, kWaterLevel, kWaterVolume, kDensity, kTemperature, kMass), host.State(i));
    for (const auto& tank : host.app.Tanks()) EXPECT_EQ(0, tank->LevelToVolumeCalls());
    EXPECT_TRUE(host.app.AllUnexpectedCalls().empty());
}

TEST(Serving, WithoutTankEntriesNothingIsServedButPortAndListenerAreSetUp) {
    OperatorHost host;
    host.app.AddTank(7, 11);
    host.app.AddTank(8, 12);
    host.Load(Config(R"(<tanks default="FALSE"/>)"));

    EXPECT_TRUE(host.app.Notices().empty());
    EXPECT_TRUE(host.app.Entries().empty());
    EXPECT_TRUE(host.app.Registrations().empty());
    EXPECT_EQ(1u, host.app.ServiceRequests().size());
    EXPECT_EQ(4u, host.port->SetupCalls().size());
    EXPECT_EQ(1u, host.app.Listeners().size());

    host.app.FireStart();
    host.app.FireStop();
    EXPECT_EQ(0, host.port->Locks()) << "no probe, no poll";
    EXPECT_EQ(1, RefCount(host.port.get())) << "the module gave the port back";
}

// ---- Tanks by their entries ---------------------------------------------------------------------

struct EntriesCase {
    const char* name;
    const char* entries;                 // children of <tanks default="false">
    std::vector<std::string> notices;    // tanks 7 (number 11) and 8 (number 12)
    std::vector<int> probes;             // the addresses polled, in tank order
};

void PrintTo(const EntriesCase& c, std::ostream* out) { *out << c.name; }

class ServingByEntries : public testing::TestWithParam<EntriesCase> {};

TEST_P(ServingByEntries, ServesTheTanksTheEntriesName) {
    const EntriesCase& c = GetParam();
    OperatorHost host;
    host.app.AddTank(7, 11);
    host.app.AddTank(8, 12);
    host.Load(Config(std::string(R"(<tanks default="false">)") + c.entries + "</tanks>"));

    EXPECT_EQ(c.notices, host.app.Notices());
    ASSERT_EQ(c.probes.size(), host.app.Registrations().size());

    for (int address : c.probes) host.Answer(address);
    host.app.FireStart();
    ASSERT_TRUE(host.WaitUntil([&] { return host.PolledAddresses().size() >= c.probes.size(); }));
    const std::vector<int> polled = host.PolledAddresses();
    EXPECT_EQ(c.probes, std::vector<int>(polled.begin(), polled.begin() + static_cast<long>(c.probes.size())));
}

INSTANTIATE_TEST_SUITE_P(
    Entries, ServingByEntries,
    testing::Values(
        EntriesCase{"each tank its entry", R"(<item tankid="8" address="5"/><item tankid="7" address="2"/>)",
                    {Notice(11, 2), Notice(12, 5)}, {2, 5}},
        EntriesCase{"the first entry of a tank decides",
                    R"(<item tankid="7" address="4"/><item tankid="7" address="9"/>)", {Notice(11, 4)}, {4}},
        EntriesCase{"any element name is an entry", R"(<probe tankid="7" address="3"/>)", {Notice(11, 3)}, {3}},
        EntriesCase{"address 0 is not served", R"(<item tankid="7" address="0"/><item tankid="8" address="1"/>)",
                    {Notice(12, 1)}, {1}},
        EntriesCase{"a negative address is not served",
                    R"(<item tankid="7" address="-3"/><item tankid="8" address="6"/>)", {Notice(12, 6)}, {6}},
        EntriesCase{"an entry without an address is not served", R"(<item tankid="7"/>)", {}, {}},
        EntriesCase{"the line carries the low eight bits of the address", R"(<item tankid="7" address="300"/>)",
                    {Notice(11, 300)}, {44}}),
    [](const testing::TestParamInfo<EntriesCase>& info) { return "Case" + std::to_string(info.index); });

// ---- The serial port ----------------------------------------------------------------------------

DCB ExpectedDcb(std::uint32_t flags, std::uint8_t byteSize, std::uint8_t parity) {
    DCB dcb{};
    dcb.DCBlength = 28;
    dcb.BaudRate = 9600;
    dcb.Flags = flags;
    dcb.ByteSize = byteSize;
    dcb.Parity = parity;
    return dcb;
}

struct PortCase {
    const char* name;
    const char* port;  // the "port" element, or empty
    std::int32_t number;
    DCB dcb;
    std::vector<std::string> setup;
};

void PrintTo(const PortCase& c, std::ostream* out) { *out << c.name; }

class PortSetUp : public testing::TestWithParam<PortCase> {};

TEST_P(PortSetUp, TheHostsPortGetsTheConfiguredLine) {
    const PortCase& c = GetParam();
    OperatorHost host;
    host.app.SetPort(c.number, host.port.get());
    host.Load(Config(c.port));

    ASSERT_EQ(1u, host.app.ServiceRequests().size());
    const ServiceRequest& request = host.app.ServiceRequests()[0];
    EXPECT_EQ(0, request.Owner);
    EXPECT_EQ(IID_ICPortProvider, request.Iid);
    EXPECT_EQ(c.number, request.Number);
    EXPECT_EQ(c.setup, host.port->SetupCalls());
    const DCB& got = host.port->LineSettings();
    EXPECT_EQ(0, std::memcmp(&c.dcb, &got, sizeof(DCB)))
        << "length " << got.DCBlength << ", baud " << got.BaudRate << ", flags " << got.Flags << ", bits "
        << int(got.ByteSize) << ", parity " << int(got.Parity) << ", stop bits " << int(got.StopBits);
}

const std::vector<std::string> kDefaultSetup{"SetState", "SetOption 0", "SetTimeout 300", "SetInterval 20"};

INSTANTIATE_TEST_SUITE_P(
    Port, PortSetUp,
    testing::Values(
        PortCase{"no port element: every default", "", 1, ExpectedDcb(1, 8, kNoParity), kDefaultSetup},
        PortCase{"9600E7", R"(<port mode="9600E7"/>)", 1, ExpectedDcb(1, 7, kEvenParity), kDefaultSetup},
        PortCase{"9600O7", R"(<port mode="9600O7"/>)", 1, ExpectedDcb(1, 7, kOddParity), kDefaultSetup},
        PortCase{"9600N8", R"(<port mode="9600N8"/>)", 1, ExpectedDcb(1, 8, kNoParity), kDefaultSetup},
        PortCase{"9600e7 differs in case", R"(<port mode="9600e7"/>)", 1, ExpectedDcb(1, 8, kNoParity), kDefaultSetup},
        PortCase{"9600o7 differs in case", R"(<port mode="9600o7"/>)", 1, ExpectedDcb(1, 8, kNoParity), kDefaultSetup},
        PortCase{"empty mode", R"(<port mode=""/>)", 1, ExpectedDcb(1, 8, kNoParity), kDefaultSetup},
        PortCase{"rtscontrol 1", R"(<port rtscontrol="1"/>)", 1, ExpectedDcb(4097, 8, kNoParity), kDefaultSetup},
        PortCase{"rtscontrol 2", R"(<port rtscontrol="2"/>)", 1, ExpectedDcb(8193, 8, kNoParity), kDefaultSetup},
        PortCase{"rtscontrol 3 with 9600E7", R"(<PORT RTSCONTROL="3" MODE="9600E7"/>)", 1,
                 ExpectedDcb(12289, 7, kEvenParity), kDefaultSetup},
        PortCase{"number, time-out and interval", R"(<port number="3" timeout="75" interval="5"/>)", 3,
                 ExpectedDcb(1, 8, kNoParity), {"SetState", "SetOption 0", "SetTimeout 75", "SetInterval 5"}}),
    [](const testing::TestParamInfo<PortCase>& info) { return "Case" + std::to_string(info.index); });

TEST(Serving, TheDefaultPauseBetweenPollsIsHalfASecond) {
    OperatorHost host;
    host.app.AddTank(7, 11);
    host.Answer(1);
    host.Load(Config(""));
    host.app.FireStart();
    // The first pass polls quickly; from the second pass on each poll is followed by the pause.
    ASSERT_TRUE(host.WaitUntil([&] { return host.PolledAddresses().size() >= 3; }));
    std::vector<ScriptedPort::Clock::time_point> polls;
    const std::vector<std::string> writes = host.port->Writes();
    const auto times = host.port->WriteTimes();
    for (std::size_t i = 0; i < writes.size(); ++i)
        if (writes[i][1] == 'L') polls.push_back(times[i]);
    EXPECT_GE(polls[2] - polls[1], milliseconds(500));
}

// ---- A port that is not there -------------------------------------------------------------------

// Answers every service request with a tank, which is no port provider.
class WrongServiceApplication : public TestOperatorApplication {
public:
    IInterface* GetService(std::int32_t owner, GUID iid, std::int32_t number) override {
        TestOperatorApplication::GetService(owner, iid, number);
        notAProvider.AddRef();
        return notAProvider.AsInterface();
    }
    TestTank notAProvider{99, 99};
};

TEST(Serving, AServiceThatIsNoPortProviderFailsTheLoadAndKeepsNothing) {
    LoadedModule library;
    WrongServiceApplication app;
    app.AddTank(7, 11);
    TestHost host(&app);
    TestLoadObserver observer;
    {
        const TempConfigFile config(Config(""));
        EXPECT_FALSE(library.Load(config.Path(), host.AsInterface(), &observer));
    }
    EXPECT_EQ(observer.Calls(), (std::vector<ObserverCall>{{"BeginLoad", {}}, {"LoadFailed", "Interface not supported"}}));
    EXPECT_EQ(0, app.notAProvider.Refs());
    // The gauge already handed over stays with the host, showing its initial state.
    ASSERT_EQ(1u, app.Registrations().size());
    EXPECT_EQ(Failure(10, "Инициализация"_cp),
              Read(IntfPtr<ITankState>::Adopt(app.Registrations()[0].Service.Query<ITankGauge>()->GetState()).get()));
    app.ReleaseModuleObjects();
    EXPECT_EQ(0, app.HeldReferences());
    EXPECT_EQ(0, host.Refs());
}

TEST(Serving, APortNumberTheHostDoesNotOfferFailsTheLoad) {
    LoadedModule library;
    TestOperatorApplication app;
    TestHost host(&app);
    TestLoadObserver observer;
    {
        const TempConfigFile config(Config(R"(<port number="2"/>)"));
        EXPECT_FALSE(library.Load(config.Path(), host.AsInterface(), &observer));
    }
    EXPECT_EQ(observer.Calls(), (std::vector<ObserverCall>{{"BeginLoad", {}}, {"LoadFailed", "Interface not supported"}}));
    EXPECT_EQ(0, app.HeldReferences());
    EXPECT_TRUE(app.Listeners().empty());
}

}  // namespace
}  // namespace levrano
