#pragma once

#include "VEQProtocol/DTC.hpp"
#include "VEQProtocol/ELM327Response.hpp"
#include "VEQProtocol/OBDMode.hpp"

#include <string_view>
#include <vector>

namespace veq::DTCResponse {

// Whether an adapter protocol number names a CAN protocol (ISO 15765-4 and the other CAN
// protocols, 6 to C). Takes the number as "ATDPN" prints it ("A6": protocol 6, found
// automatically) or as sent after "ATSP" ("6"); anything else, empty text included, is not CAN.
bool isCANProtocol(std::string_view protocolNumber);

// Each ECU's answer to mode 03, 07 or 0A (`mode`): its first whole message that answers it
// (RequestEcho::readIn()); without headers, every whole message, as several ECUs' come under no
// header. A message cut short answers nothing.
std::vector<const ECUResponse*> answers(const ELM327Response& response, OBDMode mode);
// Some ECU's codes were lost on the way: an ECU gave no whole answer but a message cut short, or,
// without headers, any message was cut short (it may have been another ECU's than the whole ones).
bool broken(const ELM327Response& response, OBDMode mode);

// The trouble codes of a reply to mode 03, 07 or 0A (`mode`), from every ECU's answer (answers()),
// in reply order, each code once. On CAN the byte after the service byte counts the codes
// that follow, and at most that many are taken; on the older protocols the codes are paired from
// the first byte, each 7-byte message of an ECU (service byte and three codes) apart. Empty slots
// (00 00) are no codes. The protocol decides, not the frame format: without headers a CAN reply
// looks like any other. With no protocol number (empty), an answer in CAN's form is read as CAN:
// under a CAN identifier (three or eight hexadecimal digits); without a header, in a reply with a
// count line and numbered lines, or made of whole CAN answers (a count byte and that many codes,
// an even length where an older protocol's message is 7 bytes). Any other is read as the older
// protocols'.
std::vector<DTC> codes(const ELM327Response& response, OBDMode mode, std::string_view protocolNumber);

} // namespace veq::DTCResponse
