#pragma once

#include "VEQSupport/Error.hpp"
#include "VEQTransport/TransportError.hpp"

#include <exception>

namespace veq {

// The adapter has answered nothing for as long as a silence watch allows (ELM327Session::
// watchSilence): the caller gives up what it was doing instead of waiting on.
class AdapterSilent : public Error {
public:
    AdapterSilent() : Error("L'adaptateur ne répond plus") {}
};

// Runs a step whose failure changes nothing, swallowing every failure but AdapterSilent: a silent
// adapter must still end what the caller is doing. With `lostLinkEnds`, a lost link
// (TransportError::notConnected) passes through too, for a caller that would otherwise go on
// failing at once for nothing. True when the step succeeded.
template <class Step>
bool toleratingFailure(Step&& step, bool lostLinkEnds = false) {
    try {
        step();
        return true;
    } catch (const AdapterSilent&) {
        throw;
    } catch (const TransportError& e) {
        if (lostLinkEnds && e.kind() == TransportError::Kind::notConnected) throw;
        return false;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace veq
