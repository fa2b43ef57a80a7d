#include "VEQEngine/Session/MonitorStream.hpp"

namespace veq {

MonitorStream::MonitorStream(std::size_t capacityBytes) : capacity_(capacityBytes) {}

std::optional<std::string> MonitorStream::pop(std::chrono::nanoseconds timeout, std::stop_token stop) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, stop, timeout, [&] { return !lines_.empty() || finished_; });
    if (lines_.empty()) return std::nullopt;
    std::string line = std::move(lines_.front());
    lines_.pop_front();
    memory_ -= line.size() + lineOverheadBytes;
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

std::size_t MonitorStream::bufferedLines() const {
    std::lock_guard lock(mutex_);
    return lines_.size();
}

std::size_t MonitorStream::bufferedMemory() const {
    std::lock_guard lock(mutex_);
    return memory_;
}

void MonitorStream::push(std::string line) {
    {
        std::lock_guard lock(mutex_);
        if (finished_) return;
        const std::size_t cost = line.size() + lineOverheadBytes;
        while (!lines_.empty() && memory_ + cost > capacity_) {
            memory_ -= lines_.front().size() + lineOverheadBytes;
            lines_.pop_front();
            ++dropped_;
        }
        memory_ += cost;
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
