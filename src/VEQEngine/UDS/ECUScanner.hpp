#pragma once

#include "VEQEngine/Session/ELM327Session.hpp"
#include "VEQEngine/UDS/UDSClient.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

namespace veq {

// A diagnostic address pair to probe over UDS on CAN.
struct ECUCandidate {
    std::string name;     // French display name
    std::string txHeader; // where the tester sends, three hexadecimal digits
    std::string rxHeader; // where the ECU answers from

    bool operator==(const ECUCandidate&) const = default;
};

// What a probe found at one candidate's address.
struct DiscoveredECU {
    std::string name;
    std::string txHeader; // also the record's identity
    std::string rxHeader; // informative; never used to filter answers
    bool responded = false;
    std::optional<std::string> partNumber;      // printable text of 0xF187
    std::optional<std::string> softwareVersion; // printable text of 0xF195

    const std::string& id() const { return txHeader; }
    bool operator==(const DiscoveredECU&) const = default;
};

// Finds which candidate addresses answer UDS TesterPresent and reads each answering ECU's part
// number and software version. Each probe runs in one exclusive section of the session, every
// request with the candidate's header, so other users' exchanges wait for the probe's end and
// no answer is taken for another ECU's; nobody has to put a header back after a scan. A request
// that got no reply at all is asked once more (askOnceMore()): a reply lost on the way must not
// show a present ECU absent, nor leave its identification unread. A presence whose second ask the
// session held back (the adapter answered no probe) is undecided: no ECU was asked. It is asked
// once more after every other candidate, the adapter having had their time to come back, and
// that ask decides, whatever it gets.
// Thread-safe; fails only with AdapterSilent, when the caller's silence watch finds the adapter
// silent: the candidates left were never asked, and no list could tell them apart.
class ECUScanner {
public:
    using Progress = std::function<void(const DiscoveredECU&)>;

    // The session must outlive the scanner.
    explicit ECUScanner(ELM327Session& session);

    // The engine and the other units of the car, probed in this order.
    static const std::vector<ECUCandidate>& standardCandidates();

    // One record per candidate, in order, answering or not; `onProgress` receives each record as
    // soon as it is known (an undecided candidate's at the end). Every candidate is probed (a stop
    // request makes the remaining probes fail at once, so they are listed as not answering).
    // AdapterSilent passes through.
    std::vector<DiscoveredECU> scan(const std::vector<ECUCandidate>& candidates, const Progress& onProgress = {},
                                    std::stop_token stop = {});

private:
    // How often a presence is asked when no reply comes at all.
    enum class Ask { once, twice };
    // Nothing while undecided: asked twice, the last ask was not sent.
    std::optional<DiscoveredECU> probe(const ECUCandidate& candidate, Ask ask, std::stop_token stop);
    static DiscoveredECU absent(const ECUCandidate& candidate);
    static std::optional<std::string> readASCII(UDSClient& client, std::uint16_t identifier, std::stop_token stop);

    ELM327Session& session_;
};

} // namespace veq
