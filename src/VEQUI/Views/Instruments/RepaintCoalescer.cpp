#include "VEQUI/Views/Instruments/RepaintCoalescer.hpp"

namespace veq {

RepaintCoalescer::RepaintCoalescer(std::function<void()> refresh, QObject* parent)
    : QObject(parent), refresh_(std::move(refresh)) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(tickMilliseconds);
    connect(&timer_, &QTimer::timeout, this, &RepaintCoalescer::tick);
}

void RepaintCoalescer::request() {
    pending_ = true;
    schedule();
}

void RepaintCoalescer::addAnimation(Animation animation) { animations_.push_back(std::move(animation)); }

void RepaintCoalescer::wake() {
    moving_ = true;
    schedule();
}

void RepaintCoalescer::schedule() {
    if (!manual_ && !timer_.isActive()) timer_.start();
}

void RepaintCoalescer::tick() {
    if (pending_) {
        pending_ = false;
        refresh_(); // may wake animations: they take their first step below
    }
    if (!moving_) return;
    bool moving = false;
    for (const auto& animation : animations_) moving = animation() || moving;
    moving_ = moving;
    if (moving_) schedule();
}

void RepaintCoalescer::setManualTicks(bool manual) {
    manual_ = manual;
    if (manual_) {
        timer_.stop();
    } else if (pending_ || moving_) {
        timer_.start();
    }
}

} // namespace veq
