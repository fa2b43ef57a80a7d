#pragma once

#include "VEQSupport/Error.hpp"
#include "VEQTransport/TransportError.hpp"

namespace veq {

// A failure of the link below a transport (the Bluetooth or network stack, or one of the link's
// own time limits). what() is its printed form: the platform's description as the platform
// words it, or our French sentence for a limit we impose.
class LinkError : public Error {
public:
    using Error::Error;
};

// What connect throws when disconnect() or a stop request ends it before the link is up; the
// state is then `disconnected`, not `failed`.
inline TransportError connectCancelled() { return TransportError::connectionFailed("Connexion annulée"); }

// What a send throws when a stop request ends its wait for the link.
inline LinkError sendCancelled() { return LinkError("Envoi annulé"); }

} // namespace veq
