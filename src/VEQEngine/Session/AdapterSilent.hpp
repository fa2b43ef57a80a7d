#pragma once

#include "VEQSupport/Error.hpp"

#include <exception>

namespace veq {

// The adapter has answered nothing for as long as a silence watch allows (ELM327Session::
// watchSilence): the caller gives up what it was doing instead of waiting on.
class AdapterSilent : public Error {
public:
    AdapterSilent() : Error("L'adaptateur ne répond plus") {}
};

// Runs a step whose failure changes nothing, swallowing every failure but AdapterSilent: a silent
// adapter must still end what the caller is doing. True when the step succeeded.
template <class Step>
bool toleratingFailure(Step&& step) {
    try {
        step();
        return true;
    } catch (const AdapterSilent&) {
        throw;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace veq
