// The host's serial port service on a real pseudo-terminal, with the test at the device's end.
#include <gtest/gtest.h>

#include <future>
#include <stdexcept>
#include <system_error>

#include "line_fixture.h"
#include "serial/port_map.h"
#include "serial/port_status.h"
#include "support/pty_pair.h"

namespace levrano::test {
namespace {

using std::chrono::milliseconds;

struct ReadResult {
    bool ok;
    std::int32_t received;
    std::uint8_t byte;
    std::string text;
};

ReadResult ReadOne(ICPort* port) {
    ReadResult r{false, -1, 0, {}};
    const auto status = IntfPtr<IStatus>::Adopt(port->Read(1, &r.byte, 1, &r.received));
    r.ok = status && status->IsOk();
    char text[serial::PortStatus::kTextRoom];
    if (status) r.text = status->GetText(text);
    return r;
}

class TermiosPortTest : public ::testing::Test {
protected:
    TermiosPortTest() {
        port->SetState(MakeDcb(8, kNoParity));
        port->SetTimeout(50);
    }

    PtyPair pty;
    IntfPtr<ICPort> port = IntfPtr<ICPort>::Adopt(serial::OpenPortProvider(pty.SlavePath())->GetPort());
};

TEST_F(TermiosPortTest, WritesReachTheDeviceAndItsBytesAreReadOneByOne) {
    const auto written = IntfPtr<IStatus>::Adopt(port->Write("\x02L05\x03H", 6));
    EXPECT_TRUE(written->IsOk());
    EXPECT_EQ("\x02L05\x03H", pty.Receive(6, milliseconds(2000)));

    pty.Send("\x02\xC1");
    ReadResult first = ReadOne(port.get()), second = ReadOne(port.get());
    EXPECT_TRUE(first.ok && first.received == 1 && first.byte == 0x02);
    EXPECT_TRUE(second.ok && second.received == 1 && second.byte == 0xC1) << "8-bit frames keep bit 7";
}

TEST_F(TermiosPortTest, ReadWithoutInputFailsAfterTheTimeOut) {
    const auto start = std::chrono::steady_clock::now();
    const ReadResult r = ReadOne(port.get());
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(0, r.received);
    EXPECT_EQ("time-out", r.text);
    EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(50));
}

TEST_F(TermiosPortTest, ByteArrivingWithinTheTimeOutIsRead) {
    port->SetTimeout(5000);
    auto later = std::async(std::launch::async, [&] {
        std::this_thread::sleep_for(milliseconds(100));
        pty.Send("x");
    });
    const ReadResult r = ReadOne(port.get());
    EXPECT_TRUE(r.ok);
    EXPECT_EQ('x', r.byte);
}

TEST_F(TermiosPortTest, PurgeDropsInputThatArrivedBefore) {
    pty.Send("stale");
    std::this_thread::sleep_for(milliseconds(50));  // let the bytes reach the slave's queue
    port->Purge();
    pty.Send("n");
    const ReadResult r = ReadOne(port.get());
    EXPECT_TRUE(r.ok);
    EXPECT_EQ('n', r.byte);
}

TEST_F(TermiosPortTest, SevenBitFramesDropTheBitAboveTheData) {
    for (std::uint8_t parity : {kEvenParity, kOddParity}) {
        port->SetState(MakeDcb(7, parity));
        pty.Send("\x82\xB5");
        const ReadResult stx = ReadOne(port.get());
        EXPECT_EQ(0x02, stx.byte) << stx.text;
        EXPECT_EQ(0x35, ReadOne(port.get()).byte);
    }
}

TEST_F(TermiosPortTest, EveryRtsControlIsAcceptedOnAPseudoTerminal) {
    for (std::uint32_t rts : {0u, 1u, 2u, 3u}) {
        port->SetState(MakeDcb(8, kNoParity, rts));
        pty.Send("r");
        const ReadResult r = ReadOne(port.get());
        EXPECT_TRUE(r.ok) << "RTS control " << rts << ": " << r.text;
    }
}

TEST_F(TermiosPortTest, RefusedSettingsFailEveryReadAndWriteUntilGoodOnesCome) {
    DCB nineBits = MakeDcb(8, kNoParity);
    nineBits.ByteSize = 9;
    port->SetState(nineBits);
    pty.Send("z");
    const ReadResult refused = ReadOne(port.get());
    EXPECT_FALSE(refused.ok);
    EXPECT_NE(std::string::npos, refused.text.find("byte size")) << refused.text;
    EXPECT_FALSE(IntfPtr<IStatus>::Adopt(port->Write("x", 1))->IsOk());

    port->SetState(MakeDcb(8, kNoParity));
    EXPECT_TRUE(ReadOne(port.get()).ok);
}

TEST_F(TermiosPortTest, LockHoldsOffAnotherUserUntilUnlock) {
    port->Lock();
    std::atomic<bool> entered{false};
    auto other = std::async(std::launch::async, [&] {
        port->Lock();
        entered = true;
        port->Unlock();
    });
    EXPECT_EQ(std::future_status::timeout, other.wait_for(milliseconds(100)));
    EXPECT_FALSE(entered);
    port->Unlock();
    other.get();
    EXPECT_TRUE(entered);
}

TEST(TermiosPort, MissingDeviceIsAnErrorNamingIt) {
    try {
        serial::OpenPortProvider("/dev/levrano-no-such-port");
        FAIL() << "no error";
    } catch (const std::system_error& e) {
        EXPECT_NE(std::string::npos, std::string(e.what()).find("/dev/levrano-no-such-port"));
    }
}

TEST(TermiosPort, ProviderHandsOutTheSamePortWithAReferenceEach) {
    PtyPair pty;
    const auto provider = serial::OpenPortProvider(pty.SlavePath());
    auto first = IntfPtr<ICPort>::Adopt(provider->GetPort());
    auto second = IntfPtr<ICPort>::Adopt(provider->GetPort());
    EXPECT_EQ(first.get(), second.get());
    EXPECT_TRUE(first.Query<ICPort>());
}

TEST(PortStatus, TextIsCutToTheRoomCallersGive) {
    const auto status = IntfPtr<IStatus>::Adopt(serial::PortStatus::Failed(5, std::string(100, 'e')));
    char text[serial::PortStatus::kTextRoom + 10];
    std::memset(text, '#', sizeof text);
    status->GetText(text);
    EXPECT_EQ(std::string(serial::PortStatus::kTextRoom - 1, 'e'), std::string(text));
    EXPECT_EQ(5, status->GetCode());
    EXPECT_FALSE(status->IsOk());
}

TEST(PortMap, MapsNumbersToDevices) {
    serial::PortMap map;
    map.Add("1=/dev/ttyUSB0");
    map.Add("12=/dev/pts/3");
    ASSERT_NE(nullptr, map.Find(1));
    EXPECT_EQ("/dev/ttyUSB0", *map.Find(1));
    EXPECT_EQ("/dev/pts/3", *map.Find(12));
    EXPECT_EQ(nullptr, map.Find(2));
}

TEST(PortMap, BadMappingsAreRefusedWithTheirReason) {
    struct Case {
        const char* text;
        const char* reason;
    };
    const Case cases[] = {
        {"/dev/ttyUSB0", "no '='"},         {"=/dev/ttyUSB0", "not a decimal integer"},
        {"x=/dev/ttyUSB0", "not a decimal integer"}, {"-1=/dev/ttyUSB0", "not a decimal integer"},
        {"1 =/dev/ttyUSB0", "not a decimal integer"}, {"99999999999=/dev/x", "not a decimal integer"},
        {"1=", "no device"},                 {"1=/dev/other", "already mapped"},
    };
    serial::PortMap map;
    map.Add("1=/dev/ttyUSB0");
    for (const Case& c : cases) {
        try {
            map.Add(c.text);
            ADD_FAILURE() << c.text << " was accepted";
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(std::string::npos, std::string(e.what()).find(c.reason)) << c.text << ": " << e.what();
        }
    }
    EXPECT_EQ("/dev/ttyUSB0", *map.Find(1)) << "a refused mapping changes nothing";
}

}  // namespace
}  // namespace levrano::test
