#pragma once

#include "VEQEngine/Session/ELM327Session.hpp"
#include "VEQProtocol/DTC.hpp"
#include "VEQProtocol/ReadinessMonitors.hpp"
#include "VEQProtocol/StatusEnums.hpp"

#include <optional>
#include <stop_token>
#include <string>
#include <vector>

// The vehicle facts the connection reads once the car answers. Each blocks on the session; the
// session's errors pass through unless said otherwise. A request the adapter does not answer at
// all, or answers only with an error of its own ("STOPPED", "?", "BUFFER FULL", ...), is sent once
// more; a second such reply fails the read (askAnswered): codes, a VIN or monitors never read must
// not read as none. Twice no reply at all fails it only when a probe goes unanswered too; an
// adapter that answers the probe is asked a third time. "NO DATA" and malformed replies are
// answers.
namespace veq::ConnectionReads {

// The reply to `command`, sent again after a silence or an adapter error other than "NO DATA"; a
// second one throws veq::Error with ConnectionDiagnosis::identificationSilenceMessage (after two
// silences, once a probe goes unanswered or a third ask gets nothing). A reply in which an ECU's
// answer was lost on the way (lostOnTheWay()) is asked once more at once, and the broken reply
// kept when that ask gets no answer.
ELM327Response askAnswered(ELM327Session& session, const OBDCommand& command, std::stop_token stop = {});

// An ECU answered `command` with messages cut short and no whole answer (for the codes, without
// headers, any message cut short; for the VIN, an older protocol's lines not 1 to 5 in order):
// what it said is not known.
bool lostOnTheWay(const ELM327Response& response, const OBDCommand& command);

// Mode 09 PID 02 of the first ECU that answered; nothing when the reply holds no VIN or that ECU's
// answer was lost on the way (twice).
std::optional<std::string> readVIN(ELM327Session& session, std::stop_token stop = {});

// Mode 01 PID 0x51 of the first ECU that answered (asked once more when its answer was lost on the
// way): the fuel type whose French label is the text read. Never throws: an error, silence or an
// unknown text give nothing.
std::optional<FuelType> fetchFuelType(ELM327Session& session, std::stop_token stop = {});

// Mode 03: the stored codes of every ECU that answered, each once, read as the protocol in force
// prints them (the count byte of CAN); while it is unknown, an answer under a CAN identifier is
// read as CAN. Asked once more after an answer lost on the way: with headers, each ECU's whole
// answer from either reply counts (the later one when both are whole), and the codes are unread
// when an ECU's answer never came whole; without headers, they are unread when the second reply
// is broken too.
std::optional<std::vector<DTC>> readDTCs(ELM327Session& session, std::stop_token stop = {});

// Mode 01 PID 01 of the first ECU that answered; the fuel type read decides the ignition type.
std::optional<MonitorStatus> readMonitors(ELM327Session& session, std::optional<FuelType> fuelType,
                                          std::stop_token stop = {});

} // namespace veq::ConnectionReads
