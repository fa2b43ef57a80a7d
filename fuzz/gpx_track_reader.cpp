#include "VEQStore/Export/GPXExporter.hpp"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto points = veq::GPXExporter::trackPoints(text);
    for (std::size_t i = 1; i < points.size(); ++i) {
        if (points[i].date < points[i - 1].date) __builtin_trap(); // sorted by date
    }
    return 0;
}
