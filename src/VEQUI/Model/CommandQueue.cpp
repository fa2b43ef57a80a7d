#include "VEQUI/Model/CommandQueue.hpp"

namespace veq {

void CommandQueue::enqueue(Job job) {
    {
        std::lock_guard lock(mutex_);
        if (closed_) return;
        jobs_.push_back(std::move(job));
    }
    changed_.notify_all();
}

void CommandQueue::close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    changed_.notify_all();
}

void CommandQueue::run(std::stop_token stop) {
    while (true) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            if (!changed_.wait(lock, stop, [&] { return closed_ || !jobs_.empty(); })) return;
            if (jobs_.empty()) return; // closed and done
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        job(stop);
    }
}

} // namespace veq
