#pragma once

#include "VEQProtocol/UDSService.hpp"

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

} // namespace veq
