#include "VEQEngine/UDS/ECUScanner.hpp"

#include "VEQEngine/Session/AdapterSilent.hpp"
#include "VEQEngine/UDS/AskOnceMore.hpp"
#include "VEQProtocol/UDSService.hpp"

#include <utility>

namespace veq {

namespace {

constexpr std::uint16_t kPartNumber = 0xF187;
constexpr std::uint16_t kSoftwareVersion = 0xF195;

DiscoveredECU absent(const ECUCandidate& candidate) {
    return DiscoveredECU{candidate.name, candidate.txHeader, candidate.rxHeader, false, std::nullopt, std::nullopt};
}

// Whether the ECU answers the test request `ask` sends: true when it does, or when it refuses
// (an ECU that refuses the request still exists).
template <class Ask>
bool answers(Ask&& ask) {
    try {
        return ask();
    } catch (const UDSError& e) {
        return e.kind() == UDSError::Kind::negativeResponse;
    } catch (const AdapterSilent&) {
        throw; // the adapter, not this ECU, is silent: the ECUs left were never asked
    } catch (const std::exception&) {
        return false;
    }
}

// A read's first asks, as askOnceMore() asks them, noting in `noReply` a read left with no reply at
// all; without `noReply`, the one final ask, whose outcome decides.
template <class Read>
auto ask(Read&& read, std::optional<NoReply>* noReply) -> std::optional<decltype(read())> {
    if (noReply == nullptr) return read();
    return askOnceMoreNoting(read, *noReply);
}

// The bytes from 0x20 to 0x7E, in order, as text; nothing when none is.
std::optional<std::string> printable(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    for (std::uint8_t b : bytes) {
        if (b >= 0x20 && b <= 0x7E) text += static_cast<char>(b);
    }
    if (text.empty()) return std::nullopt;
    return text;
}

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
    std::vector<Probe> probes;
    probes.reserve(candidates.size());
    for (const ECUCandidate& candidate : candidates) {
        probes.push_back(probe(candidate, stop));
        if (!probes.back().undecided() && onProgress) onProgress(probes.back().ecu);
    }
    // Asked after every other candidate, the adapter has had their time to come back: these asks decide.
    const bool adapterAnsweredNoData = session_.hasAnsweredNoData();
    for (Probe& left : probes) {
        if (!left.undecided()) continue;
        finish(left, adapterAnsweredNoData, stop);
        if (onProgress) onProgress(left.ecu);
    }
    std::vector<DiscoveredECU> found;
    found.reserve(probes.size());
    for (Probe& p : probes) found.push_back(std::move(p.ecu));
    return found;
}

ECUScanner::Probe ECUScanner::probe(const ECUCandidate& candidate, std::stop_token stop) {
    Probe probe{absent(candidate), std::nullopt, std::nullopt, std::nullopt};
    UDSClient client(session_);
    client.target(candidate.txHeader);
    std::optional<ELM327Session::ExclusiveSection> section;
    probe.ecu.responded = present(client, section, &probe.presence, stop);
    if (probe.ecu.responded) identify(client, probe, stop);
    return probe;
}

void ECUScanner::finish(Probe& probe, bool adapterAnsweredNoData, std::stop_token stop) {
    // A read not asked again keeps what its first asks left: not answering, or nothing read.
    const auto askAgain = [adapterAnsweredNoData](std::optional<NoReply>& noReply) {
        const std::optional<NoReply> left = std::exchange(noReply, std::nullopt);
        return left && askedAtEnd(*left, adapterAnsweredNoData);
    };
    const bool presence = askAgain(probe.presence);
    const bool partNumber = askAgain(probe.partNumber);
    const bool softwareVersion = askAgain(probe.softwareVersion);
    UDSClient client(session_);
    client.target(probe.ecu.txHeader);
    std::optional<ELM327Session::ExclusiveSection> section;
    if (presence) {
        probe.ecu.responded = present(client, section, nullptr, stop);
        if (!probe.ecu.responded) return;
        identify(client, probe, stop);
        // Nothing is left for later twice: what these reads leave unanswered stays unread.
        probe.partNumber.reset();
        probe.softwareVersion.reset();
        return;
    }
    if (!(partNumber || softwareVersion) || !toleratingFailure([&] { section.emplace(session_.exclusive(stop)); })) {
        return;
    }
    if (partNumber) probe.ecu.partNumber = readASCII(client, kPartNumber, nullptr, stop);
    if (softwareVersion) probe.ecu.softwareVersion = readASCII(client, kSoftwareVersion, nullptr, stop);
}

bool ECUScanner::present(UDSClient& client, std::optional<ELM327Session::ExclusiveSection>& section,
                         std::optional<NoReply>* noReply, std::stop_token stop) {
    return answers([&] {
        section.emplace(session_.exclusive(stop));
        return ask([&] { client.testerPresent(stop); return true; }, noReply).has_value();
    });
}

void ECUScanner::identify(UDSClient& client, Probe& probe, std::stop_token stop) {
    probe.ecu.partNumber = readASCII(client, kPartNumber, &probe.partNumber, stop);
    probe.ecu.softwareVersion = readASCII(client, kSoftwareVersion, &probe.softwareVersion, stop);
}

std::optional<std::string> ECUScanner::readASCII(UDSClient& client, std::uint16_t identifier,
                                                 std::optional<NoReply>* noReply, std::stop_token stop) {
    std::optional<std::vector<std::uint8_t>> bytes;
    toleratingFailure([&] { bytes = ask([&] { return client.readDataByIdentifier(identifier, stop); }, noReply); });
    return bytes ? printable(*bytes) : std::nullopt;
}

} // namespace veq
