#include "VEQProtocol/DataIdentifier.hpp"

#include "VEQSupport/Text.hpp"

#include <fmt/format.h>

namespace veq {

const std::vector<DataIdentifier>& DataIdentifier::standard() {
    static const std::vector<DataIdentifier> table{
        {0xF186, "Session diagnostique active",     false},
        {0xF187, "Numéro de pièce constructeur",    true},
        {0xF188, "Version logicielle ECU",          true},
        {0xF18C, "Numéro de série ECU",             true},
        {0xF190, "VIN",                             true},
        {0xF191, "Numéro de matériel constructeur", true},
        {0xF195, "Version logicielle",              true},
        {0xF197, "Nom du système",                  true},
    };
    return table;
}

DataIdentifier DataIdentifier::named(std::uint16_t id) {
    for (const auto& entry : standard()) {
        if (entry.id == id) return entry;
    }
    return {id, fmt::format("DID 0x{:04X}", id), false};
}

std::string DataIdentifier::hexID() const { return fmt::format("0x{:04X}", id); }

std::string DataIdentifier::interpret(std::span<const std::uint8_t> bytes) const {
    if (isASCII) {
        std::string printable;
        for (std::uint8_t b : bytes) {
            if (b >= 0x20 && b <= 0x7E) printable.push_back(static_cast<char>(b));
        }
        if (!printable.empty()) return printable;
    }
    return text::hexUpper(bytes, " ");
}

} // namespace veq
