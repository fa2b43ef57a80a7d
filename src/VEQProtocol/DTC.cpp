#include "VEQProtocol/DTC.hpp"

namespace veq {

namespace {
constexpr char kHex[] = "0123456789ABCDEF";
}

std::optional<DTC> DTC::decode(std::uint8_t a, std::uint8_t b) {
    if (a == 0 && b == 0) return std::nullopt;
    DTC dtc;
    dtc.system = allCases<System>()[a >> 6];
    dtc.code = {rawValue(dtc.system), static_cast<char>('0' + ((a >> 4) & 0x03)), kHex[a & 0x0F], kHex[b >> 4],
                kHex[b & 0x0F]};
    dtc.raw = {a, b};
    return dtc;
}

std::vector<DTC> DTC::list(std::span<const std::uint8_t> bytes) {
    std::vector<DTC> out;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        if (auto dtc = decode(bytes[i], bytes[i + 1])) out.push_back(std::move(*dtc));
    }
    return out;
}

} // namespace veq
