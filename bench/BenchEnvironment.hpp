#pragma once

#include <algorithm>
#include <cstdlib>

namespace veq::bench {

// A length (seconds, hours) the environment variable `name` may set: its number when positive,
// else `fallback` (unset, zero, negative or no number); at least `minimum` either way.
inline double lengthFromEnvironment(const char* name, double fallback, double minimum = 0) {
    const char* text = std::getenv(name);
    const double value = text != nullptr ? std::atof(text) : 0.0;
    return std::max(value > 0 ? value : fallback, minimum);
}

} // namespace veq::bench
