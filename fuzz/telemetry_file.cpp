#include "VEQStore/Telemetry/TelemetryFile.hpp"

#include <cstddef>
#include <cstdint>
#include <span>

// Input: the bytes of a drive file as found on disk. Decoding either fails with ReadError or
// gives a drive whose every record has one value per channel and fits in the input.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace tf = veq::TelemetryFile;
    try {
        const auto contents = tf::decode(std::span<const std::uint8_t>(data, size));
        const std::size_t recordSize = 4 + 4 * contents.channels.size();
        if (contents.records.size() * recordSize > size) __builtin_trap();
        for (const auto& record : contents.records) {
            if (record.values.size() != contents.channels.size()) __builtin_trap();
        }
        (void)contents.held(1.5).trimmed(0.25, 3.0).sparkline(contents.channels.empty() ? 0 : contents.channels[0].pid, 16);
    } catch (const tf::ReadError&) {
    }
    return 0;
}
