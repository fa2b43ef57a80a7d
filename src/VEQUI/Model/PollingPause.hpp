#pragma once

#include <memory>
#include <mutex>

namespace veq {

class TelemetryEngine;

// The pauses of one polling engine, counted. Each tool that needs the adapter to itself (a data
// identifier scan or watch, the bus monitor) holds a lease while it runs: the first lease pauses
// polling and the last one to end resumes it, so one tool ending never restarts polling under
// another that still runs. Thread-safe.
class PollingPause : public std::enable_shared_from_this<PollingPause> {
public:
    // Ends its hold when it goes (or at release()), whichever thread that happens on.
    class Lease {
    public:
        Lease() = default;
        Lease(Lease&& other) noexcept = default;
        Lease& operator=(Lease&& other) noexcept;
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        ~Lease() { release(); }

        void release();

    private:
        friend class PollingPause;
        explicit Lease(std::shared_ptr<PollingPause> owner) : owner_(std::move(owner)) {}
        std::shared_ptr<PollingPause> owner_;
    };

    // Nothing to pause without an engine; leases are then only counted.
    explicit PollingPause(std::shared_ptr<TelemetryEngine> engine);

    // Pauses polling unless a lease holds it paused already.
    Lease hold();
    // A lease on `pause`, or an empty one when there is none (nothing polls).
    static Lease hold(const std::shared_ptr<PollingPause>& pause) { return pause ? pause->hold() : Lease(); }
    bool isPaused() const;

private:
    void end();

    const std::shared_ptr<TelemetryEngine> engine_;
    mutable std::mutex mutex_;
    int holders_ = 0;
};

} // namespace veq
