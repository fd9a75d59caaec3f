#include "platform/timer.h"

#include <QMetaObject>
#include <QThread>
#include <QTimer>

namespace levrano {

struct OneShotTimer::Impl {
    QTimer timer;
};

OneShotTimer::OneShotTimer(std::chrono::milliseconds interval, std::function<void()> handler)
    : impl_(std::make_unique<Impl>()) {
    impl_->timer.setSingleShot(true);
    impl_->timer.setTimerType(Qt::PreciseTimer);
    impl_->timer.setInterval(static_cast<int>(interval.count()));
    QObject::connect(&impl_->timer, &QTimer::timeout, &impl_->timer, std::move(handler));
}

OneShotTimer::~OneShotTimer() = default;

void OneShotTimer::Arm() {
    QTimer* timer = &impl_->timer;
    if (QThread::currentThread() == timer->thread()) {
        timer->start();
        return;
    }
    // Queued with the timer as context: dropped if the timer is gone before it is delivered.
    QMetaObject::invokeMethod(timer, [timer] { timer->start(); }, Qt::QueuedConnection);
}

void OneShotTimer::Disarm() { impl_->timer.stop(); }

}  // namespace levrano
