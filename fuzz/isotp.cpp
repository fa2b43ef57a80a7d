#include "VEQProtocol/ISOTP.hpp"

#include <cstddef>
#include <cstdint>
#include <vector>

// Input: a sequence of frames, each a length byte followed by that many bytes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::vector<std::uint8_t>> frames;
    std::size_t i = 0;
    while (i < size) {
        const std::size_t len = data[i++];
        const std::size_t take = len < size - i ? len : size - i;
        frames.emplace_back(data + i, data + i + take);
        i += take;
    }
    const auto message = veq::ISOTP::reassemble(frames);
    if (message.size() > 4095 + size) __builtin_trap();
    return 0;
}
