#include "VEQEngine/Session/MonitorStream.hpp"

#include <algorithm>

namespace veq {

MonitorStream::MonitorStream(std::size_t capacity) : capacity_(std::max<std::size_t>(capacity, 1)) {}

std::optional<std::string> MonitorStream::pop(std::chrono::nanoseconds timeout, std::stop_token stop) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, stop, timeout, [&] { return !lines_.empty() || finished_; });
    if (lines_.empty()) return std::nullopt;
    std::string line = std::move(lines_.front());
    lines_.pop_front();
    return line;
}

bool MonitorStream::finished() const {
    std::lock_guard lock(mutex_);
    return finished_;
}

std::uint64_t MonitorStream::droppedLines() const {
    std::lock_guard lock(mutex_);
    return dropped_;
}

void MonitorStream::push(std::string line) {
    {
        std::lock_guard lock(mutex_);
        if (finished_) return;
        if (lines_.size() == capacity_) {
            lines_.pop_front();
            ++dropped_;
        }
        lines_.push_back(std::move(line));
    }
    changed_.notify_all();
}

void MonitorStream::finish() {
    {
        std::lock_guard lock(mutex_);
        finished_ = true;
    }
    changed_.notify_all();
}

} // namespace veq
