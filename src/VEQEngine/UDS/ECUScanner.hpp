#pragma once

#include "VEQEngine/Session/ELM327Session.hpp"
#include "VEQEngine/UDS/AskOnceMore.hpp"
#include "VEQEngine/UDS/UDSClient.hpp"
#include "VEQProtocol/UDSDTC.hpp"

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
    std::string rxHeader; // names the ECU's answers that came to another line than their own
    bool responded = false;
    std::optional<std::string> partNumber;      // printable text of 0xF187
    std::optional<std::string> softwareVersion; // printable text of 0xF195

    const std::string& id() const { return txHeader; }
    bool operator==(const DiscoveredECU&) const = default;
};

// Finds which candidate addresses answer UDS TesterPresent and reads each answering ECU's part
// number and software version, then (readCodes()) the trouble codes of every ECU found answering.
// Each probe runs in one exclusive section of the session, every request with the candidate's
// header, so other users' exchanges wait for the probe's end; nobody has to put a header back
// after a scan. Read with headers, a request takes only its ECU's own message, told by the
// candidate's response header among the candidates' (ECUResponder): another ECU's answer never
// shows a candidate present, nor gives it a part number, a version or codes.
//
// A read's first asks are two sends of its own (askTwiceNoting()): a reply lost on the way must not
// show a present ECU absent, nor leave its identification unread. A read still left with no reply
// is undecided: once every other candidate has been asked, the adapter having had their time to
// come back, it is asked once more when askedAtEnd() says so, and that ask decides (askFinally()).
// An ECU found answering then has its identification read as usual; nothing is left for later
// twice.
//
// An ECU's own answer counts whenever it comes. From the scan's start to the end of readCodes(),
// the session keeps every answer that names both its ECU, by a candidate's response header (one no
// other candidate shares), and its read (KeptAnswers), whatever line it went to. A read is never
// left unanswered while its ECU's own answer to it is kept: the kept answer is taken instead of
// the final ask, after it, and up to the end of the code read, where an ECU found answering so has
// its identification and codes read, in candidate order, each ECU once.
//
// One scan at a time; fails only with AdapterSilent, when the caller's silence watch finds the
// adapter silent: the candidates left were never asked, and no list could tell them apart.
class ECUScanner {
public:
    using Progress = std::function<void(const DiscoveredECU&)>;
    // An ECU's trouble codes; nothing when they could not be read, which is not none.
    using Codes = std::optional<std::vector<UDSDTC>>;
    using ListChanged = std::function<void(const std::vector<DiscoveredECU>&)>;
    using CodesRead = std::function<void(const std::string& txHeader, const Codes& codes)>;

    // The session must outlive the scanner.
    explicit ECUScanner(ELM327Session& session);

    // The engine and the other units of the car, probed in this order.
    static const std::vector<ECUCandidate>& standardCandidates();

    // One record per candidate, in order, answering or not; `onProgress` receives each record as
    // soon as it is decided (an undecided candidate's at the end), and once more should a kept
    // answer change it at the end. Every candidate is probed (a stop request makes the remaining
    // asks fail at once, the final ones included, so they are listed as not answering).
    // AdapterSilent passes through.
    std::vector<DiscoveredECU> scan(const std::vector<ECUCandidate>& candidates, const Progress& onProgress = {},
                                    std::stop_token stop = {});

    // After scan(): reads the codes of every ECU found answering (report by `statusMask`), in order,
    // each as the scan reads, a read left with no reply asked once more after every other. An ECU
    // that a kept answer shows answering then has its identification and codes read; `onList`
    // receives the whole list each time a kept answer changed it, `onCodes` each ECU's codes once
    // read, or once more when a kept answer gives them. Ends the keeping of answers; a stop ends it
    // at once. AdapterSilent passes through.
    void readCodes(std::uint8_t statusMask, const ListChanged& onList, const CodesRead& onCodes,
                   std::stop_token stop = {});

private:
    enum class Read { presence, partNumber, softwareVersion, codes };

    // One candidate as its asks left it: the record, each read left with no reply, its codes.
    struct Probe {
        DiscoveredECU ecu;
        std::optional<NoReply> presence, partNumber, softwareVersion, codes;
        Codes dtcs;
        bool codesAsked = false;

        bool undecided() const { return presence || partNumber || softwareVersion; }
    };

    Probe probe(const ECUCandidate& candidate, std::stop_token stop);
    // Decides the reads the probe left with no reply, and takes the kept answers of those it left
    // unanswered, at the end of the scan.
    void finish(Probe& probe, bool adapterAnsweredNoData, std::stop_token stop);
    // Whether the ECU answers its test request, the probe's exclusive section held from then on. With
    // `noReply`, the first asks (askTwiceNoting()), one left with no reply noted there; without, the
    // final ask.
    bool present(UDSClient& client, std::optional<ELM327Session::ExclusiveSection>& section,
                 std::optional<NoReply>* noReply, std::stop_token stop);
    // The part number and software version of an ECU found answering, each asked with its first
    // asks; a read left with no reply is noted in the probe, and its kept answer taken.
    void identify(UDSClient& client, Probe& probe, std::stop_token stop);
    // As present() asks: the first asks with `noReply`, the final one without.
    static std::optional<std::string> readASCII(UDSClient& client, std::uint16_t identifier,
                                                std::optional<NoReply>* noReply, std::stop_token stop);
    // The codes with their first asks (`noReply`) or the final ask; the kept answer taken after.
    void askCodes(UDSClient& client, Probe& probe, std::uint8_t statusMask, std::optional<NoReply>* noReply,
                  std::stop_token stop);
    // After the code read's asks: each ECU a kept answer shows answering, identified and its codes
    // read, and what was kept for the others' reads.
    void creditKept(UDSClient& client, std::uint8_t statusMask, const ListChanged& onList, const CodesRead& onCodes,
                    std::stop_token stop);
    // The ECU's own answer to `read`, kept by the session, taken when the read has none; true when
    // one was. The read is then decided.
    bool takeKept(Probe& probe, Read read);
    std::vector<DiscoveredECU> records() const;
    // Aims the client at the ECU, its answers told by its candidate's response header.
    void aim(UDSClient& client, const DiscoveredECU& ecu) const;

    ELM327Session& session_;
    std::vector<Probe> probes_;
    std::vector<std::string> responseHeaders_; // the candidates', in order
    std::optional<ELM327Session::AnswerKeeping> keeping_;
};

} // namespace veq
