#pragma once

#include "VEQSupport/Error.hpp"

namespace veq {

// A bus monitor was asked for while one runs (or starts): the adapter has only one. Thrown at
// once, never after a wait: the running monitor holds the adapter until it is stopped.
class MonitorAlreadyRunning : public Error {
public:
    MonitorAlreadyRunning() : Error("Le moniteur du bus est déjà en marche") {}
};

} // namespace veq
