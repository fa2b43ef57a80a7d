#pragma once

#include "VEQEngine/Coding/CodingEngine.hpp"

#include <mutex>

namespace veq {

// The latest battery voltage, engine speed and road speed of the live-value store, copied there
// by the GUI thread as values arrive, for the coding engine that reads them on its own thread
// (with the session held, so it must never wait for the GUI thread). Thread-safe.
class LiveGuardValues {
public:
    using Values = CodingEngine::LiveValues;

    void set(const Values& values) {
        std::lock_guard lock(mutex_);
        values_ = values;
    }
    Values get() const {
        std::lock_guard lock(mutex_);
        return values_;
    }

private:
    mutable std::mutex mutex_;
    Values values_;
};

} // namespace veq
