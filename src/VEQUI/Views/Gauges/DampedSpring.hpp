#pragma once

namespace veq {

// A needle's motion towards a target: x'' = -stiffness (x - target) - damping x', stepped with a
// fixed time step, velocity first and then position (semi-implicit Euler, stable at 60 Hz).
class DampedSpring {
public:
    DampedSpring(double stiffness, double damping) : stiffness_(stiffness), damping_(damping) {}

    // The spring that settles in about `response` seconds: natural frequency 2 pi / response,
    // `dampingFraction` 1 for no overshoot.
    static DampedSpring withResponse(double response, double dampingFraction);

    void step(double target, double dt);
    // Puts the needle at `position`, at rest.
    void reset(double position);
    // True once the needle sits on `target` to well under a pixel and has stopped.
    bool isSettled(double target) const;

    double position() const { return position_; }
    double velocity() const { return velocity_; }

private:
    double stiffness_;
    double damping_;
    double position_ = 0;
    double velocity_ = 0;
};

} // namespace veq
