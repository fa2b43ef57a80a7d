#pragma once

#include "VEQEngine/Session/ELM327Session.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace veq {

// Put back at the end of a run that selected one ECU's header when no earlier header is known.
inline constexpr std::string_view functionalTransmitHeader = "7DF";

// The transmit header a run that changes it must put back at its end: the one the session
// remembers, else the functional one, except on a 29-bit bus, where the header in force may be
// the physical one the protocol sweep found and 11-bit functional addressing would silence the car.
std::optional<std::string> headerToPutBack(const ELM327Session& session);

// Sends "ATSH" + header; nothing when there is none. Never fails: a link that is gone leaves
// nothing to restore.
void putHeaderBack(ELM327Session& session, const std::optional<std::string>& header);

} // namespace veq
