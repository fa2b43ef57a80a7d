#pragma once

#include "VEQEngine/Session/ELM327Session.hpp"
#include "VEQEngine/UDS/AskOnceMore.hpp"
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
// show a present ECU absent, nor leave its identification unread. A read still left with no reply
// (presence, part number or software version) is undecided: once every other candidate has been
// asked, the adapter having had their time to come back, it is asked once more when askedAtEnd()
// says so, and that ask decides, whatever it gets. An ECU found answering then has its
// identification read as usual; nothing is left for later twice.
// Thread-safe; fails only with AdapterSilent, when the caller's silence watch finds the adapter
// silent: the candidates left were never asked, and no list could tell them apart.
class ECUScanner {
public:
    using Progress = std::function<void(const DiscoveredECU&)>;

    // The session must outlive the scanner.
    explicit ECUScanner(ELM327Session& session);

    // The engine and the other units of the car, probed in this order.
    static const std::vector<ECUCandidate>& standardCandidates();

    // One record per candidate, in order, answering or not; `onProgress` receives each record once,
    // as soon as it is decided (an undecided candidate's at the end). Every candidate is probed (a
    // stop request makes the remaining asks fail at once, the final ones included, so they are
    // listed as not answering). AdapterSilent passes through.
    std::vector<DiscoveredECU> scan(const std::vector<ECUCandidate>& candidates, const Progress& onProgress = {},
                                    std::stop_token stop = {});

private:
    // One candidate as its first asks left it: the record, and each read left with no reply.
    struct Probe {
        DiscoveredECU ecu;
        std::optional<NoReply> presence, partNumber, softwareVersion;

        bool undecided() const { return presence || partNumber || softwareVersion; }
    };

    Probe probe(const ECUCandidate& candidate, std::stop_token stop);
    // Decides the reads the probe left with no reply, at the end of the scan.
    void finish(Probe& probe, bool adapterAnsweredNoData, std::stop_token stop);
    // Whether the ECU answers its test request, the probe's exclusive section held from then on. With
    // `noReply`, the first asks (askOnceMore()), one left with no reply noted there; without, the
    // final ask.
    bool present(UDSClient& client, std::optional<ELM327Session::ExclusiveSection>& section,
                 std::optional<NoReply>* noReply, std::stop_token stop);
    // The part number and software version of an ECU found answering, each asked as askOnceMore()
    // asks it; a read left with no reply is noted in the probe.
    static void identify(UDSClient& client, Probe& probe, std::stop_token stop);
    // As present() asks: the first asks with `noReply`, the final one without.
    static std::optional<std::string> readASCII(UDSClient& client, std::uint16_t identifier,
                                                std::optional<NoReply>* noReply, std::stop_token stop);

    ELM327Session& session_;
};

} // namespace veq
