#include "VEQUI/Views/Gauges/DampedSpring.hpp"

#include <cmath>
#include <numbers>

namespace veq {

DampedSpring DampedSpring::withResponse(double response, double dampingFraction) {
    const double omega = 2 * std::numbers::pi / response;
    return DampedSpring(omega * omega, 2 * dampingFraction * omega);
}

void DampedSpring::step(double target, double dt) {
    velocity_ += (-damping_ * velocity_ - stiffness_ * (position_ - target)) * dt;
    position_ += velocity_ * dt;
}

void DampedSpring::reset(double position) {
    position_ = position;
    velocity_ = 0;
}

bool DampedSpring::isSettled(double target) const {
    return std::abs(position_ - target) < 1e-4 && std::abs(velocity_) < 1e-3;
}

} // namespace veq
