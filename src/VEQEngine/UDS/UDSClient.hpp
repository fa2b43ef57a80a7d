#pragma once

#include "VEQEngine/Session/ELM327Session.hpp"
#include "VEQProtocol/ECUResponder.hpp"
#include "VEQProtocol/ELM327Response.hpp"
#include "VEQProtocol/UDSDTC.hpp"
#include "VEQProtocol/UDSService.hpp"

#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace veq {

// ISO 14229 (UDS) requests through the adapter session. One request is sent as hexadecimal text
// ("22F190"); the ECU's "response pending" answers are waited out (at most eight more replies),
// a "busy, repeat request" answer is repeated a bounded number of times, and every other outcome
// becomes the payload or a UDSError (an answer naming another request is an unexpected response,
// save from a known ECU read with headers, below).
//
// Each user keeps its own client over the one session. Every request goes out with the header
// the client targets (the session sends "ATSH" first when another is in force; a header the
// adapter refuses fails the request with its adapter error), so no other user of the session can
// send it to another ECU and nobody has to put a header back. Thread-safe. A request holds the
// session's command lock from its send to its last pending wait, so no other user's command can
// take the ECU's late answer; it nests inside an exclusive section its thread already holds, so a
// caller may run a whole sequence of requests inside one section.
//
// Read with headers, a request to an ECU takes only that ECU's message, and only a whole one: in a
// reply several ECUs answered, the answer is the one from the header the ECU answers from (its
// ECUResponder), wherever it stands; another ECU's message never makes a request wait, repeat or
// succeed. Each message of the ECU is read on its own: the answer is the first whole one that
// names the request (its positive answer, or a negative answer to its service), first message or
// later one (RequestEcho::readIn()). A reply holding only other ECUs' messages, only messages
// shorter than their first frame announced, or only the ECU's answers to other requests (held or
// late) is no answer: the request ends unanswered, so that a read may be asked again, and a write,
// a key or a session change fails. In a "response pending" wait, such messages are passed over;
// a message of the ECU cut short after its "response pending" is its answer, broken on the way: no
// further reply is waited for, and the request ends unanswered.
// Without headers, or with no ECU known, a reply naming another request is a wrong answer.
//
// Failures: UDSError for what the ECU or the adapter answered; the session's errors (transport,
// ExchangeCancelled) unchanged. A request that got no reply at all (the reply time-out with
// nothing, not sent while the session found its step again, a busy adapter's "STOPPED" or "?")
// ends in UDSError::unanswered(), told apart from an answer holding no ECU's ("NO DATA"), so
// that a reader may ask it once more (askOnceMore()); nothing here sends a request twice. One
// not sent, held back or its header not taken, says so (UDSError::unsent()): no ECU was asked.
class UDSClient {
public:
    // Replies waited for after the first "response pending" answer.
    static constexpr int maxPendingWaits = 8;
    // The busy-repeat budget every typed operation passes to request().
    static constexpr int standardRetries = 2;

    // The session must outlive the client.
    explicit UDSClient(ELM327Session& session);

    UDSClient(const UDSClient&) = delete;
    UDSClient& operator=(const UDSClient&) = delete;

    ELM327Session& session() const { return session_; }
    // The header the requests go out with; nothing before target(): then they go out on the
    // header in force, whatever it is.
    std::optional<std::string> targetHeader() const;

    // Aims the later requests at one ECU ("7E0"); sends nothing. Its answers are told by the ISO
    // 15765-4 pair of the header (7E8 for 7E0); by none for a header without one.
    void target(std::string_view txHeader);
    // The same, its answers told by the header `responder` names (an ECU map's, a candidate's);
    // without one, as target(txHeader).
    void target(std::string_view txHeader, std::optional<ECUResponder> responder);
    // The ECU the requests' answers are told by; nothing when none is known.
    std::optional<ECUResponder> responder() const;

    // The positive response payload without its response identifier.
    std::vector<std::uint8_t> request(UDSService service, std::span<const std::uint8_t> data, int retriesLeft,
                                      std::stop_token stop = {});

    void openDiagnosticSession(UDSSessionType type, std::stop_token stop = {});
    void testerPresent(std::stop_token stop = {});
    // The value after the echoed identifier. An echo of another identifier is an unexpected
    // response; an answer too short to hold the echo gives no bytes.
    std::vector<std::uint8_t> readDataByIdentifier(std::uint16_t identifier, std::stop_token stop = {});
    std::vector<UDSDTC> readDTCsByStatusMask(std::uint8_t mask, std::stop_token stop = {});
    // The whole positive payload, the echoed level first; this client never sends a key.
    std::vector<std::uint8_t> requestSecuritySeed(std::uint8_t level, std::stop_token stop = {});

    // "22F190": the service byte then the data, upper-case hexadecimal without separator.
    static std::string requestText(UDSService service, std::span<const std::uint8_t> data);
    // The records of a positive ReadDTCInformation payload (after 0x59): sub-function and
    // availability mask, then 4-byte records read as a 2-byte code, failure type and status.
    static std::vector<UDSDTC> parseDTCRecords(std::span<const std::uint8_t> payload);
    // The value in a positive answer to a read by identifier, the response identifier first
    // (62, the two echoed bytes, then the value); none in an answer too short to hold the echo.
    static std::vector<std::uint8_t> identifierValue(std::span<const std::uint8_t> answer);

private:
    // One send with its waits for the answer to `service`, under the command lock.
    // `pendingAnnounced`: the ECU's first answer said "response pending".
    // The reply returned is the ECU's own part of the last one (ECUResponder::view()); `foreign`:
    // that last reply held only other ECUs' messages.
    ELM327Response exchange(UDSService service, std::span<const std::uint8_t> data, const RequestEcho& echo,
                            bool& pendingAnnounced, bool& foreign, std::stop_token stop);
    TransmitHeader header() const;

    ELM327Session& session_;
    mutable std::mutex mutex_;
    std::optional<std::string> targetHeader_;
    std::optional<ECUResponder> responder_;
};

} // namespace veq
