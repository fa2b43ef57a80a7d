#include "VEQProtocol/DTCResponse.hpp"

#include "VEQProtocol/RequestEcho.hpp"
#include "VEQSupport/Text.hpp"

#include <algorithm>

namespace veq::DTCResponse {

namespace {

// One message of the older protocols: the service byte and three code slots.
constexpr std::size_t kLegacyMessageBytes = 7;

// The codes of one CAN payload (service byte first): a count, then the code pairs. Without
// headers the adapter joins the answers of several ECUs into one payload; each further answer
// begins with the service byte right after the codes its predecessor counted.
std::vector<DTC> canCodes(std::span<const std::uint8_t> payload, std::uint8_t service) {
    std::vector<DTC> out;
    for (std::size_t at = 0; at + 1 < payload.size() && payload[at] == service;) {
        const std::span<const std::uint8_t> data = payload.subspan(at + 1);
        const std::size_t announced = data[0];
        const std::vector<DTC> some = DTC::list(data.subspan(1, std::min(announced * 2, (data.size() - 1) / 2 * 2)));
        out.insert(out.end(), some.begin(), some.end());
        at += 2 + announced * 2;
    }
    return out;
}

// Whole 7-byte messages of the older protocols, each beginning with the service byte.
bool legacyMessages(std::span<const std::uint8_t> payload, std::uint8_t service) {
    bool messages = payload.size() >= kLegacyMessageBytes && payload.size() % kLegacyMessageBytes == 0;
    for (std::size_t i = 0; messages && i < payload.size(); i += kLegacyMessageBytes) messages = payload[i] == service;
    return messages;
}

// The codes of one older-protocol answer (the whole payload, service byte first). The adapter
// prints one line per 7-byte message and joins an ECU's lines into one payload, so a payload
// made of whole messages that each begin with the service byte is read message by message.
std::vector<DTC> legacyCodes(std::span<const std::uint8_t> payload, std::uint8_t service) {
    if (!legacyMessages(payload, service)) return DTC::list(payload.subspan(1));
    std::vector<DTC> out;
    for (std::size_t i = 0; i < payload.size(); i += kLegacyMessageBytes) {
        const std::vector<DTC> some = DTC::list(payload.subspan(i + 1, kLegacyMessageBytes - 1));
        out.insert(out.end(), some.begin(), some.end());
    }
    return out;
}

// Three or eight hexadecimal digits: an 11-bit or 29-bit CAN identifier as the adapter prints it.
bool isCANIdentifier(std::string_view header) {
    return (header.size() == 3 || header.size() == 8) && std::all_of(header.begin(), header.end(), text::isHexDigit);
}

// The payload is CAN answers end to end: each the service byte, a count, and that many codes.
bool readsAsCANAnswers(std::span<const std::uint8_t> payload, std::uint8_t service) {
    std::size_t at = 0;
    while (at + 1 < payload.size() && payload[at] == service) at += 2 + std::size_t{payload[at + 1]} * 2;
    return at == payload.size() && !payload.empty();
}

// A count line ("00A"): only a CAN message longer than one frame is printed so without headers.
bool holdsCountLine(const ELM327Response& response) {
    return std::any_of(response.text.begin(), response.text.end(), [](const std::string& line) {
        const std::string digits = text::withoutBlanks(line);
        return digits.size() == 3 && std::all_of(digits.begin(), digits.end(), text::isHexDigit);
    });
}

// An answer with no protocol number, as CAN prints it: under a CAN identifier; without a header, in
// a reply holding a count line, or as CAN answers end to end where an older protocol's are 7 bytes.
bool readAsCAN(const ECUResponse& answer, const ELM327Response& response, std::uint8_t service) {
    if (answer.header) return isCANIdentifier(*answer.header);
    return holdsCountLine(response) ||
           (readsAsCANAnswers(answer.payload, service) && !legacyMessages(answer.payload, service));
}

} // namespace

bool isCANProtocol(std::string_view protocolNumber) {
    const std::string number = text::toUpperASCII(text::trimSpacesAndTabs(protocolNumber));
    // "A6": automatic, protocol 6; a lone "A" is protocol A itself.
    if (number.size() != 1 && !(number.size() == 2 && number[0] == 'A')) return false;
    const char last = number.back();
    return (last >= '6' && last <= '9') || (last >= 'A' && last <= 'C');
}

std::vector<const ECUResponse*> answers(const ELM327Response& response, OBDMode mode) {
    return RequestEcho{rawValue(mode), {}}.everyAnswerIn(response);
}

bool broken(const ELM327Response& response, OBDMode mode) {
    const auto headerlessCut = [](const ECUResponse& m) { return !m.header && m.cutShort(); };
    return RequestEcho{rawValue(mode), {}}.brokenIn(response) ||
           std::any_of(response.ecus.begin(), response.ecus.end(), headerlessCut) ||
           std::any_of(response.followUps.begin(), response.followUps.end(), headerlessCut);
}

std::vector<DTC> codes(const ELM327Response& response, OBDMode mode, std::string_view protocolNumber) {
    const bool can = isCANProtocol(protocolNumber);
    // A protocol never learnt (its question lost): an answer under a CAN identifier is CAN.
    const bool unknown = text::trimSpacesAndTabs(protocolNumber).empty();
    std::vector<DTC> out;
    for (const ECUResponse* ecu : answers(response, mode)) {
        if (ecu->responseMode() != responseByte(mode)) continue;
        const bool canAnswer = can || (unknown && readAsCAN(*ecu, response, responseByte(mode)));
        const std::vector<DTC> found = canAnswer ? canCodes(ecu->payload, responseByte(mode))
                                                 : legacyCodes(ecu->payload, responseByte(mode));
        for (const DTC& dtc : found) {
            if (std::find(out.begin(), out.end(), dtc) == out.end()) out.push_back(dtc);
        }
    }
    return out;
}

} // namespace veq::DTCResponse
