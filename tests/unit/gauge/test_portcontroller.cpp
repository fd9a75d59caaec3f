// The polling thread: order of the polls, the pauses between them, and the ways it stops.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>

#include "gauge/portcontroller.h"
#include "support/scripted_port.h"

namespace levrano {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// What the sensors of one controller did, in order, with the time of each poll.
class Log {
public:
    struct Event {
        std::string what;  // "A" for a poll of A, "~A" for its destruction
        Clock::time_point at;
    };

    void Add(const std::string& what) {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            events_.push_back({what, Clock::now()});
        }
        changed_.notify_all();
    }
    // Waits until `count` events are logged (ample time: a missing event fails the test).
    bool WaitFor(std::size_t count) {
        std::unique_lock<std::mutex> guard(mutex_);
        return changed_.wait_for(guard, std::chrono::seconds(10), [&] { return events_.size() >= count; });
    }
    std::vector<Event> Events() {
        std::lock_guard<std::mutex> guard(mutex_);
        return events_;
    }
    std::vector<std::string> Names() {
        std::vector<std::string> names;
        for (const Event& e : Events()) names.push_back(e.what);
        return names;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Event> events_;
};

class LoggingSensor : public TSensor {
public:
    LoggingSensor(TController* owner, Log& log, std::string name) : TSensor(owner), log_(log), name_(std::move(name)) {}
    ~LoggingSensor() override { log_.Add("~" + name_); }
    void Poll() override {
        if (beforePoll) beforePoll();
        log_.Add(name_);
    }
    std::function<void()> beforePoll;

private:
    Log& log_;
    std::string name_;
};

// A controller whose AddSensor makes logging sensors named A, B, C, ...
struct Line {
    explicit Line(int sensors) {
        for (int i = 0; i < sensors; ++i) static_cast<void>(controller->AddSensor());
    }
    LoggingSensor& Sensor(int index) { return *static_cast<LoggingSensor*>(controller->Sensor(index)); }

