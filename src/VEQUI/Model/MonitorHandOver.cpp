#include "VEQUI/Model/MonitorHandOver.hpp"

#include <iterator>

namespace veq {

bool MonitorHandOver::push(std::vector<MonitorFrame>& batch, std::stop_token stop) {
    if (batch.empty()) return false;
    std::unique_lock lock(mutex_);
    // A batch larger than the whole capacity is let in alone.
    const bool room = roomMade_.wait(lock, stop, [&] { return frames_.empty() || frames_.size() + batch.size() <= capacity_; });
    if (!room) return false;
    frames_.insert(frames_.end(), std::make_move_iterator(batch.begin()), std::make_move_iterator(batch.end()));
    batch.clear();
    if (drainPosted_) return false;
    drainPosted_ = true;
    return true;
}

void MonitorHandOver::takeAll(std::vector<MonitorFrame>& out) {
    out.clear();
    {
        std::lock_guard lock(mutex_);
        out.swap(frames_);
        drainPosted_ = false;
    }
    roomMade_.notify_all();
}

} // namespace veq
