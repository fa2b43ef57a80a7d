#include "VEQEngine/UDS/ECUScanner.hpp"

#include "VEQEngine/Session/AdapterSilent.hpp"
#include "VEQEngine/UDS/AskOnceMore.hpp"
#include "VEQProtocol/UDSService.hpp"

namespace veq {

namespace {

constexpr std::uint16_t kPartNumber = 0xF187;
constexpr std::uint16_t kSoftwareVersion = 0xF195;

} // namespace

ECUScanner::ECUScanner(ELM327Session& session) : session_(session) {}

const std::vector<ECUCandidate>& ECUScanner::standardCandidates() {
    // clang-format off
    static const std::vector<ECUCandidate> table{
        {"ME/CDI moteur",  "7E0", "7E8"},
        {"VGS boîte 9G",   "7E1", "7E9"},
        {"ESP / SBC",      "7E2", "7EA"},
        {"ZGW passerelle", "7E3", "7EB"},
        {"SAM avant",      "7E4", "7EC"},
        {"SAM arrière",    "7E5", "7ED"},
        {"Combiné (IC)",   "7E6", "7EE"},
        {"Airbag (SRS)",   "7E7", "7EF"},
    };
    // clang-format on
    return table;
}

std::vector<DiscoveredECU> ECUScanner::scan(const std::vector<ECUCandidate>& candidates, const Progress& onProgress,
                                            std::stop_token stop) {
    std::vector<DiscoveredECU> found;
    found.reserve(candidates.size());
    std::vector<std::size_t> undecided;
    for (const ECUCandidate& candidate : candidates) {
        std::optional<DiscoveredECU> ecu = probe(candidate, Ask::twice, stop);
        found.push_back(ecu ? std::move(*ecu) : absent(candidate));
        if (!ecu) {
            undecided.push_back(found.size() - 1);
        } else if (onProgress) {
            onProgress(found.back());
        }
    }
    // Asked after every other candidate, the adapter has had their time to come back: this ask decides.
    for (std::size_t k : undecided) {
        found[k] = probe(candidates[k], Ask::once, stop).value_or(absent(candidates[k]));
        if (onProgress) onProgress(found[k]);
    }
    return found;
}

DiscoveredECU ECUScanner::absent(const ECUCandidate& candidate) {
    return DiscoveredECU{candidate.name, candidate.txHeader, candidate.rxHeader, false, std::nullopt, std::nullopt};
}

std::optional<DiscoveredECU> ECUScanner::probe(const ECUCandidate& candidate, Ask ask, std::stop_token stop) {
    DiscoveredECU ecu = absent(candidate);
    UDSClient client(session_);
    client.target(candidate.txHeader);
    const auto testerPresent = [&] { client.testerPresent(stop); };
    std::optional<ELM327Session::ExclusiveSection> section;
    try {
        section.emplace(session_.exclusive(stop));
        if (ask == Ask::twice) {
            askOnceMore(testerPresent);
        } else {
            testerPresent();
        }
        ecu.responded = true;
    } catch (const UDSError& e) {
        // Held back by the session, the last ask reached no ECU: not this one's word.
        if (ask == Ask::twice && !e.sent()) return std::nullopt;
        // An ECU that refuses the request still exists.
        ecu.responded = e.kind() == UDSError::Kind::negativeResponse;
    } catch (const AdapterSilent&) {
        throw; // the adapter, not this ECU, is silent: the ECUs left were never asked
    } catch (const std::exception&) {
        ecu.responded = false;
    }
    if (!ecu.responded) return ecu;
    ecu.partNumber = readASCII(client, kPartNumber, stop);
    ecu.softwareVersion = readASCII(client, kSoftwareVersion, stop);
    return ecu;
}

std::optional<std::string> ECUScanner::readASCII(UDSClient& client, std::uint16_t identifier, std::stop_token stop) {
    std::vector<std::uint8_t> bytes;
    const auto read = [&] { return client.readDataByIdentifier(identifier, stop); };
    if (!toleratingFailure([&] { bytes = askOnceMore(read); })) return std::nullopt;
    std::string text;
    for (std::uint8_t b : bytes) {
        if (b >= 0x20 && b <= 0x7E) text += static_cast<char>(b);
    }
    if (text.empty()) return std::nullopt;
    return text;
}

} // namespace veq
