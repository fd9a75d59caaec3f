// A manual-reset event: once set it stays set; waits may time out.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace levrano {

class ManualResetEvent {
public:
    void Set() {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            set_ = true;
        }
        cv_.notify_all();
    }
    // True when the event is set, false when the time ran out.
    bool Wait(std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> guard(mutex_);
        return cv_.wait_for(guard, timeout, [this] { return set_; });
    }
    bool IsSet() {
        std::lock_guard<std::mutex> guard(mutex_);
        return set_;
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool set_ = false;
};

// Pauses the calling thread.
void Sleep(std::chrono::milliseconds duration);

}  // namespace levrano
