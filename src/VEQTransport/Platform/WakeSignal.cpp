#include "VEQTransport/Platform/WakeSignal.hpp"

#include "VEQSupport/Error.hpp"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace veq {

WakeSignal::WakeSignal() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (fd_ < 0) throw Error("Impossible de créer le signal de réveil du lien Wi-Fi");
}

WakeSignal::~WakeSignal() { ::close(fd_); }

void WakeSignal::signal() const {
    const std::uint64_t one = 1;
    // Only a full counter refuses, and then the descriptor is readable already.
    [[maybe_unused]] const ssize_t written = ::write(fd_, &one, sizeof one);
}

void WakeSignal::clear() const {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(fd_, &count, sizeof count);
}

} // namespace veq
