#pragma once

#include "VEQProtocol/ELM327Response.hpp"
#include "VEQProtocol/RequestEcho.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veq {

// The ECU a physical request goes to, known by the header it answers from ("7E8"), and which
// messages of a reply read with headers are its own. With headers on, an adapter prints every
// diagnostic answer it hears while it listens, so a reply to one ECU may hold another ECU's late
// answer: that message is never this ECU's.
//
// A message is another ECU's when its header is another unit's known response header (one of
// `others`, or an ISO 15765-4 physical response header: 7E8 to 7EF, 18DAxxxx) and not this ECU's
// own, or when the same reply also holds this ECU's own message. A message from a header no unit
// claims is taken as the ECU's, so that a unit answering from an unusual header loses nothing; a
// header two units share is each one's own. Messages without a header (headers off) name no ECU:
// every one of them is the ECU's, as the reply came. Of its own messages, one naming another
// request of the ECU is no answer to this one either.
class ECUResponder {
public:
    // The ECU answering from `own`; `others`: the response headers of the other units known (a
    // header another unit shares with this ECU may be among them). Case and blanks do not matter.
    explicit ECUResponder(std::string_view own, const std::vector<std::string>& others = {});

    // The ISO 15765-4 pair of a physical request header: 7E0 to 7E7 answer from 7E8 to 7EF,
    // 29-bit 18DAttss from 18DAsstt. Nothing for any other header (7DF, 740 ...).
    static std::optional<ECUResponder> ofISO(std::string_view requestHeader);
    // Whether a header is an ISO 15765-4 physical response header.
    static bool isISOResponseHeader(std::string_view header);
    // The reply holds ECU messages that name their ECU by a header (read with headers).
    static bool withHeaders(const ELM327Response& reply);

    const std::string& own() const { return own_; }
    // No other unit known answers from its header, and it is not the functional 7DF: an answer
    // from it names this ECU alone.
    bool namesItAlone() const;
    // The header is another unit's known response header, not this ECU's.
    bool isAnothers(std::string_view header) const;

    // The reply as this ECU gave it: its own messages alone (first message and follow-ups); when
    // it holds none, those of the first header no unit claims; none when every message is another
    // ECU's. The adapter's words (error, text, lines) are kept. A reply without headers as it is.
    ELM327Response view(const ELM327Response& reply) const;
    // The reply holds messages with headers, every one another ECU's: no answer of this one.
    bool onlyOthers(const ELM327Response& reply) const;
    // Read with headers, this ECU's whole messages in the reply all name another request than the
    // one `echo` names (RequestEcho::readIn()): its answer to another of its requests, held or
    // late, is no answer of this one.
    bool answersAnotherRequest(const ELM327Response& reply, const RequestEcho& echo) const;
    // The reply holds a message from this ECU's own header.
    bool holdsOwn(const ELM327Response& reply) const;
    // The reply holds no message of this ECU's own header and the one taken for its answer is from
    // a header no unit claims.
    bool takesUnclaimed(const ELM327Response& reply) const;

    bool operator==(const ECUResponder&) const = default;

private:
    // Of a reply with headers, the header whose messages are this ECU's: its own, else the first
    // no unit claims; nothing when every message is another ECU's.
    std::optional<std::string> chosen(const ELM327Response& reply) const;

    std::string own_;
    std::vector<std::string> others_;
};

} // namespace veq
