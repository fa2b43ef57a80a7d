#pragma once

#include "VEQEngine/UDS/ProtocolSweep.hpp"
#include "VEQProtocol/ELM327Error.hpp"
#include "VEQUI/Model/TransportKind.hpp"

#include <exception>
#include <optional>
#include <string>
#include <vector>

// The French advice lines shown beside a failed connection, and the texts of its failed phase.
namespace veq::ConnectionDiagnosis {

// The failed phase after a sweep that found no protocol.
inline constexpr std::string_view noProtocolMessage = "Aucun protocole n'a répondu après balayage complet";

// The failed phase when the adapter completes no reply to the reset nor to the echo-off.
inline constexpr std::string_view silentAdapterMessage = "L'adaptateur ne répond pas — aucune réponse à ATZ ni à ATE0";

// The failed phase when a read of the vehicle's identification gets no reply at all, twice.
inline constexpr std::string_view identificationSilenceMessage =
    "L'adaptateur a cessé de répondre pendant l'identification du véhicule.";

// The failed phase when the adapter answers nothing for a while during the ECU scan or its code
// reads (the identification's message before it).
inline constexpr std::string_view ecuScanSilenceMessage =
    "L'adaptateur a cessé de répondre pendant la recherche des calculateurs.";

// How a thrown error reads in a failed phase and on the last advice line: its own description.
std::string errorText(const std::exception_ptr& error);

// Advice for a connection that failed with an error, by the transport the user chose; the last
// line is the error text. `wifiPort` is the port field as typed.
std::vector<std::string> failureDiagnostics(TransportKind kind, const std::string& wifiHost,
                                            const std::string& wifiPort, const std::string& errorText);

// Advice after a deep sweep in which no protocol answered: the count line, what the bus let hear
// (at most its first six identifiers), the adapter line.
std::vector<std::string> sweepFailureDiagnostics(const ProtocolSweep::Outcome& outcome,
                                                 const std::vector<std::string>& busTraffic);

// Advice for an adapter that works while the vehicle stays silent; the last line quotes the
// probe's adapter error, if any.
std::vector<std::string> vehicleUnreachableDiagnostics(std::optional<ELM327Error> probeError);

// The failed phase when the vehicle stays silent after a successful sweep.
std::string unreachableMessage(std::optional<ELM327Error> probeError);

} // namespace veq::ConnectionDiagnosis
