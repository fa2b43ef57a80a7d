#pragma once

#include <stdexcept>
#include <string>

namespace veq {

// Base of every exception the system throws; what() is the French sentence the user reads.
class Error : public std::runtime_error {
public:
    explicit Error(const std::string& frenchDescription) : std::runtime_error(frenchDescription) {}
};

} // namespace veq
