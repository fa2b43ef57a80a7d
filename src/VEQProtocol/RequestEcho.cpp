#include "VEQProtocol/RequestEcho.hpp"

#include <algorithm>

namespace veq {

namespace {

constexpr std::uint8_t kNegativeResponse = 0x7F;
constexpr std::uint8_t kPositiveBit = 0x40;

} // namespace

RequestEcho RequestEcho::of(const OBDCommand& command) {
    RequestEcho echo{rawValue(command.mode), {}};
    if (command.pid) echo.parameter.push_back(*command.pid);
    return echo;
}

RequestEcho RequestEcho::of(UDSService service, std::span<const std::uint8_t> data) {
    RequestEcho echo{rawValue(service), {}};
    const bool byIdentifier =
        service == UDSService::readDataByIdentifier || service == UDSService::writeDataByIdentifier;
    if (byIdentifier && data.size() >= 2) echo.parameter.assign(data.begin(), data.begin() + 2);
    return echo;
}

bool RequestEcho::namesAnotherRequest(const ECUResponse& answer) const {
    const std::vector<std::uint8_t>& p = answer.payload;
    if (p.empty()) return false;
    if (p[0] == kNegativeResponse) return p.size() >= 2 && p[1] != service;
    // Only a positive response identifier names a service; other bytes name nothing clearly.
    if ((p[0] & kPositiveBit) == 0) return false;
    if (p[0] != static_cast<std::uint8_t>(service | kPositiveBit)) return true;
    // This service: another request's only when the echoed parameter is whole and differs.
    if (p.size() < 1 + parameter.size()) return false;
    return !std::equal(parameter.begin(), parameter.end(), p.begin() + 1);
}

bool RequestEcho::namesAnotherRequest(const ELM327Response& reply) const {
    if (reply.error || reply.ecus.empty()) return false;
    return std::all_of(reply.ecus.begin(), reply.ecus.end(),
                       [&](const ECUResponse& answer) { return namesAnotherRequest(answer); });
}

} // namespace veq
