#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <stop_token>
#include <thread>
#include <vector>

namespace veq {

// The model's worker threads. The GUI thread starts them and may cancel them, but never waits
// for one, except when the owner goes: the destructor asks every thread to stop and joins it.
// A thread's work must therefore return promptly once its stop token is requested, and must
// own (shared) everything it uses besides what it posts back to the GUI thread.
//
// Used from the owner's thread only.
class Workers {
public:
    // A started thread: its stop source, and whether it has returned.
    class Handle {
    public:
        Handle() = default;
        void cancel() { stop_.request_stop(); }
        bool running() const { return done_ && !done_->load(); }
        std::stop_token token() const { return stop_.get_token(); }

    private:
        friend class Workers;
        Handle(std::stop_source stop, std::shared_ptr<std::atomic<bool>> done)
            : stop_(std::move(stop)), done_(std::move(done)) {}

        std::stop_source stop_{std::nostopstate};
        std::shared_ptr<std::atomic<bool>> done_;
    };

    Workers() = default;
    ~Workers();
    Workers(const Workers&) = delete;
    Workers& operator=(const Workers&) = delete;

    // Runs `work` on a new thread with the token of `stop` (a fresh source when none is given),
    // so that several threads of one connection can be stopped together.
    Handle start(std::function<void(std::stop_token)> work, std::stop_source stop = {});

    // Asks every thread to stop and waits until each has returned.
    void stopAll();

private:
    struct Entry {
        std::stop_source stop;
        std::shared_ptr<std::atomic<bool>> done;
        std::thread thread;
    };

    // Joins the threads that have returned.
    void reap();

    std::vector<Entry> entries_;
};

} // namespace veq
