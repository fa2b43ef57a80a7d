#include "VEQEngine/Trip/MotionProvider.hpp"

namespace veq {

void MotionProvider::start() {
    if (unavailable_ == unavailableMessage) return;
    unavailable_ = unavailableMessage;
    announce();
}

void MotionProvider::stop() {
    if (!isRunning_) return;
    isRunning_ = false;
    announce();
}

void MotionProvider::announce() const {
    if (onUpdate) onUpdate();
}

} // namespace veq
