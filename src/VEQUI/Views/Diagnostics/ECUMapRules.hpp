#pragma once

#include "VEQEngine/UDS/ECUScanner.hpp"
#include "VEQProtocol/UDSDTC.hpp"

#include <QColor>
#include <QString>

#include <map>
#include <optional>
#include <string>
#include <vector>

// What the ECU map shows of each probed ECU, from the model's ECUs and UDS trouble codes.
namespace veq::ECUMap {

using CodesByHeader = UDSCodesByECU;

// Grey for an ECU that did not answer; otherwise the warning colour when its codes could not be
// read, the fault colour when codes are held under its request header, the success colour when
// none are.
QColor color(const DiscoveredECU& ecu, const CodesByHeader& codes);

// The codes held under the ECU's request header (none without an entry or when unread).
const std::vector<UDSDTC>& codesOf(const DiscoveredECU& ecu, const CodesByHeader& codes);

// Whether the ECU has an entry whose codes could not be read.
bool codesUnread(const DiscoveredECU& ecu, const CodesByHeader& codes);

int respondingCount(const std::vector<DiscoveredECU>& ecus);

// The first ECU with that request header; nothing when none is selected or none matches.
const DiscoveredECU* selectedECU(const std::vector<DiscoveredECU>& ecus, const std::optional<std::string>& selected);

// The card's status line: the part number, "présent" without one, "aucune réponse" when silent.
QString statusLine(const DiscoveredECU& ecu);

} // namespace veq::ECUMap
