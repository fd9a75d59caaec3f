// Polls the devices of one serial line, one after the other, on one background thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "common/intf_ptr.h"
#include "host/cportIntf.h"
#include "platform/event.h"

namespace levrano {

class TController;

// Base of every polled device: a lock over its measurement fields and its controller.
class TSensor {
public:
    explicit TSensor(TController* owner) : owner_(owner) {}
    virtual ~TSensor() = default;
    TSensor(const TSensor&) = delete;
    TSensor& operator=(const TSensor&) = delete;

    // One measurement cycle; called only by the controller's polling thread.
    virtual void Poll() = 0;

    void Lock() { lock_.lock(); }
    void Unlock() { lock_.unlock(); }
    TController* Owner() const { return owner_; }

private:
    std::mutex lock_;
    TController* owner_;
};

// Makes the concrete sensor that AddSensor appends (the "sensor class" of the controller).
using SensorClass = std::function<std::unique_ptr<TSensor>(TController* owner)>;

class TController {
public:
    explicit TController(SensorClass sensorClass);
    // Stops the thread first, then frees the sensors in list order.
    virtual ~TController();
    TController(const TController&) = delete;
    TController& operator=(const TController&) = delete;

    // Sensors are added before Start only.
    TSensor* AddSensor();
    std::int32_t SensorCount() const;
    TSensor* Sensor(std::int32_t index) const;

    // Starts the polling thread unless one exists (then the port passed is not kept).
    void Start(ICPort* port);
    // Sets the stop event and joins the thread (seen only between polls); releases the port.
    void Stop();

    // The port while polling runs; the thread always finds it set.
    ICPort* Port() const { return port_.get(); }

    // Pause after each poll from the second pass on, in milliseconds.
    std::int32_t Delay = 0;

protected:
    virtual void BeforePoll(TSensor* sensor);
    virtual void AfterPoll(TSensor* sensor);

private:
    void Execute();

    SensorClass sensorClass_;
    std::vector<std::unique_ptr<TSensor>> sensors_;
    ManualResetEvent stopEvent_;
    std::thread thread_;
    IntfPtr<ICPort> port_;
};

}  // namespace levrano
