#pragma once

#include "VEQSupport/Error.hpp"

namespace veq {

// The adapter has answered nothing for as long as a silence watch allows (ELM327Session::
// watchSilence): the caller gives up what it was doing instead of waiting on.
class AdapterSilent : public Error {
public:
    AdapterSilent() : Error("L'adaptateur ne répond plus") {}
};

} // namespace veq
