#include "VEQProtocol/ELM327Response.hpp"

namespace veq {

std::optional<std::vector<std::uint8_t>> ECUResponse::data(OBDMode mode, std::optional<std::uint8_t> pid) const {
    if (payload.empty() || payload[0] != responseByte(mode)) return std::nullopt;
    if (pid) {
        if (payload.size() < 2 || payload[1] != *pid) return std::nullopt;
        return std::vector<std::uint8_t>(payload.begin() + 2, payload.end());
    }
    return std::vector<std::uint8_t>(payload.begin() + 1, payload.end());
}

} // namespace veq
