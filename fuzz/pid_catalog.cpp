#include "VEQProtocol/PIDCatalog.hpp"
#include "VEQProtocol/TransmissionGear.hpp"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>

// Every catalogue row decodes arbitrary reply data: a reading or nothing, never a crash, and a
// scalar reading is always finite and plausible.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    for (const veq::PIDDefinition& d : veq::PIDCatalog::all()) {
        const auto reading = d.decode(bytes);
        if (!reading) continue;
        if (const auto v = reading->scalar()) {
            if (!std::isfinite(*v) || (d.plausible && !d.plausible->contains(*v))) __builtin_trap();
            (void)veq::TransmissionGear::fromValue(*v).label();
        }
    }
    return 0;
}
