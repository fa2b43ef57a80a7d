#pragma once

#include "VEQProtocol/UDSService.hpp"

#include <optional>

namespace veq {

// Runs a read request once more when its first ask got no reply at all (UDSError::unanswered):
// a reply lost on the way, or a busy adapter's refusal, is not the ECU's word. The session sends
// the second ask only once it has found its step again (a probe answered after the lost reply),
// never at once into an adapter that may still be at work on the first. Any answer ("NO DATA", a
// negative response, an unexpected one) is the read's, as is the second ask's outcome, whatever it is.
// Only for requests that change nothing in the ECU: a write, a key, a reset or a session change
// must never be sent twice.
template <class Read>
auto askOnceMore(Read&& read) -> decltype(read()) {
    try {
        return read();
    } catch (const UDSError& e) {
        if (e.kind() != UDSError::Kind::unanswered) throw;
    }
    return read();
}

// How a read's asks ended with no reply at all: the last one held back (never sent, its header
// not taken included: no ECU was asked), or sent and left without a reply (a silence, "STOPPED",
// "?").
enum class NoReply { heldBack, afterSend };

// A read asked until two asks of its own went out: one whose header the adapter did not take
// asked no ECU and does not count, up to two of them. One the session held back, the adapter
// answering no probe, is the last: asking again at once would only be held back again. Its value,
// or nothing with `noReply` telling how the last ask was left with no reply at all. Any answer and
// every other failure pass through. As askOnceMore(), only for reads.
template <class Read>
auto askTwiceNoting(Read&& read, std::optional<NoReply>& noReply) -> std::optional<decltype(read())> {
    noReply.reset();
    int sends = 0;
    int headersNotTaken = 0;
    for (;;) {
        try {
            return read();
        } catch (const UDSError& e) {
            if (e.kind() != UDSError::Kind::unanswered) throw;
            const bool heldBySession = !e.sent() && !e.refusedByAdapter();
            ++(e.sent() ? sends : headersNotTaken);
            if (!heldBySession && sends < 2 && headersNotTaken < 2) continue;
            noReply = e.sent() ? NoReply::afterSend : NoReply::heldBack;
        }
        return std::nullopt;
    }
}

// A read's final ask: one send, whose outcome decides. One the adapter refused ("STOPPED", "?",
// its header not taken) is sent once more at once, and that send decides, a second refusal
// included; one the session held back decides as it is.
template <class Read>
auto askFinally(Read&& read) -> decltype(read()) {
    try {
        return read();
    } catch (const UDSError& e) {
        if (e.kind() != UDSError::Kind::unanswered || !e.refusedByAdapter()) throw;
    }
    return read();
}

// Whether a read left with no reply is asked once more (one send, whose outcome decides) after
// every other read of its run: always when its last ask was held back; after a send, only on an
// adapter that has answered "NO DATA" on this connection (ELM327Session::hasAnsweredNoData()). Such
// an adapter speaks for an absent ECU, so its silence is no ECU's word; on another, a silence
// decides, so that an absent ECU costs no more than its two asks.
constexpr bool askedAtEnd(NoReply noReply, bool adapterAnsweredNoData) {
    return noReply == NoReply::heldBack || adapterAnsweredNoData;
}

} // namespace veq
