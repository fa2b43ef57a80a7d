#pragma once

#include "VEQUI/Model/MonitorLine.hpp"

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <stop_token>
#include <vector>

namespace veq {

// The frames read by the bus monitor's thread on their way to the GUI thread, in batches. The
// queue is bounded: a producer that finds it full waits until the GUI thread has taken what was
// there (meanwhile the adapter's own line stream holds, and past its bound drops, what arrives).
// The producer is told when to post a drain, so that at most one waits in the event queue.
// Thread-safe.
class MonitorHandOver {
public:
    static constexpr std::size_t defaultCapacity = 4096;

    explicit MonitorHandOver(std::size_t capacity = defaultCapacity) : capacity_(capacity) {}
    MonitorHandOver(const MonitorHandOver&) = delete;
    MonitorHandOver& operator=(const MonitorHandOver&) = delete;

    // Queues the batch (emptied) once there is room. Returns true when the caller must post a
    // drain to the consumer; false when none is needed, or when `stop` was requested first (the
    // batch is then dropped).
    bool push(std::vector<MonitorFrame>& batch, std::stop_token stop);

    // Everything queued, oldest first, into `out` (cleared first); the next push asks for a drain.
    void takeAll(std::vector<MonitorFrame>& out);

private:
    const std::size_t capacity_;
    std::mutex mutex_;
    std::condition_variable_any roomMade_;
    std::vector<MonitorFrame> frames_;
    bool drainPosted_ = false;
};

} // namespace veq
