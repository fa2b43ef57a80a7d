#include "VEQProtocol/ELM327Parser.hpp"

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte picks the frame format so every format is explored.
    const veq::FrameFormat formats[] = {veq::FrameFormat::headersOff, veq::FrameFormat::can11,
                                        veq::FrameFormat::can29, veq::FrameFormat::canHeadersOff};
    const auto format = formats[data[0] % std::size(formats)];
    const auto response = veq::ELM327Parser::parse(std::span<const std::uint8_t>(data + 1, size - 1), format);
    for (const auto& ecu : response.ecus) {
        // Empty groups are left out, unless their frames formed no whole message: then cut short.
        if (ecu.payload.empty() && !ecu.cutShort()) __builtin_trap();
        (void)ecu.data(veq::OBDMode::currentData, 0x0C);
    }
    return 0;
}
