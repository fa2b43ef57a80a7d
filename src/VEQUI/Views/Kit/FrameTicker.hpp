#pragma once

#include <QTimer>

#include <functional>

namespace veq {

// Where an animated view's frames come from: the owner's display tick once it hands one over (a
// wake callback; the owner then steps the view on each tick while it moves), else a 1/60 s timer
// of the view's own.
class FrameTicker {
public:
    // The time one frame steps the view's motion, in seconds.
    static constexpr double interval = 1.0 / 60.0;
    // The time between two ticks of the own timer, whole milliseconds. Ticks come late or not at
    // all on a busy machine: what shows time itself measures it rather than counting ticks.
    static constexpr int periodMilliseconds = 16;

    // `step` runs on each tick of the own timer.
    explicit FrameTicker(std::function<void()> step);

    // Hands the ticks over to the owner's clock; a running own timer hands over at once.
    void setClock(std::function<void()> wake);
    // The view has started to move: wakes the clock, or starts the own timer.
    void wake();
    // The view has stopped: the own timer stops (the owner's clock stops by itself).
    void stop() { timer_.stop(); }
    // Whether the own timer runs.
    bool running() const { return timer_.isActive(); }

private:
    QTimer timer_;
    std::function<void()> wakeClock_;
};

} // namespace veq
