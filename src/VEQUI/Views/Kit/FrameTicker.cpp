#include "VEQUI/Views/Kit/FrameTicker.hpp"

namespace veq {

FrameTicker::FrameTicker(std::function<void()> step) {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(periodMilliseconds);
    QObject::connect(&timer_, &QTimer::timeout, std::move(step));
}

void FrameTicker::setClock(std::function<void()> wake) {
    wakeClock_ = std::move(wake);
    if (wakeClock_ && timer_.isActive()) {
        timer_.stop();
        wakeClock_();
    }
}

void FrameTicker::wake() {
    if (wakeClock_) {
        wakeClock_();
    } else if (!timer_.isActive()) {
        timer_.start();
    }
}

} // namespace veq
