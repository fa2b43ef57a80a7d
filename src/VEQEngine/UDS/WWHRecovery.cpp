#include "VEQEngine/UDS/WWHRecovery.hpp"

#include "VEQProtocol/PIDCatalog.hpp"

#include <optional>

namespace veq {

WWHRecovery::WWHRecovery(ELM327Session& session) : client_(session) { client_.target(engineECU); }

std::vector<WWHRecovery::Recovered> WWHRecovery::recover(const std::set<std::uint8_t>& supported,
                                                         std::stop_token stop) {
    std::vector<std::uint8_t> missing;
    for (std::uint8_t pid : wanted) {
        if (!supported.contains(pid) && PIDCatalog::definition(pid) != nullptr) missing.push_back(pid);
    }
    if (missing.empty()) return {};
    return read(missing, stop);
}

std::vector<std::uint8_t> WWHRecovery::valueBytes(std::uint8_t pid, int byteCount, std::vector<std::uint8_t> answer) {
    if (byteCount >= 1 && answer.size() == static_cast<std::size_t>(byteCount) + 1 && answer.front() == pid) {
        answer.erase(answer.begin());
    }
    return answer;
}

std::vector<WWHRecovery::Recovered> WWHRecovery::read(const std::vector<std::uint8_t>& pids, std::stop_token stop) {
    std::vector<Recovered> recovered;
    for (std::uint8_t pid : pids) {
        if (stop.stop_requested()) break;
        const PIDDefinition* definition = PIDCatalog::definition(pid);
        if (definition == nullptr) continue;
        std::vector<std::uint8_t> answer;
        try {
            answer = client_.readDataByIdentifier(static_cast<std::uint16_t>(identifierBase | pid), stop);
        } catch (const UDSError&) {
            continue; // the engine's word on this one parameter
        } catch (const std::exception&) {
            break; // the link, or a stop: no later read can do better
        }
        if (answer.empty()) continue;
        const std::vector<std::uint8_t> value = valueBytes(pid, definition->byteCount, std::move(answer));
        if (std::optional<PIDReading> reading = definition->decode(value)) {
            recovered.push_back(Recovered{pid, std::move(*reading), definition->name});
        }
    }
    return recovered;
}

} // namespace veq
