#include "VEQProtocol/StatusEnums.hpp"

#include <fmt/format.h>

namespace veq {

std::string_view description(FuelSystemStatus s) {
    switch (s) {
    case FuelSystemStatus::off: return "Arrêt";
    case FuelSystemStatus::openLoopTemp: return "Boucle ouverte (température)";
    case FuelSystemStatus::closedLoop: return "Boucle fermée";
    case FuelSystemStatus::openLoopLoad: return "Boucle ouverte (charge)";
    case FuelSystemStatus::openLoopFault: return "Boucle ouverte (défaut)";
    case FuelSystemStatus::closedLoopFault: return "Boucle fermée (défaut sonde)";
    }
    return {};
}

std::string_view description(SecondaryAirStatus s) {
    switch (s) {
    case SecondaryAirStatus::upstream: return "En amont";
    case SecondaryAirStatus::downstream: return "En aval du catalyseur";
    case SecondaryAirStatus::atmosphere: return "Vers l'atmosphère (désactivé)";
    case SecondaryAirStatus::diagnostics: return "En diagnostic";
    }
    return {};
}

std::string_view label(OBDStandard s) {
    switch (s) {
    case OBDStandard::obdII: return "OBD-II (CARB)";
    case OBDStandard::obd: return "OBD (EPA)";
    case OBDStandard::obdAndOBDII: return "OBD et OBD-II";
    case OBDStandard::obdI: return "OBD-I";
    case OBDStandard::notCompliant: return "Non conforme OBD";
    case OBDStandard::eobd: return "EOBD (Europe)";
    case OBDStandard::eobdAndOBDII: return "EOBD et OBD-II";
    case OBDStandard::eobdAndOBD: return "EOBD et OBD";
    case OBDStandard::eobdOBDandOBDII: return "EOBD, OBD et OBD-II";
    case OBDStandard::jobd: return "JOBD (Japon)";
    }
    return {};
}

std::string_view label(FuelType f) {
    switch (f) {
    case FuelType::notAvailable: return "Non disponible";
    case FuelType::gasoline: return "Essence";
    case FuelType::methanol: return "Méthanol";
    case FuelType::ethanol: return "Éthanol";
    case FuelType::diesel: return "Diesel";
    case FuelType::lpg: return "GPL";
    case FuelType::cng: return "GNV";
    case FuelType::propane: return "Propane";
    case FuelType::electric: return "Électrique";
    case FuelType::bifuelGasoline: return "Bicarburation essence";
    case FuelType::hybridGasoline: return "Hybride essence";
    case FuelType::hybridDiesel: return "Hybride diesel";
    }
    return {};
}

// {fmt} rather than printf: the hexadecimal must not depend on the process locale.
template <>
std::string describe<FuelSystemStatus>(std::uint8_t byte) {
    if (const auto s = fromRaw<FuelSystemStatus>(byte)) return std::string(description(*s));
    return fmt::format("Inconnu (0x{:x})", byte);
}

template <>
std::string describe<SecondaryAirStatus>(std::uint8_t byte) {
    if (const auto s = fromRaw<SecondaryAirStatus>(byte)) return std::string(description(*s));
    return "Non supporté";
}

template <>
std::string describe<OBDStandard>(std::uint8_t byte) {
    if (const auto s = fromRaw<OBDStandard>(byte)) return std::string(label(*s));
    return fmt::format("Norme 0x{:x}", byte);
}

template <>
std::string describe<FuelType>(std::uint8_t byte) {
    if (const auto f = fromRaw<FuelType>(byte)) return std::string(label(*f));
    return fmt::format("Type 0x{:x}", byte);
}

} // namespace veq
