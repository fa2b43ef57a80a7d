#include "VEQUI/Views/Expert/DIDCSV.hpp"

namespace veq::DIDCSV {

std::string field(std::string_view text) {
    if (text.find_first_of(";\"\r\n") == std::string_view::npos) return std::string(text);
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string encode(const std::vector<DiscoveredDID>& dids) {
    std::string text = "did;ecu;octets;ascii;libelle;lectures\n";
    for (const DiscoveredDID& did : dids) {
        text += did.hexDID() + ';' + field(did.ecu) + ';' + did.hexBytes() + ';' + field(did.asciiValue().value_or("")) +
                ';' + field(did.label.value_or("")) + ';' + std::to_string(did.reads) + '\n';
    }
    return text;
}

} // namespace veq::DIDCSV
