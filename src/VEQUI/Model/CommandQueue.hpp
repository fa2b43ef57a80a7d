#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <stop_token>

namespace veq {

// Jobs run one after the other, in the order they were queued, by one consumer thread: so that
// commands issued in quick succession (a start mark, then its end) reach their object in call
// order. Thread-safe.
class CommandQueue {
public:
    using Job = std::function<void(std::stop_token)>;

    // Jobs queued after close() are dropped.
    void enqueue(Job job);
    // Jobs already queued still run; the consumer returns once they have.
    void close();

    // The consumer's loop: returns when closed and empty, or when `stop` is requested (jobs not
    // yet started are then dropped). Each job receives `stop`.
    void run(std::stop_token stop);

private:
    std::mutex mutex_;
    std::condition_variable_any changed_;
    std::deque<Job> jobs_;
    bool closed_ = false;
};

} // namespace veq
