#include "VEQProtocol/OBDCommand.hpp"

#include "VEQProtocol/PIDDefinition.hpp"

#include "VEQSupport/Text.hpp"

namespace veq {

OBDCommand::OBDCommand(const PIDDefinition& definition) : mode(definition.mode), pid(definition.pid) {}

std::string OBDCommand::requestString() const {
    std::string s = text::hexByte(rawValue(mode));
    if (pid) s += text::hexByte(*pid);
    return s;
}

std::vector<std::uint8_t> OBDCommand::requestBytes() const {
    const std::string s = requestString();
    std::vector<std::uint8_t> bytes(s.begin(), s.end());
    bytes.push_back(0x0D);
    return bytes;
}

} // namespace veq
