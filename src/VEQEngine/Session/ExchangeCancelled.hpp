#pragma once

#include "VEQSupport/Error.hpp"

namespace veq {

// An exchange with the adapter given up before its end because its caller asked to stop, or
// because the session was disconnected or destroyed meanwhile. A silent adapter is not this:
// its time-out gives an empty response.
class ExchangeCancelled : public Error {
public:
    ExchangeCancelled() : Error("Échange avec l'adaptateur interrompu") {}
};

} // namespace veq
