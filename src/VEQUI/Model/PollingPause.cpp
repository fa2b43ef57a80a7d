#include "VEQUI/Model/PollingPause.hpp"

#include "VEQEngine/Session/TelemetryEngine.hpp"

#include <utility>

namespace veq {

PollingPause::Lease& PollingPause::Lease::operator=(Lease&& other) noexcept {
    if (this != &other) {
        release();
        owner_ = std::move(other.owner_);
    }
    return *this;
}

void PollingPause::Lease::release() {
    if (auto owner = std::exchange(owner_, nullptr)) owner->end();
}

PollingPause::PollingPause(std::shared_ptr<TelemetryEngine> engine) : engine_(std::move(engine)) {}

PollingPause::Lease PollingPause::hold() {
    {
        // The engine's pause is taken under the count's lock, so that a lease ending on another
        // thread cannot resume between the count and the pause.
        std::lock_guard lock(mutex_);
        if (holders_++ == 0 && engine_) engine_->pause();
    }
    return Lease(shared_from_this());
}

bool PollingPause::isPaused() const {
    std::lock_guard lock(mutex_);
    return holders_ > 0;
}

void PollingPause::end() {
    std::lock_guard lock(mutex_);
    if (--holders_ == 0 && engine_) engine_->resume();
}

} // namespace veq
