#include "VEQUI/Model/SampleIntake.hpp"

#include <algorithm>

namespace veq {

SampleIntake::SampleIntake(std::size_t capacity) : capacity_(std::max<std::size_t>(capacity, 1)) {
    items_.reserve(capacity_);
}

bool SampleIntake::push(const Item& item, std::stop_token stop) {
    std::unique_lock lock(mutex_);
    const auto stale = [&] { return accepted_ != item.generation; };
    while (!stale() && items_.size() >= capacity_) {
        if (stop.stop_requested()) return false;
        roomMade_.wait_for(lock, stop, recheckInterval,
                           [&] { return stale() || items_.size() < capacity_; });
    }
    if (stale()) return false;
    items_.push_back(item);
    return true;
}

void SampleIntake::accept(std::optional<std::uint64_t> generation) {
    {
        std::lock_guard lock(mutex_);
        accepted_ = generation;
        std::erase_if(items_, [&](const Item& item) { return item.generation != generation; });
    }
    roomMade_.notify_all();
}

std::optional<std::uint64_t> SampleIntake::accepted() const {
    std::lock_guard lock(mutex_);
    return accepted_;
}

void SampleIntake::takeAll(std::vector<Item>& out) {
    out.clear();
    {
        std::lock_guard lock(mutex_);
        // Swapping keeps both buffers' capacity: no allocation once warmed up.
        out.swap(items_);
        items_.reserve(capacity_);
    }
    roomMade_.notify_all();
}

std::size_t SampleIntake::size() const {
    std::lock_guard lock(mutex_);
    return items_.size();
}

} // namespace veq
