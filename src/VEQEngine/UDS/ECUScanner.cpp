#include "VEQEngine/UDS/ECUScanner.hpp"

#include "VEQEngine/Session/AdapterSilent.hpp"
#include "VEQEngine/UDS/AskOnceMore.hpp"
#include "VEQProtocol/UDSService.hpp"

#include <algorithm>
#include <span>
#include <utility>

namespace veq {

namespace {

constexpr std::uint16_t kPartNumber = 0xF187;
constexpr std::uint16_t kSoftwareVersion = 0xF195;
// The reads as the session keeps their answers (KeptAnswers::readOf()).
constexpr std::string_view kPresenceRead = "3E00";
constexpr std::string_view kPartNumberRead = "22F187";
constexpr std::string_view kSoftwareVersionRead = "22F195";
constexpr std::string_view kCodesRead = "1902";

DiscoveredECU absent(const ECUCandidate& candidate) {
    return DiscoveredECU{candidate.name, candidate.txHeader, candidate.rxHeader, false, std::nullopt, std::nullopt};
}

// The response headers that name one candidate alone.
std::vector<std::string> ownResponseHeaders(const std::vector<ECUCandidate>& candidates) {
    std::vector<std::string> headers;
    for (const ECUCandidate& c : candidates) headers.push_back(c.rxHeader);
    return KeptAnswers::ownHeaders(headers);
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

// A read's first asks, as askTwiceNoting() asks them, noting in `noReply` a read left with no reply
// at all; without `noReply`, the final ask, whose outcome decides.
template <class Read>
auto ask(Read&& read, std::optional<NoReply>* noReply) -> std::optional<decltype(read())> {
    if (noReply == nullptr) return askFinally(read);
    return askTwiceNoting(read, *noReply);
}

// The bytes from 0x20 to 0x7E, in order, as text; nothing when none is.
std::optional<std::string> printable(std::span<const std::uint8_t> bytes) {
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
    keeping_.reset(); // an earlier scan's answers are forgotten first
    keeping_.emplace(session_.keepAnswers(ownResponseHeaders(candidates)));
    responseHeaders_.clear();
    for (const ECUCandidate& c : candidates) responseHeaders_.push_back(c.rxHeader);
    probes_.clear();
    probes_.reserve(candidates.size());
    for (const ECUCandidate& candidate : candidates) {
        probes_.push_back(probe(candidate, stop));
        if (!probes_.back().undecided() && onProgress) onProgress(probes_.back().ecu);
    }
    // Asked after every other candidate, the adapter has had their time to come back: these asks decide.
    const bool adapterAnsweredNoData = session_.hasAnsweredNoData();
    for (Probe& p : probes_) {
        const bool undecided = p.undecided();
        const DiscoveredECU before = p.ecu;
        finish(p, adapterAnsweredNoData, stop);
        if (onProgress && (undecided || p.ecu != before)) onProgress(p.ecu);
    }
    return records();
}

void ECUScanner::aim(UDSClient& client, const DiscoveredECU& ecu) const {
    // Every other candidate's response header names another ECU; one shared with this one stays its own.
    std::vector<std::string> others = responseHeaders_;
    if (const auto self = std::find(others.begin(), others.end(), ecu.rxHeader); self != others.end()) others.erase(self);
    client.target(ecu.txHeader, ECUResponder(ecu.rxHeader, others));
}

std::vector<DiscoveredECU> ECUScanner::records() const {
    std::vector<DiscoveredECU> found;
    found.reserve(probes_.size());
    for (const Probe& p : probes_) found.push_back(p.ecu);
    return found;
}

ECUScanner::Probe ECUScanner::probe(const ECUCandidate& candidate, std::stop_token stop) {
    Probe probe;
    probe.ecu = absent(candidate);
    UDSClient client(session_);
    aim(client, probe.ecu);
    std::optional<ELM327Session::ExclusiveSection> section;
    probe.ecu.responded = present(client, section, &probe.presence, stop) || takeKept(probe, Read::presence);
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
    aim(client, probe.ecu);
    std::optional<ELM327Session::ExclusiveSection> section;
    if (!probe.ecu.responded) {
        // The ECU's own answer, come meanwhile, makes the final ask needless.
        if (!takeKept(probe, Read::presence)) {
            if (!presence) return;
            probe.ecu.responded = present(client, section, nullptr, stop) || takeKept(probe, Read::presence);
            if (!probe.ecu.responded) return;
        }
        identify(client, probe, stop);
        // Nothing is left for later twice: what these reads leave unanswered stays unread.
        probe.partNumber.reset();
        probe.softwareVersion.reset();
        return;
    }
    const auto decide = [&](bool askedAgain, std::uint16_t identifier, Read read, std::optional<std::string>& value) {
        if (takeKept(probe, read) || !askedAgain) return;
        if (!section && !toleratingFailure([&] { section.emplace(session_.exclusive(stop)); })) return;
        value = readASCII(client, identifier, nullptr, stop);
        takeKept(probe, read);
    };
    decide(partNumber, kPartNumber, Read::partNumber, probe.ecu.partNumber);
    decide(softwareVersion, kSoftwareVersion, Read::softwareVersion, probe.ecu.softwareVersion);
}

bool ECUScanner::present(UDSClient& client, std::optional<ELM327Session::ExclusiveSection>& section,
                         std::optional<NoReply>* noReply, std::stop_token stop) {
    return answers([&] {
        if (!section) section.emplace(session_.exclusive(stop));
        return ask([&] { client.testerPresent(stop); return true; }, noReply).has_value();
    });
}

void ECUScanner::identify(UDSClient& client, Probe& probe, std::stop_token stop) {
    probe.ecu.partNumber = readASCII(client, kPartNumber, &probe.partNumber, stop);
    takeKept(probe, Read::partNumber);
    probe.ecu.softwareVersion = readASCII(client, kSoftwareVersion, &probe.softwareVersion, stop);
    takeKept(probe, Read::softwareVersion);
}

std::optional<std::string> ECUScanner::readASCII(UDSClient& client, std::uint16_t identifier,
                                                 std::optional<NoReply>* noReply, std::stop_token stop) {
    std::optional<std::vector<std::uint8_t>> bytes;
    toleratingFailure([&] { bytes = ask([&] { return client.readDataByIdentifier(identifier, stop); }, noReply); });
    return bytes ? printable(*bytes) : std::nullopt;
}

bool ECUScanner::takeKept(Probe& probe, Read read) {
    // The kept answer to a read that has none yet; the read is then decided.
    const auto take = [&](bool answered, std::string_view request, std::optional<NoReply>& noReply) {
        std::optional<std::vector<std::uint8_t>> kept;
        if (!answered) kept = session_.takeKeptAnswer(probe.ecu.rxHeader, request);
        if (kept) noReply.reset();
        return kept;
    };
    std::optional<std::vector<std::uint8_t>> kept;
    switch (read) {
    case Read::presence:
        if (!take(probe.ecu.responded, kPresenceRead, probe.presence)) return false;
        probe.ecu.responded = true;
        return true;
    case Read::partNumber:
        if (!(kept = take(probe.ecu.partNumber.has_value(), kPartNumberRead, probe.partNumber))) return false;
        probe.ecu.partNumber = printable(UDSClient::identifierValue(*kept));
        return true;
    case Read::softwareVersion:
        if (!(kept = take(probe.ecu.softwareVersion.has_value(), kSoftwareVersionRead, probe.softwareVersion))) return false;
        probe.ecu.softwareVersion = printable(UDSClient::identifierValue(*kept));
        return true;
    case Read::codes:
        if (!(kept = take(probe.dtcs.has_value(), kCodesRead, probe.codes))) return false;
        probe.dtcs = UDSClient::parseDTCRecords(std::span(*kept).subspan(1));
        return true;
    }
    return false;
}

void ECUScanner::askCodes(UDSClient& client, Probe& probe, std::uint8_t statusMask, std::optional<NoReply>* noReply,
                          std::stop_token stop) {
    aim(client, probe.ecu);
    probe.codesAsked = true;
    toleratingFailure([&] { probe.dtcs = ask([&] { return client.readDTCsByStatusMask(statusMask, stop); }, noReply); });
    takeKept(probe, Read::codes);
}

void ECUScanner::readCodes(std::uint8_t statusMask, const ListChanged& onList, const CodesRead& onCodes,
                           std::stop_token stop) {
    const auto report = [&](const Probe& p) {
        if (onCodes) onCodes(p.ecu.txHeader, p.dtcs);
    };
    UDSClient client(session_);
    // Reads left with no reply at all after their two asks, decided once every other ECU's was asked.
    std::vector<Probe*> left;
    for (Probe& p : probes_) {
        if (!p.ecu.responded) continue;
        askCodes(client, p, statusMask, &p.codes, stop);
        if (stop.stop_requested()) return;
        if (p.codes) {
            left.push_back(&p);
        } else {
            report(p);
        }
    }
    const bool adapterAnsweredNoData = session_.hasAnsweredNoData();
    for (Probe* p : left) {
        const NoReply noReply = *std::exchange(p->codes, std::nullopt);
        if (!takeKept(*p, Read::codes) && askedAtEnd(noReply, adapterAnsweredNoData)) {
            askCodes(client, *p, statusMask, nullptr, stop); // the final ask: it decides
            if (stop.stop_requested()) return;
        }
        report(*p);
    }
    creditKept(client, statusMask, onList, onCodes, stop);
    keeping_.reset();
}

void ECUScanner::creditKept(UDSClient& client, std::uint8_t statusMask, const ListChanged& onList,
                            const CodesRead& onCodes, std::stop_token stop) {
    // Each pass credits what was kept meanwhile; an ECU found answering is read, which may bring
    // more, until a pass finds no ECU. Each ECU is found once, as it answers from then on.
    for (bool listChanged = false; !stop.stop_requested();) {
        Probe* found = nullptr;
        for (Probe& p : probes_) {
            if (!p.ecu.responded) {
                if (takeKept(p, Read::presence)) {
                    found = &p;
                    break;
                }
                continue;
            }
            const bool partNumber = takeKept(p, Read::partNumber);
            const bool softwareVersion = takeKept(p, Read::softwareVersion);
            listChanged = listChanged || partNumber || softwareVersion;
            if (p.codesAsked && takeKept(p, Read::codes) && onCodes) onCodes(p.ecu.txHeader, p.dtcs);
        }
        if (found == nullptr) {
            if (listChanged && onList) onList(records());
            return;
        }
        // Its reads with their first asks; nothing is left for later twice.
        aim(client, found->ecu);
        identify(client, *found, stop);
        found->partNumber.reset();
        found->softwareVersion.reset();
        if (onList) onList(records());
        listChanged = false;
        std::optional<NoReply> noReply;
        askCodes(client, *found, statusMask, &noReply, stop);
        if (stop.stop_requested()) return;
        if (onCodes) onCodes(found->ecu.txHeader, found->dtcs);
    }
}

} // namespace veq
