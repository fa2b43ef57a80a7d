#pragma once

#include <QObject>
#include <QTimer>

#include <functional>
#include <vector>

namespace veq {

// The display tick of a live screen, about 1/60 s. It gathers the change notices (samples
// arrive far faster than a display shows them) into at most one refresh per tick, and steps
// the screen's animations (needle and gear springs, rolling digits) on the same tick, so that
// the screen paints at most once per tick. The first notice after a quiet spell starts the
// ticks; they stop once nothing is stale and nothing moves.
class RepaintCoalescer : public QObject {
public:
    static constexpr int tickMilliseconds = 16;
    // One frame of an animation; true while it still moves.
    using Animation = std::function<bool()>;

    explicit RepaintCoalescer(std::function<void()> refresh, QObject* parent = nullptr);

    // Something the screen shows has changed.
    void request();
    // Steps `animation` on every tick from now on, while woken.
    void addAnimation(Animation animation);
    // An animation has started moving.
    void wake();
    // Refreshes when something changed since the last refresh, then steps the animations (the
    // timer's work).
    void tick();
    bool pending() const { return pending_; }
    // Whether an animation still moves: the ticks go on while it does.
    bool animating() const { return moving_; }

    // Tests drive the ticks themselves: the timer then never starts.
    void setManualTicks(bool manual);

private:
    void schedule();

    std::function<void()> refresh_;
    std::vector<Animation> animations_;
    QTimer timer_;
    bool pending_ = false;
    bool moving_ = false;
    bool manual_ = false;
};

} // namespace veq
