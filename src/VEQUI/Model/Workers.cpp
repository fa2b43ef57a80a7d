#include "VEQUI/Model/Workers.hpp"

#include <algorithm>

namespace veq {

Workers::~Workers() { stopAll(); }

Workers::Handle Workers::start(std::function<void(std::stop_token)> work, std::stop_source stop) {
    reap();
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([work = std::move(work), token = stop.get_token(), done] {
        work(token);
        done->store(true);
    });
    entries_.push_back({stop, done, std::move(thread)});
    return Handle(std::move(stop), std::move(done));
}

void Workers::stopAll() {
    for (Entry& entry : entries_) entry.stop.request_stop();
    for (Entry& entry : entries_) {
        if (entry.thread.joinable()) entry.thread.join();
    }
    entries_.clear();
}

void Workers::reap() {
    const auto finished = std::partition(entries_.begin(), entries_.end(), [](const Entry& e) { return !e.done->load(); });
    for (auto it = finished; it != entries_.end(); ++it) it->thread.join();
    entries_.erase(finished, entries_.end());
}

} // namespace veq
