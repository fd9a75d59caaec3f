#include "gauge/portcontroller.h"

#include <chrono>

namespace levrano {

namespace {

using std::chrono::milliseconds;

// Pause after each poll of the first pass, so that every probe answers once soon after start-up.
constexpr milliseconds kFirstPassPause{10};

}  // namespace

TController::TController(SensorClass sensorClass) : sensorClass_(std::move(sensorClass)) {}

TController::~TController() {
    Stop();
    // The thread has ended: nothing polls any more, so the sensors go in list order.
    for (auto& sensor : sensors_) sensor.reset();
}

TSensor* TController::AddSensor() {
    sensors_.push_back(sensorClass_(this));
    return sensors_.back().get();
}

std::int32_t TController::SensorCount() const { return static_cast<std::int32_t>(sensors_.size()); }

TSensor* TController::Sensor(std::int32_t index) const {
    if (index < 0 || index >= SensorCount()) return nullptr;
    return sensors_[static_cast<std::size_t>(index)].get();
}

void TController::Start(ICPort* port) {
    if (thread_.joinable()) return;
    port_ = IntfPtr<ICPort>::Borrow(port);  // stored before the thread exists: it always finds it
    thread_ = std::thread(&TController::Execute, this);
}

void TController::Stop() {
    if (!thread_.joinable()) return;
    stopEvent_.Set();
    Sleep(kFirstPassPause);
    thread_.join();
    port_.Reset();
}

void TController::BeforePoll(TSensor*) {}

void TController::AfterPoll(TSensor*) {}

void TController::Execute() {
    if (SensorCount() == 0) return;
    bool firstPass = true;
    while (!stopEvent_.Wait(milliseconds{0})) {
        const std::int32_t count = SensorCount();
        for (std::int32_t i = 0; i < count; ++i) {
            TSensor* sensor = Sensor(i);
            // Line problems never leave Poll; anything else must not end the thread (and the
            // host with it): that sensor keeps its last record and the next one is polled.
            try {
                BeforePoll(sensor);
                sensor->Poll();
                AfterPoll(sensor);
            } catch (...) {
            }
            if (firstPass) {
                // A stop request only shortens the remaining pauses: every sensor is read once.
                stopEvent_.Wait(kFirstPassPause);
            } else if (stopEvent_.Wait(milliseconds{Delay})) {
                break;
            }
        }
        firstPass = false;
    }
}

}  // namespace levrano
