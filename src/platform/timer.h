// A one-shot timer delivered on the thread that created it (the user-interface thread), armable
// from any thread.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace levrano {

class OneShotTimer {
public:
    // Must be created on the thread whose event loop runs the handler.
    OneShotTimer(std::chrono::milliseconds interval, std::function<void()> handler);
    ~OneShotTimer();  // on the creating thread; a pending arm from another thread is dropped
    OneShotTimer(const OneShotTimer&) = delete;
    OneShotTimer& operator=(const OneShotTimer&) = delete;

    // Starts the interval; from another thread the start is handed to the timer's thread.
    // Callers keep their own "armed" flag, so that arming an armed timer changes nothing.
    void Arm();
    // Cancels a started interval; on the creating thread only.
    void Disarm();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace levrano