    Log log;
    std::unique_ptr<TController> controller = std::make_unique<TController>([this](TController* owner) {
        const std::string name(1, static_cast<char>('A' + named_++));
        return std::make_unique<LoggingSensor>(owner, log, name);
    });
    IntfPtr<test::ScriptedPort> port = IntfPtr<test::ScriptedPort>::Adopt(NewCounted<test::ScriptedPort>());

private:
    int named_ = 0;
};

std::int32_t References(IInterface* object) {
    object->AddRef();
    return object->Release();
}

TEST(Controller, PollsInListOrderTenMillisecondsApartThenDelayApart) {
    Line line(3);
    line.controller->Delay = 300;
    line.controller->Start(line.port.get());
    ASSERT_TRUE(line.log.WaitFor(7));
    line.controller->Stop();

    const auto events = line.log.Events();
    const auto names = line.log.Names();
    const std::vector<std::string> order = {"A", "B", "C", "A", "B", "C", "A"};
    ASSERT_EQ(order, std::vector<std::string>(names.begin(), names.begin() + 7));
    for (int i = 1; i < 7; ++i) {
        const auto gap = events[i].at - events[i - 1].at;
        if (i <= 3) {  // after A, B and C of the first pass
            EXPECT_GE(gap, milliseconds(10)) << "first pass, poll " << i;
            EXPECT_LT(gap, milliseconds(250)) << "first pass, poll " << i << ": the pause is not Delay";
        } else {
            EXPECT_GE(gap, milliseconds(300)) << "later pass, poll " << i;
        }
    }
}

TEST(Controller, DelayZeroPollsBackToBackInOrder) {
    Line line(2);
    line.controller->Start(line.port.get());
    ASSERT_TRUE(line.log.WaitFor(20));
    line.controller->Stop();
    const auto names = line.log.Names();
    for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(i % 2 ? "B" : "A", names[i]) << i;
}

TEST(Controller, StopDuringALaterPassEndsAfterThePollInProgress) {
    Line line(2);
    line.controller->Delay = 60'000;
    line.controller->Start(line.port.get());
    ASSERT_TRUE(line.log.WaitFor(3));  // A, B, then A of the second pass, now waiting its Delay
    line.controller->Stop();
    EXPECT_EQ((std::vector<std::string>{"A", "B", "A"}), line.log.Names());
}

TEST(Controller, StopDuringTheFirstPassStillPollsEverySensorOnce) {
    Line line(3);
    line.controller->Delay = 60'000;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::promise<void> started;
    line.Sensor(0).beforePoll = [&] {
        started.set_value();
        released.wait();
    };
    line.controller->Start(line.port.get());
    started.get_future().wait();
    auto stopping = std::async(std::launch::async, [&] { line.controller->Stop(); });
    // Ordering only: the stop request is in before A's poll ends.
    std::this_thread::sleep_for(milliseconds(200));
    release.set_value();
    stopping.get();
    EXPECT_EQ((std::vector<std::string>{"A", "B", "C"}), line.log.Names());
}

TEST(Controller, StartTwiceKeepsTheFirstPortOnly) {
    Line line(1);
    auto other = IntfPtr<test::ScriptedPort>::Adopt(NewCounted<test::ScriptedPort>());
    const std::int32_t otherRefs = References(other.get());
    line.controller->Start(line.port.get());
    line.controller->Start(other.get());
    EXPECT_EQ(line.port.get(), line.controller->Port());
    EXPECT_EQ(otherRefs, References(other.get()));
    line.controller->Stop();
}

TEST(Controller, StopWithoutStartOrTwiceDoesNothing) {
    Line line(1);
    line.controller->Stop();
    EXPECT_TRUE(line.log.Names().empty());
    const std::int32_t refs = References(line.port.get());
    line.controller->Start(line.port.get());
    EXPECT_EQ(refs + 1, References(line.port.get()));
    line.controller->Stop();
    line.controller->Stop();
    EXPECT_EQ(refs, References(line.port.get())) << "the port is released by the first Stop";
    EXPECT_EQ(nullptr, line.controller->Port());
}

TEST(Controller, WithoutSensorsTheThreadEndsAndStopReleasesThePort) {
    Line line(0);
    const std::int32_t refs = References(line.port.get());
    line.controller->Start(line.port.get());
    EXPECT_EQ(line.port.get(), line.controller->Port()) << "kept until Stop";
    line.controller->Stop();
    EXPECT_EQ(refs, References(line.port.get()));
}

TEST(Controller, DestroyingARunningControllerStopsPollingBeforeFreeingSensors) {
    Line line(3);
    for (int i = 0; i < 3; ++i) line.Sensor(i).beforePoll = [] { std::this_thread::sleep_for(milliseconds(15)); };
    line.controller->Start(line.port.get());
    ASSERT_TRUE(line.log.WaitFor(4));
    line.controller.reset();

    const auto names = line.log.Names();
    const auto firstGone = std::find(names.begin(), names.end(), "~A");
    ASSERT_NE(names.end(), firstGone);
    EXPECT_EQ((std::vector<std::string>{"~A", "~B", "~C"}), std::vector<std::string>(firstGone, names.end()))
        << "no poll after the first sensor is freed, and sensors freed in list order";
}

TEST(Controller, ASensorThatThrowsDoesNotEndPolling) {
    Line line(2);
    line.Sensor(0).beforePoll = [] { throw std::runtime_error("unexpected"); };
    line.controller->Start(line.port.get());
    ASSERT_TRUE(line.log.WaitFor(2));
    line.controller->Stop();
    for (const std::string& name : line.log.Names()) EXPECT_EQ("B", name);
}

TEST(Controller, HooksRunAroundEveryPoll) {
    class HookedController : public TController {
    public:
        HookedController(SensorClass c, Log& log) : TController(std::move(c)), log_(log) {}

    protected:
        void BeforePoll(TSensor*) override { log_.Add("before"); }
        void AfterPoll(TSensor*) override { log_.Add("after"); }

    private:
        Log& log_;
    };
    Log log;
    HookedController controller([&](TController* owner) { return std::make_unique<LoggingSensor>(owner, log, "A"); }, log);
    controller.AddSensor();
    controller.Start(nullptr);
    ASSERT_TRUE(log.WaitFor(6));
    controller.Stop();
    const auto names = log.Names();
    for (std::size_t i = 0; i + 2 < 6; i += 3)
        EXPECT_EQ((std::vector<std::string>{"before", "A", "after"}), std::vector<std::string>(names.begin() + i, names.begin() + i + 3));
}

}  // namespace
}  // namespace levrano
