#include "VEQUI/Model/LinkNotice.hpp"

#include <algorithm>

namespace veq {

bool ValueSilence::observe(Clock::time_point now, bool polling, std::optional<Clock::time_point> lastValue) {
    if (!polling) {
        pollingSince_.reset();
        return false;
    }
    if (!pollingSince_) pollingSince_ = now;
    const Clock::time_point since = lastValue ? std::max(*pollingSince_, *lastValue) : *pollingSince_;
    return now - since >= limit_;
}

} // namespace veq
