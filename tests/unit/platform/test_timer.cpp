// The refresh timer: fires once per arming, on the creating thread, also when armed elsewhere.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <thread>

#include "platform/timer.h"

namespace levrano {
namespace {

// Runs the event loop until `done` or a generous limit.
template <typename Pred>
void PumpUntil(Pred done, int limitMs = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < limitMs) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

TEST(OneShotTimer, ArmedFromAnotherThreadFiresOnceOnCreatingThread) {
    int fired = 0;
    QThread* firedOn = nullptr;
    OneShotTimer timer(std::chrono::milliseconds(20), [&] {
        ++fired;
        firedOn = QThread::currentThread();
    });
    std::thread([&] { timer.Arm(); }).join();
    PumpUntil([&] { return fired > 0; });
    PumpUntil([] { return false; }, 100);  // no second delivery
    EXPECT_EQ(1, fired);
    EXPECT_EQ(QThread::currentThread(), firedOn);
}

TEST(OneShotTimer, DisarmCancelsAndDestructionDropsPendingArm) {
    int fired = 0;
    {
        OneShotTimer timer(std::chrono::milliseconds(10), [&] { ++fired; });
        timer.Arm();
        timer.Disarm();
        PumpUntil([] { return false; }, 60);
        EXPECT_EQ(0, fired);
        std::thread([&] { timer.Arm(); }).join();  // queued, then the timer goes away
    }
    PumpUntil([] { return false; }, 60);
    EXPECT_EQ(0, fired);
}

}  // namespace
}  // namespace levrano
