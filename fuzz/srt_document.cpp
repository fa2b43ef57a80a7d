#include "VEQStore/Export/SRTDocument.hpp"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto document = veq::SRTDocument::parse(text);
    for (const auto& block : document.blocks) {
        if (block.text.empty()) __builtin_trap(); // a block without text must be dropped
        (void)block.duration();
    }
    // Rendering any parsed time, infinities included, must give text again.
    const auto again = veq::SRTDocument::parse(document.render());
    if (again.blocks.size() != document.blocks.size()) __builtin_trap();
    return 0;
}
