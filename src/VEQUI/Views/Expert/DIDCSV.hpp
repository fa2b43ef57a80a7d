#pragma once

#include "VEQEngine/UDS/DiscoveredDID.hpp"

#include <string>
#include <string_view>
#include <vector>

// The discovered data identifiers as semicolon-separated UTF-8 text: the header line
// "did;ecu;octets;ascii;libelle;lectures", then one line per identifier, each ended by a line
// feed. A field holding a ";", a quote or a line break is quoted (quotes doubled inside), so
// that a user's label or a value read as text never splits a line; every other field is
// written as it is.
namespace veq::DIDCSV {

std::string field(std::string_view text);
std::string encode(const std::vector<DiscoveredDID>& dids);

} // namespace veq::DIDCSV
